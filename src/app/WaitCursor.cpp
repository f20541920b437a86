#include "app/WaitCursor.h"

#include <QCursor>
#include <QGuiApplication>

namespace vantrel {

WaitCursor::WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }

WaitCursor::~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }

}  // namespace vantrel
