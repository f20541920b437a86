#include <QApplication>
#include <QtTest>

#include "WindowHarness.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  vantrel::testing::WindowTest tests;
  return QTest::qExec(&tests, argc, argv) == 0 ? 0 : 1;
}
