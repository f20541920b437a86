#pragma once

#include <QPointer>
#include <QString>
#include <map>

#include "app/HelpViewer.h"

class QTextBrowser;

namespace vantrel {

// The help file VTR.HLP: plain text, one topic per context number. A line "[N] Title" starts the
// topic of context N; the lines up to the next such line are its text (a blank line ends a
// paragraph); lines beginning with ";" are comments. The topic opens in a small window of its own.
class HelpFileViewer final : public HelpViewer {
 public:
  explicit HelpFileViewer(QString helpFile);
  ~HelpFileViewer() override;
  HelpFileViewer(const HelpFileViewer&) = delete;
  HelpFileViewer& operator=(const HelpFileViewer&) = delete;

  void ShowHelp(int context) override;

  // VTR.HLP next to the program, else in the installed data folder.
  static QString LocateHelpFile();

  struct Topic {
    QString title;
    QString text;
  };
  // Parses the help file's text; exposed for tests.
  static std::map<int, Topic> ParseTopics(const QString& content);

 private:
  QString helpFile_;
  QPointer<QTextBrowser> window_;
};

}  // namespace vantrel
