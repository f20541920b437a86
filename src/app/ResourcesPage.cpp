#include "app/ResourcesPage.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QEvent>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "actions/TestConnectionCommand.h"
#include "app/Artwork.h"
#include "app/MessageBoxes.h"
#include "app/PageFields.h"
#include "app/SectionHeading.h"
#include "config/ConfigSettings.h"
#include "config/SettingsValidation.h"

namespace vantrel {

namespace {
constexpr int kRecipientsMaxLength = 800;
constexpr int kFieldLeft = 150;
}  // namespace

ResourcesPage::ResourcesPage(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("tsResources"));
  setProperty("helpContext", 20);

  homeFolder_ = std::make_unique<SectionHeading>(this, QStringLiteral("ResourcesHomeFolder"),
                                                 QStringLiteral("Home Folder  "), 8, 8);
  const auto radio = [this](const char* caption, const char* name, int y) {
    auto* button = new QRadioButton(QString::fromLatin1(caption), this);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(16, y, 320, 18);
    return button;
  };
  rbtnResourcesLeaveHomeFolder = radio("&Leave home folder intact", "rbtnResourcesLeaveHomeFolder", 28);
  rbtnResourcesDeleteHomeFolder = radio("&Delete home folder", "rbtnResourcesDeleteHomeFolder", 47);
  rbtnResourcesMoveHomeFolder = radio("&Move home folder to another folder", "rbtnResourcesMoveHomeFolder", 66);
  rbtnResourcesLeaveHomeFolder->setChecked(true);
  auto* group = new QButtonGroup(this);
  group->setObjectName(QStringLiteral("grpResourcesHomeFolder"));
  group->addButton(rbtnResourcesLeaveHomeFolder, 0);
  group->addButton(rbtnResourcesDeleteHomeFolder, 1);
  group->addButton(rbtnResourcesMoveHomeFolder, 2);

  edtResourcesNewHomeFolderPath = new QLineEdit(this);
  edtResourcesNewHomeFolderPath->setObjectName(QStringLiteral("edtResourcesNewHomeFolderPath"));
  btnResourcesBrowse = new QPushButton(QStringLiteral("&Browse..."), this);
  btnResourcesBrowse->setObjectName(QStringLiteral("btnResourcesBrowse"));

  exchange_ = std::make_unique<SectionHeading>(this, QStringLiteral("ResourcesExchange"),
                                               QStringLiteral("Microsoft Exchange 5.5 mailbox  "), 8, 124);
  chkbResourcesDeleteMailbox = new QCheckBox(QStringLiteral("Dele&te mailbox when account is deleted"), this);
  chkbResourcesDeleteMailbox->setObjectName(QStringLiteral("chkbResourcesDeleteMailbox"));
  chkbResourcesDeleteMailbox->setGeometry(16, 144, 320, 20);

  lblResourcesExchangeServer = new QLabel(QStringLiteral("&Exchange server"), this);
  lblResourcesExchangeServer->setObjectName(QStringLiteral("lblResourcesExchangeServer"));
  lblResourcesExchangeServer->setGeometry(34, 173, kFieldLeft - 38, 16);
  edtResourcesExchangeServer = new QLineEdit(this);
  edtResourcesExchangeServer->setObjectName(QStringLiteral("edtResourcesExchangeServer"));
  lblResourcesExchangeServer->setBuddy(edtResourcesExchangeServer);
  // Upper-case mode: whatever is typed or set shows in capitals.
  connect(edtResourcesExchangeServer, &QLineEdit::textChanged, this, [this](const QString& text) {
    const QString upper = text.toUpper();
    if (upper == text) return;
    const int cursor = edtResourcesExchangeServer->cursorPosition();
    edtResourcesExchangeServer->setText(upper);
    edtResourcesExchangeServer->setCursorPosition(cursor);
  });

  lblResourcesRecipients = new QLabel(QStringLiteral("&Recipients container"), this);
  lblResourcesRecipients->setObjectName(QStringLiteral("lblResourcesRecipients"));
  lblResourcesRecipients->setGeometry(34, 199, kFieldLeft - 38, 16);
  edtResourcesRecipients = new QLineEdit(this);
  edtResourcesRecipients->setObjectName(QStringLiteral("edtResourcesRecipients"));
  edtResourcesRecipients->setMaxLength(kRecipientsMaxLength);
  lblResourcesRecipients->setBuddy(edtResourcesRecipients);

