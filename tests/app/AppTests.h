#pragma once

#include <QObject>

namespace vantrel::testing {

// The window programs on a lab, driven through their widgets.
class WindowTest : public QObject {
  Q_OBJECT
 private slots:
  void controlStatesFollowBusyAndTheirSwitches();
  void resourcesPageRulesAndTestConnection();
  void shownWindowTakesKeysAndClicks();
  void configureRunsOnceOrByItsButton();
  void splashStaysForItsMinimumTime();
  void startDelayShowsTheTimes();
  void helpFileHasATopicPerContext();
  void unreachableNetworkStartsOnTheUnknownDomain();
  void chosenDomainNamesTheSettingsRead();
  void storedSettingsAndIgnoreListsOverTwoRuns();
  void validationFailureShowsThePageAndField();
  void closingAsksOnlyWhenSomethingChanged();
  void windowAndScanToolSuggestTheSameForStoredSettings();
  void stopsEndScansAndFills();
  void controllerChecksClocksAndErrorsOfALongScan();
  void largeDomainAndDelayedStarts();
  void scanPageCycle();
  void commandsWaitWhileTheViewFills();
};

}  // namespace vantrel::testing
