#include "actions/HomeFolderStep.h"

#include <cerrno>

#include "actions/AccountErrorLine.h"
#include "actions/DomainHomeFolders.h"
#include "actions/HomeFolderGuard.h"
#include "actions/RunJournal.h"
#include "common/UiHooks.h"
#include "common/VantrelError.h"
#include "config/ForceFolders.h"

namespace vantrel {

namespace {
// The journal's status for an operation refused before anything was tried.
constexpr std::int64_t kRefused = -1;

// A home folder on a file server, deleted or moved by the back end. 0 or an errno code; `failure`
// gets the back end's text for the error line.
int OnFileServer(netapi::RemoteFolders& folders, const HomeFolderGuard::Verdict& verdict, bool move,
                 std::string& failure, nlohmann::ordered_json& details) {
  netapi::RemoteFolders::Result done;
  if (move) {
    done = folders.MoveInto(verdict.item.string(), verdict.target.string());
    details["destination"] = done.destination;
  } else {
    done = folders.Delete(verdict.item.string());
  }
  failure = done.text;
  return done.error;
}
}  // namespace

HomeFolderStep::HomeFolderStep(netapi::NetApi& net, UiHooks& ui, const ResourcesPageReader& resources,
                               const FolderOperations& folders, RunJournal& journal,
                               std::vector<std::string>& errorLines)
    : net_(net), ui_(ui), resources_(resources), folders_(folders), journal_(journal), errorLines_(errorLines) {}

std::optional<netapi::UserInfo> HomeFolderStep::Run(const std::string& controller, const std::string& account,
                                                    HomeFolderOption option) {
  lastChange_.clear();
  std::optional<netapi::UserInfo> info;
  const netapi::NetStatus status = net_.NetUserGetInfo(controller, account, 1, info);
  if (status != netapi::status::kSuccess || !info) {
    errorLines_.push_back(AccountErrorLine(controller, account, netapi::StatusText(status)));
    return std::nullopt;
  }
  const std::string home = info->homeDir;
  const std::string target = resources_.NewHomeFolderPath();
  const bool move = option == HomeFolderOption::kMove;
  if (move && target.empty()) throw VantrelError("Unable to create directory");

  const char* action = move ? "home-folder-move" : "home-folder-delete";
  // What the folder is (a system folder, a share's root) first, then whose folders it holds.
  const HomeFolderGuard::Verdict verdict = HomeFolderGuard::Check(home, option, target);
  std::optional<std::string> refusal = verdict.refusal;
  if (!refusal && domainHomes_ != nullptr) refusal = domainHomes_->Refusal(home, account);
  if (refusal) {
    errorLines_.push_back(AccountErrorLine(controller, account, *refusal));
    journal_.Record(account, action, false, kRefused, *refusal, {{"home_dir", home}});
    return info;
  }
  if (verdict.missing) {
    // Already gone (an earlier run deleted it before the account's deletion failed, say): nothing
    // to do, and no fault of this run.
    journal_.Record(account, action, true, ENOENT, "The home folder was not there; nothing was deleted or moved",
                    {{"home_dir", home}});
    return info;
  }
  // A target that cannot be created makes the move itself fail, which reports it.
  if (move && !netapi::RemoteFolders::IsRemote(target)) (void)ForceFolders(target);
  ui_.ProcessEvents();

  int result = 0;
  std::string failure;
  nlohmann::ordered_json details = {{"home_dir", home}};
  if (verdict.remote) {
    result = OnFileServer(net_.Folders(), verdict, move, failure, details);
  } else if (move) {
    std::filesystem::path destination;
    result = folders_.MoveInto(verdict.item, verdict.target, destination);
    details["destination"] = destination.string();
  } else {
    result = folders_.Delete(verdict.item);
  }
  const std::string text = result == 0        ? "The operation completed successfully."
                           : !failure.empty() ? failure
                                              : FolderOperations::ErrorText(result);
  if (result != 0) errorLines_.push_back(AccountErrorLine(controller, account, text));
  journal_.Record(account, action, result == 0, result, text, details);
  if (result == 0) {
    lastChange_ = move ? "its home folder " + home + " was moved to " + details["destination"].get<std::string>()
                       : "its home folder " + home + " was deleted";
  }
  return info;
}

}  // namespace vantrel
