#pragma once

#include <optional>
#include <string>
#include <vector>

#include "actions/FolderOperations.h"
#include "actions/ResourcesPageReader.h"
#include "netapi/NetApi.h"

namespace vantrel {

class DomainHomeFolders;
class RunJournal;
class UiHooks;

// What happens to one deleted account's home folder, just before the account goes: looked up on
// the account, checked, then deleted or moved into the target folder. Failures are error lines and
// never keep the account from being deleted.
class HomeFolderStep {
 public:
  HomeFolderStep(netapi::NetApi& net, UiHooks& ui, const ResourcesPageReader& resources,
                 const FolderOperations& folders, RunJournal& journal, std::vector<std::string>& errorLines);

  // Runs the step for `option` (Delete or Move). Returns the account's level-1 record when the
  // lookup worked. Throws VantrelError("Unable to create directory") for a move with an empty
  // target text: that ends the whole run before the account is deleted.
  std::optional<netapi::UserInfo> Run(const std::string& controller, const std::string& account,
                                      HomeFolderOption option);

  // The domain's home folders, read once for the run: a folder that holds another account's home
  // folder is refused. Null: no such check.
  void UseDomainHomeFolders(const DomainHomeFolders* homes) { domainHomes_ = homes; }

  // What the last Run changed ("its home folder ... was deleted"), empty when it changed nothing,
  // so that a failed account deletion can say the folder is already gone.
  const std::string& LastChange() const { return lastChange_; }

 private:
  netapi::NetApi& net_;
  UiHooks& ui_;
  const ResourcesPageReader& resources_;
  const FolderOperations& folders_;
  RunJournal& journal_;
  std::vector<std::string>& errorLines_;
  const DomainHomeFolders* domainHomes_ = nullptr;
  std::string lastChange_;
};

}  // namespace vantrel
