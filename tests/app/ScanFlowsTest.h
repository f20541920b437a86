#pragma once

#include <QObject>

namespace vantrel::testing {

// Scans run from the window on a lab, driven by the clock seam: the controller checks, the clock
// warnings, stopping, the scan time, the delayed start reaching its time, the error list, and the
// warnings of opening a result file.
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
