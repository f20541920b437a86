#pragma once

#include <string>

#include "actions/ResourcesPageReader.h"

namespace vantrel {

// Fixed values, for the command line and for tests.
class FixedResourcesPage : public ResourcesPageReader {
 public:
  bool deleteMailbox = false;
  HomeFolderOption homeFolder = HomeFolderOption::kLeave;
  std::string newHomeFolderPath;
  std::string exchangeServer;
  std::string recipientsContainer = "/cn=recipients";

  bool DeleteMailboxChecked() const override { return deleteMailbox; }
  HomeFolderOption HomeFolder() const override { return homeFolder; }
  std::string NewHomeFolderPath() const override { return newHomeFolderPath; }
  std::string ExchangeServer() const override { return exchangeServer; }
  std::string RecipientsContainer() const override { return recipientsContainer; }
};

}  // namespace vantrel
