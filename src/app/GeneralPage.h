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
class TVTRConfigSettings;
class WebLinks;

// The "General" page: the controller list, the query threads and the web links. The controller
// list's "Configure..." belongs to the main window, which owns the list.
class GeneralPage : public QWidget {
  Q_OBJECT
 public:
  explicit GeneralPage(QWidget* parent = nullptr);
  ~GeneralPage() override;

  void Layout(int pageControlWidth);
  std::vector<SectionHeading*> Sections() const;

  static constexpr const char* kMakerSite = "https://www.norvane.example";
  static constexpr const char* kSupportPath = "/products/vtr/support.htm";
  // Where the links open their pages.
  void Bind(WebLinks& links);
  void FillFrom(const TVTRConfigSettings& settings);
  void CopyTo(TVTRConfigSettings& settings) const;

  QPushButton* btnGeneralDomainConfig;
  QSlider* trkbGeneralThreads;
  QLabel* lblGeneralThreads;
  QCheckBox* chkbGeneralUseFastTarvikAlgorithm;
  LinkLabel* lblGeneralNorvaneWeb;
  LinkLabel* lblGeneralVTRSupport;

 private:
  // Shows the slider's position beside it.
  void ThreadsChange();

  WebLinks* links_ = nullptr;
  std::unique_ptr<SectionHeading> domainControllers_;
  std::unique_ptr<SectionHeading> performance_;
  std::unique_ptr<SectionHeading> www_;
};

}  // namespace vantrel
