#include "app/WindowProgram.h"

#include <QApplication>
#include <QScreen>
#include <memory>

#include "actions/ActionJournal.h"
#include "actions/ExchangeHelper.h"
#include "app/DesktopWebLinks.h"
#include "app/HelpFileViewer.h"
#include "app/HelperExchangeCheck.h"
#include "app/MessageBoxes.h"
#include "app/TfrmMain.h"

namespace vantrel {

int RunWindowProgram(netapi::NetApi& net) {
  QApplication::setApplicationName(QStringLiteral("Vantrel"));
  HelpFileViewer help(HelpFileViewer::LocateHelpFile());
  MessageBoxes boxes;
  DesktopWebLinks links;
  const ExchangeHelper exchangeHelper;
  HelperExchangeCheck exchange(exchangeHelper);
  ActionJournal journal(ActionJournal::DefaultFile());
  TfrmMain window(
      AppServices{net, boxes, help, links, SystemClock::Instance(), exchange, exchangeHelper, &journal, {}});
  window.FormCreate();
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    window.move(screen->availableGeometry().center() - window.rect().center());
  window.show();
  return QApplication::exec();
}

}  // namespace vantrel