  btnResourcesTestConnection = new QPushButton(QStringLiteral("Test &Connection"), this);
  btnResourcesTestConnection->setObjectName(QStringLiteral("btnResourcesTestConnection"));

  imgResourcesWarning = new QLabel(this);
  imgResourcesWarning->setObjectName(QStringLiteral("imgResourcesWarning"));
  imgResourcesWarning->setPixmap(Artwork::ExchangeWarning());
  imgResourcesWarning->setGeometry(16, 262, 32, 32);
  lblResourcesWarning1 = new QLabel(QStringLiteral("Microsoft Exchange features disabled"), this);
  lblResourcesWarning1->setObjectName(QStringLiteral("lblResourcesWarning1"));
  QFont bold = lblResourcesWarning1->font();
  bold.setBold(true);
  lblResourcesWarning1->setFont(bold);
  lblResourcesWarning1->setGeometry(56, 260, 300, 16);
  lblResourcesWarning2 = new QLabel(this);
  lblResourcesWarning2->setObjectName(QStringLiteral("lblResourcesWarning2"));
  lblResourcesWarning2->setGeometry(56, 276, 300, 16);
  lblResourcesWarning3 = new QLabel(this);
  lblResourcesWarning3->setObjectName(QStringLiteral("lblResourcesWarning3"));
  lblResourcesWarning3->setGeometry(56, 290, 300, 16);
  for (QWidget* hidden : std::initializer_list<QWidget*>{imgResourcesWarning, lblResourcesWarning1,
                                                         lblResourcesWarning2, lblResourcesWarning3})
    hidden->setVisible(false);

  for (QRadioButton* option :
       {rbtnResourcesLeaveHomeFolder, rbtnResourcesDeleteHomeFolder, rbtnResourcesMoveHomeFolder})
    connect(option, &QRadioButton::clicked, this, &ResourcesPage::UpdateStates);
  connect(chkbResourcesDeleteMailbox, &QCheckBox::clicked, this, &ResourcesPage::UpdateStates);
  connect(btnResourcesBrowse, &QPushButton::clicked, this, &ResourcesPage::BrowseClick);
  connect(btnResourcesTestConnection, &QPushButton::clicked, this, &ResourcesPage::TestConnectionClick);
  edtResourcesExchangeServer->installEventFilter(this);
}

ResourcesPage::~ResourcesPage() = default;

std::vector<SectionHeading*> ResourcesPage::Sections() const { return {homeFolder_.get(), exchange_.get()}; }

void ResourcesPage::Layout(int pageControlWidth) {
  for (SectionHeading* section : Sections()) section->Layout(pageControlWidth);
  const int right = pageControlWidth - 22;
  btnResourcesBrowse->setGeometry(right - 75, 88, 75, 25);
  edtResourcesNewHomeFolderPath->setGeometry(34, 90, right - 75 - 6 - 34, 21);
  edtResourcesExchangeServer->setGeometry(kFieldLeft, 170, right - kFieldLeft, 21);
  edtResourcesRecipients->setGeometry(kFieldLeft, 196, right - kFieldLeft, 21);
  btnResourcesTestConnection->setGeometry(right - 110, 224, 110, 25);
}

void ResourcesPage::Bind(MessageBoxes& boxes, const ExchangeHelper& exchangeHelper, UiHooks& ui) {
  boxes_ = &boxes;
  exchangeHelper_ = &exchangeHelper;
  ui_ = &ui;
}

void ResourcesPage::FillFrom(const TVTRConfigSettings& s) {
  switch (s.HomeFolderAction()) {
    case 1:
      rbtnResourcesDeleteHomeFolder->setChecked(true);
      break;
    case 2:
      rbtnResourcesMoveHomeFolder->setChecked(true);
      break;
    default:
      rbtnResourcesLeaveHomeFolder->setChecked(true);
      break;
  }
  ShowStored(edtResourcesNewHomeFolderPath, QString::fromStdString(s.HomeFolderPath()));
  chkbResourcesDeleteMailbox->setChecked(s.DeleteMailboxes());
  ShowStored(edtResourcesExchangeServer, QString::fromStdString(s.ExchangeServer()));
  ShowStored(edtResourcesRecipients, QString::fromStdString(s.RecipientsCont()));
}

