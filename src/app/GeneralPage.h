#pragma once

#include <QWidget>
#include <memory>
#include <vector>

class QCheckBox;
class QLabel;
class QPushButton;
class QSlider;

namespace vantrel {

class LinkLabel;
class SectionHeading;

// The "General" page: the controller list, the query threads and the web links. Builds and places
// its controls; the main window handles them.
class GeneralPage : public QWidget {
  Q_OBJECT
 public:
  explicit GeneralPage(QWidget* parent = nullptr);
  ~GeneralPage() override;

  void Layout(int pageControlWidth);
  std::vector<SectionHeading*> Sections() const;

  QPushButton* btnGeneralDomainConfig;
  QSlider* trkbGeneralThreads;
  QLabel* lblGeneralThreads;
  QCheckBox* chkbGeneralUseFastTarvikAlgorithm;
  LinkLabel* lblGeneralNorvaneWeb;
  LinkLabel* lblGeneralVTRSupport;

 private:
  std::unique_ptr<SectionHeading> domainControllers_;
  std::unique_ptr<SectionHeading> performance_;
  std::unique_ptr<SectionHeading> www_;
};

}  // namespace vantrel
