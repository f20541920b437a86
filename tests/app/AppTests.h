#pragma once

#include <QObject>

namespace vantrel::testing {

// The window programs on a lab, driven through their widgets.
class WindowTest : public QObject {
  Q_OBJECT
 private slots:
  // The main window as a frame: pages, enabling rules, the results view and its menu.
  void helpKeysAndLinks();
  void controlStatesFollowBusyAndTheirSwitches();
  void resourcesPageRulesAndTestConnection();
  void resultsViewSortsByColumnClicks();
  // The dialogs on their own.
  void configureConfirmsOrRestoresTheList();
  void splashStaysForItsMinimumTime();
  void startDelayShowsTheTimes();
  void helpFileHasATopicPerContext();
  // Start-up, settings over runs, validation, closing.
  void unreachableNetworkStartsOnTheUnknownDomain();
  void chosenDomainNamesTheSettingsRead();
  void storedSettingsAndIgnoreListsOverTwoRuns();
  void configureRunsOnceWhenTheListIsEmpty();
  void validationFailureShowsThePageAndField();
  void closingAsksOnlyWhenSomethingChanged();
  void windowAndScanToolSuggestTheSameForStoredSettings();
  // Scans, result files and executing.
  void stopsEndScansAndFills();
  void controllerChecksClocksAndErrorsOfALongScan();
  void largeDomainAndDelayedStarts();
  void scanPageCycle();
  void commandsWaitWhileTheViewFills();
};

}  // namespace vantrel::testing
