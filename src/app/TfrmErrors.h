#pragma once

#include <QDialog>
#include <string>
#include <vector>

class QLabel;
class QListWidget;
class QPushButton;

namespace vantrel {

class HelpViewer;

// The error list shared by a scan and an action run: they clear it at their start, append lines,
// and show it when it holds at least one.
class TfrmErrors : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kHelpContext = 70;

  TfrmErrors(HelpViewer& help, QWidget* parent);

  void Clear();
  void AddLine(const std::string& line);
  int LineCount() const;
  std::vector<std::string> Lines() const;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  HelpViewer& help_;
  QListWidget* lstbErrors_;
  QLabel* lblErrorCount_;
  QPushButton* bntOk_;
};

}  // namespace vantrel
