#pragma once

#include <QObject>

namespace vantrel::testing {

// The window on a lab: start-up, Configure on activation, validation, closing with or without
// saving, a whole scan, the delayed start and the result file.
class StartupAndScanTest : public QObject {
  Q_OBJECT
 private slots:
  void startsOnTheOnlyDomainWithStoredSettings();
  void unreachableNetworkStartsOnTheUnknownDomain();
  void configureRunsOnceWhenTheListIsEmpty();
  void validationFailureShowsThePageAndField();
  void closingAsksOnlyWhenSomethingChanged();
  void closingKeepsTheWindowOnABadDayField();
  void scanFillsTheResultsAndShowsStatistics();
  void windowAndScanToolSuggestTheSameForStoredSettings();
  void scanReportsControllerMismatch();
  void delayedStartCanBeAborted();
  void resultFileRoundTrip();
  void executeActionsChangesTheDomainAndEmptiesTheList();
  void largeDomainWarnsUnlessTheScanIsDelayed();
};

}  // namespace vantrel::testing
