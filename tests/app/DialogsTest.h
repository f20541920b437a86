#pragma once

#include <QObject>

namespace vantrel::testing {

// The dialogs: controller list, domain picker, error list, splash, delayed start, account picker,
// size warning.
class DialogsTest : public QObject {
  Q_OBJECT
 private slots:
  void dcListButtonsFollowTheSelection();
  void configureConfirmsOrRestoresTheList();
  void domainPickerIsSortedAndTakesADoubleClick();
  void errorListCountsItsLines();
  void splashStaysForItsMinimumTime();
  void startDelayCountsDownOnTheClock();
  void pickerFillsOnceAndAddsToTheIgnoreList();
  void removingIgnoreEntries();
  void sizeWarningShowsTheCount();
  void helpFileHasATopicPerContext();
};

}  // namespace vantrel::testing
