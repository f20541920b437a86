#pragma once

#include <QDialog>

#include "common/Clock.h"

class QLabel;
class QPushButton;
class QTimer;

namespace vantrel {

// The countdown before a delayed scan: closes by itself (accepted) when the start time comes,
// "Scan Now" accepts at once, "Abort" rejects.
class TfrmStartDelay : public QDialog {
  Q_OBJECT
 public:
  TfrmStartDelay(const Clock& clock, QWidget* parent);

  Clock::TimePoint ScanStartTime;

  // Fixes the start time the given number of hours from now and writes the labels.
  void Prepare(int delayHours);
  QTimer* Timer() const { return tmrTimer_; }

 public slots:
  void UpdateTimeLabels();
  void tmrTimerTimer();

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  const Clock& clock_;
  QLabel* lblCurrentTime_;
  QLabel* lblScanStartTime_;
  QPushButton* btnScanNow_;
  QPushButton* btnAbort_;
  QTimer* tmrTimer_;
};

}  // namespace vantrel
