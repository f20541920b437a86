#include <QApplication>
#include <QtTest>

#include "DialogsTest.h"
#include "MainWindowFrameTest.h"
#include "StartupAndScanTest.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  int failures = 0;
  {
    vantrel::testing::MainWindowFrameTest frame;
    failures += QTest::qExec(&frame, argc, argv);
  }
  {
    vantrel::testing::DialogsTest dialogs;
    failures += QTest::qExec(&dialogs, argc, argv);
  }
  {
    vantrel::testing::StartupAndScanTest startup;
    failures += QTest::qExec(&startup, argc, argv);
  }
  return failures == 0 ? 0 : 1;
}
