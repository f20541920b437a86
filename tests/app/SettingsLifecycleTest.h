#pragma once

#include <QObject>

namespace vantrel::testing {

// The window's settings over runs: the domain chosen at start-up names the settings read, settings
// edited on the pages come back in the next run, and the account picker copes with lists that come
// in several batches.
class SettingsLifecycleTest : public QObject {
  Q_OBJECT
 private slots:
  void chosenDomainNamesTheSettingsRead();
  void editedSettingsSurviveARestart();
  void pickerTakesEveryBatch();
};

}  // namespace vantrel::testing
