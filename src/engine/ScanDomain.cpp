#include "engine/ScanDomain.h"

#include <chrono>
#include <future>
#include <memory>

#include "common/Text.h"
#include "common/VantrelError.h"
#include "engine/AccountListBuilder.h"
#include "engine/EngineMessages.h"
#include "engine/TarvikDispatcher.h"
#include "engine/TarvikScanContext.h"

namespace vantrel {

namespace {

// Longest pause between dispatch rounds; a finishing query ends it early.
constexpr std::chrono::milliseconds kRoundPause(100);
constexpr std::size_t kEventInterval = 20;

// Reads every controller's accounts at once, all controllers side by side, while the window stays
// responsive. A controller whose read fails (or whose back end has none) gets no snapshot and is
// asked account by account, which reports its failures as error lines exactly as before.
void TakeSnapshots(netapi::NetApi& api, UiHooks& ui, const ScanDomainParams& params, TarvikScanContext& context) {
  const std::vector<std::string>& controllers = params.queryList;
  // Group memberships are only needed where the ignore list is looked at: the first controller.
  const bool withGroups = !params.ignoreList.Empty();
  std::vector<std::future<std::unique_ptr<ControllerSnapshot>>> reads;
  reads.reserve(controllers.size());
  for (std::size_t position = 0; position < controllers.size(); ++position) {
    reads.push_back(std::async(std::launch::async, [&api, &params, &controllers, position, withGroups] {
      std::unique_ptr<ControllerSnapshot> snapshot;
      try {
        netapi::AccountSnapshot read;
        if (api.NetAccountSnapshot(controllers[position], withGroups && position == 0, read) ==
            netapi::status::kSuccess) {
          snapshot = std::make_unique<ControllerSnapshot>(std::move(read), params.ignoreList);
        }
      } catch (const std::exception&) {
        snapshot.reset();  // out of memory, mostly: ask account by account instead
      }
      return snapshot;
    }));
  }
  context.snapshots.resize(controllers.size());
  for (std::size_t position = 0; position < reads.size(); ++position) {
    while (reads[position].wait_for(kRoundPause) != std::future_status::ready) ui.ProcessEvents();
    context.snapshots[position] = reads[position].get();
  }
}

void RunScan(netapi::NetApi& api, UiHooks& ui, const std::atomic<bool>& stopRequested, const ScanDomainParams& params,
             bool& showSizeWarning, ScanCounters& counters, TarvikScanContext& context) {
  if (params.queryList.empty()) throw VantrelError(engine_messages::kEmptyDCList);

  std::vector<std::string> accountList;
  // Declared after the context and the account list, so it is destroyed first: its destruction
  // waits for every started query, which still use them.
  TTarvikDispatcher dispatcher(params.rules.threadCount, context);

  TakeSnapshots(api, ui, params, context);

  // No query has started yet, so the error lines need no lock here.
  BuildAccountList(api, params.queryList.front(), params.rules.scanUsers, params.rules.scanComputers, showSizeWarning,
                   params.rules.unattended, stopRequested, accountList, context.errorLines, ui,
                   context.snapshots.front().get());

  ui.SetStatusText("Scanning");
  ui.SetProgressMaximum(static_cast<std::int64_t>(accountList.size()));
  ui.SetProgressPosition(0);
  counters.accountsInList = static_cast<std::int64_t>(accountList.size());

  // Only the queries already started are left; a stop does not cut this wait short, and the window
  // stays responsive through it, also when the dispatching ended with an error.
  const auto waitForStartedQueries = [&dispatcher, &ui] {
    while (dispatcher.AnyThreadBusy()) {
      ui.ProcessEvents();
      dispatcher.WaitForFinishedQuery(kRoundPause);
    }
  };
  std::size_t index = 0;
  try {
    while (index < accountList.size() && !stopRequested.load()) {
      while (dispatcher.AnyThreadFree() && index < accountList.size()) {
        dispatcher.StartQuery(accountList[index]);
        ++index;
        ++counters.accountsScanned;
        ui.SetProgressPosition(static_cast<std::int64_t>(index));
        if (index % kEventInterval == 0) ui.ProcessEvents();
        if (stopRequested.load()) throw VantrelError(engine_messages::kTerminatedByUser);
      }
      ui.ProcessEvents();
      dispatcher.WaitForFinishedQuery(kRoundPause);
    }
  } catch (...) {
    waitForStartedQueries();
    throw;
  }
  waitForStartedQueries();
}

}  // namespace

void ScanDomain(netapi::NetApi& api, const Clock& clock, UiHooks& ui, const std::atomic<bool>& stopRequested,
                const ScanDomainParams& params, bool& showSizeWarning, ScanCounters& counters,
                std::vector<std::string>& errorLines, TVTRScanResults& results) {
  ui.SetProgressPosition(0);
  counters = ScanCounters{};
  TarvikScanContext context{.api = api,
                            .clock = clock,
                            .queryList = params.queryList,
                            .ignoreList = params.ignoreList,
                            .rules = params.rules,
                            .neverUsedAction = params.neverUsedAction,
                            .results = results,
                            .errorLines = errorLines};
  try {
    RunScan(api, ui, stopRequested, params, showSizeWarning, counters, context);
  } catch (const VantrelError& failure) {
    throw VantrelError(InsertText(engine_messages::kScanAborted, failure.what()));
  } catch (const SilentAbort&) {
    throw;
  } catch (const std::exception& failure) {
    throw VantrelError(InsertText(engine_messages::kScanAborted, failure.what()));
  }
}

}  // namespace vantrel
