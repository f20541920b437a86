#include <QApplication>
#include <QtTest>

#include "AppTests.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  vantrel::testing::MainWindowFrameTest frame;
  vantrel::testing::DialogsTest dialogs;
  vantrel::testing::StartupAndScanTest startup;
  vantrel::testing::ScanFlowsTest scans;
  int failures = 0;
  for (QObject* suite : std::initializer_list<QObject*>{&frame, &dialogs, &startup, &scans})
    failures += QTest::qExec(suite, argc, argv);
  return failures == 0 ? 0 : 1;
}
