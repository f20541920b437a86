#pragma once

#include <QDialog>
#include <cstdint>

class QCheckBox;
class QPlainTextEdit;

namespace vantrel {

// Warns before a large account list is built; answers through "Show this warning next time".
class TfrmDomainSizeWarning : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmDomainSizeWarning(QWidget* parent);

  void SetAccountCount(std::uint32_t count) { accountCount_ = count; }
  bool ShowNextTime() const;
  QString Message() const;

 public slots:
  void FormActivate();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  std::uint32_t accountCount_ = 0;
  QPlainTextEdit* memoMessage_;
  QCheckBox* chkbShowWarning_;
};

}  // namespace vantrel
