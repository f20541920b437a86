#pragma once

#include <QObject>

namespace vantrel::testing {

// The main window as a frame: controls, pictures, page guard, states, enabling rules, the results
// view and its menu.
class MainWindowFrameTest : public QObject {
  Q_OBJECT
 private slots:
  void controlsCarryTheirNamesAndCaptions();
  void picturesAreDrawnAndDistinct();
  void pageChangeIsRefusedWhileBusyAndLeavingScanDiscardsResults();
  void helpKeyOpensTheTopicOfThePageInFront();
  void componentStatesFollowBusy();
  void suggestedActionsEnableTheirFields();
  void dayFieldsTakeOnlyDigits();
  void resourcesPageRules();
  void testConnectionChecksFieldsAndReportsResults();
  void sectionRulesStretchWithTheWindow();
  void linksGoToTheMakersPages();
  void resultsViewSortsByColumnClicks();
  void actionMenuTitleAndActions();
  void stopDuringFillEmptiesTheView();
};

}  // namespace vantrel::testing
