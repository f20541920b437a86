#pragma once

#include <QDialog>
#include <chrono>
#include <cstdint>

class QCheckBox;
class QLabel;

namespace vantrel {

// The summary of a completed scan.
struct ScanStatistics {
  std::chrono::milliseconds scanTime{0};
  std::int64_t accounts = 0;
  std::int64_t scanned = 0;
  std::int64_t errors = 0;
  std::int64_t show = 0;
  std::int64_t disable = 0;
  std::int64_t remove = 0;
};

class TfrmScanStatistics : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmScanStatistics(QWidget* parent);

  // Every value back to "--".
  void ResetStatistics();
  void Fill(const ScanStatistics& statistics);
  bool ShowStatsChecked() const;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QLabel* AddPair(const char* caption, const char* name, int y);

  QLabel* lblScanTime_;
  QLabel* lblAccounts_;
  QLabel* lblScanned_;
  QLabel* lblErrors_;
  QLabel* lblActionShow_;
  QLabel* lblActionDisable_;
  QLabel* lblActionDelete_;
  QCheckBox* chkbShowStats_;
};

}  // namespace vantrel
