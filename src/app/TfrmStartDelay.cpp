#include "app/TfrmStartDelay.h"

#include <QDateTime>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>

#include "common/DateTime.h"

namespace vantrel {

namespace {

// The user's short date, a blank and the short time. Some locales' short time carries seconds; they
// are left out, so the current time changes once a minute.
QString ShortDateTime(Clock::TimePoint moment) {
  const QDateTime local = QDateTime::fromSecsSinceEpoch(UnixSeconds(moment));
  const QLocale locale;
  QString timeFormat = locale.timeFormat(QLocale::ShortFormat);
  timeFormat.remove(QRegularExpression(QStringLiteral("[:.]?s+")));
  return locale.toString(local.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
         locale.toString(local.time(), timeFormat.trimmed());
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
  intro->setWordWrap(true);
  intro->setGeometry(12, 8, 286, 30);
  auto* current = new QLabel(QStringLiteral("Current time:"), this);
  current->setGeometry(24, 44, 100, 16);
  lblCurrentTime_ = new QLabel(this);
  lblCurrentTime_->setObjectName(QStringLiteral("lblCurrentTime"));
  lblCurrentTime_->setGeometry(130, 44, 170, 16);
  auto* start = new QLabel(QStringLiteral("Scan start time:"), this);
  start->setGeometry(24, 64, 100, 16);
  lblScanStartTime_ = new QLabel(this);
  lblScanStartTime_->setObjectName(QStringLiteral("lblScanStartTime"));
  lblScanStartTime_->setGeometry(130, 64, 170, 16);

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
