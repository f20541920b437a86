#include "app/GeneralPage.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>

#include "app/LinkLabel.h"
#include "app/PageText.h"
#include "app/SectionHeading.h"
#include "app/WebLinks.h"
#include "config/ConfigSettings.h"

namespace vantrel {

GeneralPage::GeneralPage(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("tsGeneral"));
  setProperty("helpContext", 10);

  domainControllers_ = std::make_unique<SectionHeading>(this, QStringLiteral("GeneralDomainControllers"),
                                                        QStringLiteral("Domain Controllers  "), 8, 8);
  PageText(this, QStringLiteral("VTR needs an accurate record of all the domain"), 16, 28);
  PageText(this, QStringLiteral("controllers on your network."), 16, 42);
  btnGeneralDomainConfig = new QPushButton(QStringLiteral("&Configure..."), this);
  btnGeneralDomainConfig->setObjectName(QStringLiteral("btnGeneralDomainConfig"));
  btnGeneralDomainConfig->setGeometry(16, 64, 90, 25);

  performance_ = std::make_unique<SectionHeading>(this, QStringLiteral("GeneralPerformance"),
                                                  QStringLiteral("Performance  "), 8, 102);
  trkbGeneralThreads = new QSlider(Qt::Horizontal, this);
  trkbGeneralThreads->setObjectName(QStringLiteral("trkbGeneralThreads"));
  trkbGeneralThreads->setRange(1, 100);
  trkbGeneralThreads->setPageStep(10);
  trkbGeneralThreads->setTickPosition(QSlider::NoTicks);
  trkbGeneralThreads->setGeometry(12, 122, 220, 24);
  lblGeneralThreads = new QLabel(this);
  lblGeneralThreads->setObjectName(QStringLiteral("lblGeneralThreads"));
  lblGeneralThreads->setGeometry(240, 126, 40, 16);
  PageText(this, QStringLiteral("Maximum number of query threads. Increasing may"), 16, 152);
  PageText(this, QStringLiteral("improve performance. Too many threads may"), 16, 166);
  PageText(this, QStringLiteral("overload servers, or degrade performance."), 16, 180);
  chkbGeneralUseFastTarvikAlgorithm =
      new QCheckBox(QStringLiteral("&Fast Tarvik algorithm (recommended for WANs)"), this);
  chkbGeneralUseFastTarvikAlgorithm->setObjectName(QStringLiteral("chkbGeneralUseFastTarvikAlgorithm"));
  chkbGeneralUseFastTarvikAlgorithm->setGeometry(16, 202, 340, 20);

  www_ = std::make_unique<SectionHeading>(this, QStringLiteral("GeneralWWW"), QStringLiteral("WWW  "), 8, 236);
  lblGeneralNorvaneWeb = new LinkLabel(QStringLiteral("Norvane Web Site"), this);
  lblGeneralNorvaneWeb->setObjectName(QStringLiteral("lblGeneralNorvaneWeb"));
  lblGeneralNorvaneWeb->move(16, 256);
  lblGeneralNorvaneWeb->adjustSize();
  lblGeneralVTRSupport = new LinkLabel(QStringLiteral("VTR Support Page"), this);
  lblGeneralVTRSupport->setObjectName(QStringLiteral("lblGeneralVTRSupport"));
  lblGeneralVTRSupport->move(16, 274);
  lblGeneralVTRSupport->adjustSize();

  connect(trkbGeneralThreads, &QSlider::valueChanged, this, &GeneralPage::ThreadsChange);
  connect(lblGeneralNorvaneWeb, &LinkLabel::clicked, this,
          [this] { links_->OpenWebPage(QString::fromLatin1(kMakerSite)); });
  connect(lblGeneralVTRSupport, &LinkLabel::clicked, this,
          [this] { links_->OpenWebPage(QString::fromLatin1(kMakerSite) + QString::fromLatin1(kSupportPath)); });
}

GeneralPage::~GeneralPage() = default;

void GeneralPage::Bind(WebLinks& links) { links_ = &links; }

void GeneralPage::FillFrom(const TVTRConfigSettings& s) {
  trkbGeneralThreads->setValue(s.MaxThreads());
  ThreadsChange();
  chkbGeneralUseFastTarvikAlgorithm->setChecked(s.FastTarvikAlgorithm());
}

void GeneralPage::CopyTo(TVTRConfigSettings& s) const {
  s.SetMaxThreads(trkbGeneralThreads->value());
  s.SetFastTarvikAlgorithm(chkbGeneralUseFastTarvikAlgorithm->isChecked());
}

void GeneralPage::ThreadsChange() { lblGeneralThreads->setText(QString::number(trkbGeneralThreads->value())); }

std::vector<SectionHeading*> GeneralPage::Sections() const {
  return {domainControllers_.get(), performance_.get(), www_.get()};
}

void GeneralPage::Layout(int pageControlWidth) {
  for (SectionHeading* section : Sections()) section->Layout(pageControlWidth);
}

}  // namespace vantrel
