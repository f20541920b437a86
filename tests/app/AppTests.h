#pragma once

#include <QObject>

namespace vantrel::testing {

// The main window as a frame: states and page guard while busy, enabling rules, the results view and its menu.
class MainWindowFrameTest : public QObject {
  Q_OBJECT
 private slots:
  void helpKeyOpensTheTopicOfThePageInFront();
  void componentStatesFollowBusy();
  void suggestedActionsEnableTheirFields();
  void dayFieldsTakeOnlyDigits();
  void resourcesPageRules();
  void testConnectionChecksFieldsAndReportsResults();
  void linksGoToTheMakersPages();
  void resultsViewSortsByColumnClicks();
  void actionMenuTitleAndActions();
  void stopDuringFillEmptiesTheView();
};

// The dialogs: controller list, error list, splash, delayed start, account picker, help file.
class DialogsTest : public QObject {
  Q_OBJECT
 private slots:
  void dcListButtonsFollowTheSelection();
  void configureConfirmsOrRestoresTheList();
  void errorListCountsItsLines();
  void splashStaysForItsMinimumTime();
  void startDelayShowsTheTimes();
  void pickerFillsOnceAndAddsToTheIgnoreList();
  void removingIgnoreEntries();
  void helpFileHasATopicPerContext();
};

// The window on a lab: start-up, settings over runs, validation, closing, a whole scan, the result file.
class StartupAndScanTest : public QObject {
  Q_OBJECT
 private slots:
  void startsOnTheOnlyDomainWithStoredSettings();
  void unreachableNetworkStartsOnTheUnknownDomain();
  void chosenDomainNamesTheSettingsRead();
  void configureRunsOnceWhenTheListIsEmpty();
  void validationFailureShowsThePageAndField();
  void closingAsksOnlyWhenSomethingChanged();
  void editedSettingsSurviveARestart();
  void scanFillsTheResultsAndShowsStatistics();
  void windowAndScanToolSuggestTheSameForStoredSettings();
  void scanReportsControllerMismatch();
  void delayedStartCanBeAborted();
  void resultFileRoundTrip();
  void executeActionsChangesTheDomainAndEmptiesTheList();
  void largeDomainWarnsUnlessTheScanIsDelayed();
};

// Scans driven by the clock seam: controller checks, clock warnings, stopping, the scan time, the
// countdown reaching its time, the error list, opening and saving result files.
class ScanFlowsTest : public QObject {
  Q_OBJECT
 private slots:
  void controllerCheckOffWarnsBeforeEveryScan();
  void controllerClocksAreCompared();
  void stopBetweenRoundsEndsQuietlyAndInsideARoundAborts();
  void longScanAndErrorListAndStatisticsOff();
  void countdownReachingItsTimeStartsTheScan();
  void openingWarnsPerBadLineAndRefusesAnotherDomain();
  void commandsWaitWhileTheViewFills();
  void savedFileHoldsActionsChangedInTheMenu();
};

}  // namespace vantrel::testing