void ResourcesPage::CopyTo(TVTRConfigSettings& s) const {
  // Left unchanged when no option is checked.
  if (rbtnResourcesLeaveHomeFolder->isChecked()) {
    s.SetHomeFolderAction(0);
  } else if (rbtnResourcesDeleteHomeFolder->isChecked()) {
    s.SetHomeFolderAction(1);
  } else if (rbtnResourcesMoveHomeFolder->isChecked()) {
    s.SetHomeFolderAction(2);
  }
  s.SetHomeFolderPath(FieldText(edtResourcesNewHomeFolderPath));
  s.SetDeleteMailboxes(chkbResourcesDeleteMailbox->isChecked());
  s.SetExchangeServer(FieldText(edtResourcesExchangeServer));
  s.SetRecipientsCont(FieldText(edtResourcesRecipients));
}

void ResourcesPage::ReadInto(SettingsPageValues& values) const {
  values.homeFolderAction = rbtnResourcesMoveHomeFolder->isChecked()     ? 2
                            : rbtnResourcesDeleteHomeFolder->isChecked() ? 1
                                                                         : 0;
  values.homeFolderPath = FieldText(edtResourcesNewHomeFolderPath);
  values.deleteMailbox = chkbResourcesDeleteMailbox->isChecked();
  values.exchangeServer = FieldText(edtResourcesExchangeServer);
  values.recipients = FieldText(edtResourcesRecipients);
}

void ResourcesPage::UpdateStates() {
  const bool move = rbtnResourcesMoveHomeFolder->isChecked();
  edtResourcesNewHomeFolderPath->setEnabled(move);
  btnResourcesBrowse->setEnabled(move);
  SetFieldColour(edtResourcesNewHomeFolderPath);

  const bool mailbox = chkbResourcesDeleteMailbox->isChecked();
  for (QWidget* field :
       std::initializer_list<QWidget*>{edtResourcesExchangeServer, edtResourcesRecipients, btnResourcesTestConnection,
                                       lblResourcesExchangeServer, lblResourcesRecipients})
    field->setEnabled(mailbox);
  SetFieldColour(edtResourcesExchangeServer);
  SetFieldColour(edtResourcesRecipients);
}

bool ResourcesPage::eventFilter(QObject* watched, QEvent* event) {
  // Leaving the server field drops the backslashes typed before a server name.
  if (event->type() == QEvent::FocusOut && watched == edtResourcesExchangeServer) {
    const std::string typed = FieldText(edtResourcesExchangeServer);
    const std::string stripped = TestConnectionCommand::StripLeadingBackslashes(typed);
    if (stripped != typed) edtResourcesExchangeServer->setText(QString::fromStdString(stripped));
  }
  return QWidget::eventFilter(watched, event);
}

void ResourcesPage::BrowseClick() {
  QFileDialog picker(window(), QStringLiteral("Select a folder"));
  picker.setObjectName(QStringLiteral("dlgBrowseFolder"));
  picker.setFileMode(QFileDialog::Directory);
  picker.setOption(QFileDialog::ShowDirsOnly, true);
  if (boxes_->ExecDialog(picker) != QDialog::Accepted) return;
  const QStringList chosen = picker.selectedFiles();
  if (!chosen.isEmpty() && !chosen.first().isEmpty()) edtResourcesNewHomeFolderPath->setText(chosen.first());
}

void ResourcesPage::TestConnectionClick() {
  btnResourcesTestConnection->setEnabled(false);
  const TestConnectionCommand::Outcome outcome = TestConnectionCommand::Run(
      *exchangeHelper_, FieldText(edtResourcesExchangeServer), FieldText(edtResourcesRecipients), *ui_);
  btnResourcesTestConnection->setEnabled(true);
  if (outcome.focus == TestConnectionCommand::Field::kServer) edtResourcesExchangeServer->setFocus();
  if (outcome.focus == TestConnectionCommand::Field::kRecipients) edtResourcesRecipients->setFocus();
  if (outcome.box == TestConnectionCommand::Box::kInformation) {
    boxes_->ShowInformation(window(), outcome.text);
  } else {
    boxes_->ShowError(window(), outcome.text);
  }
}

void ResourcesPage::DisableExchangeFeatures(const QString& line1, const QString& line2) {
  lblResourcesWarning2->setText(line1);
  lblResourcesWarning3->setText(line2);
  chkbResourcesDeleteMailbox->setChecked(false);
  chkbResourcesDeleteMailbox->setEnabled(false);
  for (QWidget* warning : std::initializer_list<QWidget*>{imgResourcesWarning, lblResourcesWarning1,
                                                          lblResourcesWarning2, lblResourcesWarning3})
    warning->setVisible(true);
}

}  // namespace vantrel
