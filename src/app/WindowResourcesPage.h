#pragma once

#include "actions/ResourcesPageReader.h"

namespace vantrel {

class ResourcesPage;

// The Resources page's controls as an action run reads them, at the moment of use.
class WindowResourcesPage final : public ResourcesPageReader {
 public:
  explicit WindowResourcesPage(const ResourcesPage& page) : page_(page) {}

  bool DeleteMailboxChecked() const override;
  HomeFolderOption HomeFolder() const override;
  std::string NewHomeFolderPath() const override;
  std::string ExchangeServer() const override;
  std::string RecipientsContainer() const override;

 private:
  const ResourcesPage& page_;
};

}  // namespace vantrel
