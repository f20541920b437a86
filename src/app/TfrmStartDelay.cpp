#include "app/TfrmStartDelay.h"

#include <QDateTime>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTimer>

#include "common/DateTime.h"

namespace vantrel {

namespace {

// The user's short date, a blank and the short time (hours and minutes).
QString ShortDateTime(Clock::TimePoint moment) {
  const QDateTime local = QDateTime::fromSecsSinceEpoch(UnixSeconds(moment));
  const QLocale locale;
  return locale.toString(local.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
         locale.toString(local.time(), QLocale::ShortFormat);
}

}  // namespace

TfrmStartDelay::TfrmStartDelay(const Clock& clock, QWidget* parent) : QDialog(parent), clock_(clock) {
  setObjectName(QStringLiteral("TfrmStartDelay"));
  setWindowTitle(QStringLiteral("Vantrel"));
  // A caption without any of its buttons: the dialog is left through its own two.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  setFixedSize(310, 135);

  auto* intro = new QLabel(QStringLiteral("Scanning will start automatically at the appropriate time."), this);
  intro->setObjectName(QStringLiteral("lblIntro"));
  intro->setGeometry(12, 12, 290, 16);
  auto* current = new QLabel(QStringLiteral("Current time:"), this);
  current->setGeometry(24, 40, 100, 16);
  lblCurrentTime_ = new QLabel(this);
  lblCurrentTime_->setObjectName(QStringLiteral("lblCurrentTime"));
  lblCurrentTime_->setGeometry(130, 40, 170, 16);
  auto* start = new QLabel(QStringLiteral("Scan start time:"), this);
  start->setGeometry(24, 60, 100, 16);
  lblScanStartTime_ = new QLabel(this);
  lblScanStartTime_->setObjectName(QStringLiteral("lblScanStartTime"));
  lblScanStartTime_->setGeometry(130, 60, 170, 16);

  btnScanNow_ = new QPushButton(QStringLiteral("Scan &Now"), this);
  btnScanNow_->setObjectName(QStringLiteral("btnScanNow"));
  btnScanNow_->setGeometry(72, 98, 80, 25);
  connect(btnScanNow_, &QPushButton::clicked, this, &QDialog::accept);
  btnAbort_ = new QPushButton(QStringLiteral("&Abort"), this);
  btnAbort_->setObjectName(QStringLiteral("btnAbort"));
  btnAbort_->setGeometry(158, 98, 80, 25);
  // The cancel button: Escape reaches QDialog::reject as well.
  connect(btnAbort_, &QPushButton::clicked, this, &QDialog::reject);

  tmrTimer_ = new QTimer(this);
  tmrTimer_->setObjectName(QStringLiteral("tmrTimer"));
  tmrTimer_->setInterval(1000);
  connect(tmrTimer_, &QTimer::timeout, this, &TfrmStartDelay::tmrTimerTimer);
}

void TfrmStartDelay::Prepare(int delayHours) {
  ScanStartTime = clock_.Now() + std::chrono::hours(delayHours);
  UpdateTimeLabels();
}

void TfrmStartDelay::UpdateTimeLabels() {
  lblCurrentTime_->setText(ShortDateTime(clock_.Now()));
  lblScanStartTime_->setText(ShortDateTime(ScanStartTime));
}

void TfrmStartDelay::tmrTimerTimer() {
  UpdateTimeLabels();
  if (clock_.Now() >= ScanStartTime) btnScanNow_->click();
}

void TfrmStartDelay::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (parentWidget() != nullptr) move(parentWidget()->geometry().center() - rect().center());
  tmrTimer_->start();
}

void TfrmStartDelay::hideEvent(QHideEvent* event) {
  tmrTimer_->stop();
  QDialog::hideEvent(event);
}

}  // namespace vantrel
