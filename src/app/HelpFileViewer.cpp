#include "app/HelpFileViewer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextBrowser>

namespace vantrel {

HelpFileViewer::HelpFileViewer(QString helpFile) : helpFile_(std::move(helpFile)) {}

HelpFileViewer::~HelpFileViewer() { delete window_.data(); }

QString HelpFileViewer::LocateHelpFile() {
  QString besideProgram = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("VTR.HLP"));
  if (QFileInfo::exists(besideProgram)) return besideProgram;
  return QStringLiteral(VANTREL_DATA_DIR "/VTR.HLP");
}

std::map<int, HelpFileViewer::Topic> HelpFileViewer::ParseTopics(const QString& content) {
  std::map<int, Topic> topics;
  Topic* current = nullptr;
  for (const QString& rawLine : content.split(QLatin1Char('\n'))) {
    QString line = rawLine;
    if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
    if (line.startsWith(QLatin1Char(';'))) continue;
    if (line.startsWith(QLatin1Char('['))) {
      const qsizetype close = line.indexOf(QLatin1Char(']'));
      bool isNumber = false;
      const int context = close > 1 ? line.mid(1, close - 1).toInt(&isNumber) : 0;
      if (isNumber) {
        current = &topics[context];
        current->title = line.mid(close + 1).trimmed();
        current->text.clear();
        continue;
      }
    }
    if (current == nullptr) continue;
    if (!current->text.isEmpty()) current->text += QLatin1Char('\n');
    current->text += line;
  }
  for (auto& entry : topics) entry.second.text = entry.second.text.trimmed();
  return topics;
}

void HelpFileViewer::ShowHelp(int context) {
  QFile file(helpFile_);
  QString html;
  if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
    html = QStringLiteral("<p>Cannot open the help file %1.</p>").arg(helpFile_.toHtmlEscaped());
  } else {
    const auto topics = ParseTopics(QString::fromUtf8(file.readAll()));
    const auto found = topics.find(context);
    if (found == topics.end()) {
      html = QStringLiteral("<p>The help file has no topic for context %1.</p>").arg(context);
    } else {
      html = QStringLiteral("<h3>%1</h3>").arg(found->second.title.toHtmlEscaped());
      for (const QString& paragraph : found->second.text.split(QStringLiteral("\n\n")))
        html += QStringLiteral("<p>%1</p>").arg(paragraph.toHtmlEscaped().replace(QLatin1Char('\n'), QLatin1Char(' ')));
    }
  }
  if (window_.isNull()) {
    window_ = new QTextBrowser;
    window_->setObjectName(QStringLiteral("HelpWindow"));
    window_->setWindowTitle(QStringLiteral("Vantrel Help"));
    window_->resize(420, 320);
  }
  window_->setHtml(html);
  window_->show();
  window_->raise();
  window_->activateWindow();
}

}  // namespace vantrel
