#include "app/DesktopWebLinks.h"

#include <QDesktopServices>
#include <QUrl>

namespace vantrel {

void DesktopWebLinks::OpenWebPage(const QString& address) {
  // Whether a browser came up is not checked: a missing one must not disturb the window.
  QDesktopServices::openUrl(QUrl(address));
}

}  // namespace vantrel
