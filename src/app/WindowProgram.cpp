#include "app/WindowProgram.h"

#include <QApplication>
#include <QMessageBox>
#include <QScreen>
#include <exception>
#include <memory>

#include "actions/ActionJournal.h"
#include "actions/ExchangeHelper.h"
#include "app/DesktopWebLinks.h"
#include "app/HelpFileViewer.h"
#include "app/HelperExchangeCheck.h"
#include "app/MessageBoxes.h"
#include "app/TfrmMain.h"
#include "common/VantrelError.h"
#include "netapi/NetApi.h"

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

int RunWindowProgram(int argc, char** argv, const std::function<std::unique_ptr<netapi::NetApi>()>& openNetwork) {
  QApplication application(argc, argv);
  try {
    const std::unique_ptr<netapi::NetApi> net = openNetwork();
    return RunWindowProgram(*net);
  } catch (const std::exception& failure) {
    QMessageBox::critical(nullptr, QStringLiteral("Vantrel"), QString::fromStdString(ErrorBoxText(failure.what())));
    return 1;
  }
}

}  // namespace vantrel
