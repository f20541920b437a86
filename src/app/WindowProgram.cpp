#include "app/WindowProgram.h"

#include <QApplication>

#include "app/DesktopWebLinks.h"
#include "app/HelpFileViewer.h"
#include "app/MessageBoxes.h"
#include "app/NoExchangeHelper.h"
#include "app/TfrmMain.h"

namespace vantrel {

int RunWindowProgram(netapi::NetApi& net) {
  QApplication::setApplicationName(QStringLiteral("Vantrel"));
  HelpFileViewer help(HelpFileViewer::LocateHelpFile());
  MessageBoxes boxes;
  DesktopWebLinks links;
  NoExchangeHelper exchange;
  TfrmMain window(AppServices{net, boxes, help, links, SystemClock::Instance(), exchange, {}});
  window.FormCreate();
  window.show();
  return QApplication::exec();
}

}  // namespace vantrel
