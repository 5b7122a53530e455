#include "frmNewPassword.h"

#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QShowEvent>
#include <algorithm>
#include <limits>
#include <utility>

#include "store/PasswordGenerator.h"
#include "ui/Icons.h"
#include "ui/MessageDialog.h"
#include "ui/Text.h"

namespace corvella {
namespace {

constexpr int kLabelHeight = 16;
constexpr int kLabelGap = 2;  // between a label and the field below it

QLineEdit* MakeField(const char* name, QWidget* parent) {
  auto* field = new QLineEdit(parent);
  field->setObjectName(QLatin1String(name));
  // Stored texts may be longer than a line edit's default limit of 32767 characters; OK must
  // not cut them.
  field->setMaxLength(std::numeric_limits<int>::max());
  return field;
}

QLabel* MakeLabel(const QString& caption, QLineEdit* field, QWidget* parent) {
  auto* label = new QLabel(caption, parent);
  label->setObjectName(field->objectName() + QStringLiteral("Label"));
  label->setBuddy(field);
  return label;
}

// True when `text` begins with "http", capitals in the ASCII range allowed.
bool StartsWithHttp(const QString& text) {
  if (text.size() < 4) return false;
  QString head = text.left(4);
  for (QChar& c : head) {
    if (c >= u'A' && c <= u'Z') c = QChar(c.unicode() + (u'a' - u'A'));
  }
  return head == QLatin1String("http");
}

}  // namespace

TNewPasswordForm::TNewPasswordForm(EntryPtr entry, SaveFunction save, const SessionKey* key)
    : QDialog(nullptr), entry_(std::move(entry)), key_(key), save_(std::move(save)) {
  setObjectName(QStringLiteral("NewPasswordForm"));
  setWindowTitle(tr("Add New Password"));

  SiteNameEdit = MakeField("SiteNameEdit", this);
  UserNameEdit = MakeField("UserNameEdit", this);
  UrlEdit = MakeField("UrlEdit", this);
  PasswordEdit = MakeField("PasswordEdit", this);
  PasswordEdit->setEchoMode(QLineEdit::Password);
  SiteNameLabel = MakeLabel(tr("Web Site Name"), SiteNameEdit, this);
  UserNameLabel = MakeLabel(tr("User Name"), UserNameEdit, this);
  UrlLabel = MakeLabel(tr("Web Site Address (URL)"), UrlEdit, this);
  PasswordLabel = MakeLabel(tr("Password"), PasswordEdit, this);

  BitBtn1 = new QPushButton(ToolImage("new-password"), tr("Generate"), this);
  BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
  BitBtn1->setIconSize({16, 16});
  HidePasswordBox = new QCheckBox(tr("Hide password"), this);
  HidePasswordBox->setObjectName(QStringLiteral("HidePasswordBox"));
  HidePasswordBox->setChecked(true);
  Button1 = new QPushButton(tr("OK"), this);
  Button1->setObjectName(QStringLiteral("Button1"));
  Button1->setDefault(true);
  // Escape and the title-bar close reject the dialog as Cancel does.
  Button2 = new QPushButton(tr("Cancel"), this);
  Button2->setObjectName(QStringLiteral("Button2"));

  const QList<QWidget*> tabOrder = {SiteNameEdit, UserNameEdit,    UrlEdit, PasswordEdit,
                                    BitBtn1,      HidePasswordBox, Button1, Button2};
  for (qsizetype i = 1; i < tabOrder.size(); ++i) setTabOrder(tabOrder[i - 1], tabOrder[i]);

  connect(HidePasswordBox, &QCheckBox::toggled, this, &TNewPasswordForm::HidePasswordBoxClick);
  connect(BitBtn1, &QPushButton::clicked, this, &TNewPasswordForm::BitBtn1Click);
  connect(Button1, &QPushButton::clicked, this, &TNewPasswordForm::Button1Click);
  connect(Button2, &QPushButton::clicked, this, &QDialog::reject);

  // Shrinking below the design size would push the top labels out of the window.
  setMinimumSize(kDesignWidth, kDesignHeight);
  resize(kDesignWidth, kDesignHeight);
  LayOutControls();
}

TNewPasswordForm::~TNewPasswordForm() = default;

void TNewPasswordForm::SetFields(const Entry& entry, const SessionKey& key) {
  SiteNameEdit->setText(FromBytes(entry.siteName));
  UrlEdit->setText(FromBytes(entry.url));
  QString password = FromSecretBytes(entry.Password(key).View());
  PasswordEdit->setText(password);
  WipeQString(password);
  UserNameEdit->setText(FromBytes(entry.userName));
}

std::string TNewPasswordForm::SiteNameText() const { return ToBytes(SiteNameEdit->text()); }

std::string TNewPasswordForm::UserNameText() const { return ToBytes(UserNameEdit->text()); }

std::string TNewPasswordForm::UrlText() const { return ToBytes(UrlEdit->text()); }

SecureString TNewPasswordForm::PasswordText() const { return ToSecretBytes(PasswordEdit->text()); }

void TNewPasswordForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // Spontaneous show events come from the window system, e.g. when un-minimising; the start-up
  // work belongs to the showing itself only.
  if (event->spontaneous()) return;
  CentreOnScreen();
  FormShow();
}

void TNewPasswordForm::CentreOnScreen() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  QRect frame = frameGeometry();
  frame.moveCenter(screen->availableGeometry().center());
  move(frame.topLeft());
}

void TNewPasswordForm::FormShow() {
  SiteNameEdit->setFocus();
  // A copied web address fills an empty address field; a stored address is never replaced.
  if (!UrlEdit->text().isEmpty()) return;
  const QClipboard* clipboard = QGuiApplication::clipboard();
  if (clipboard == nullptr) return;
  const QString text = clipboard->text();
  if (StartsWithHttp(text)) UrlEdit->setText(text);
}

void TNewPasswordForm::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  LayOutControls();
}

void TNewPasswordForm::LayOutControls() {
  // Positions are those of the design size. Fields keep their distances to the left, right and
  // bottom edges; Generate and the check box to the left and bottom; OK and Cancel to the right
  // and bottom.
  const int grow = width() - kDesignWidth;
  const int drop = height() - kDesignHeight;
  const auto placeField = [&](QLineEdit* field, QLabel* label, int left, int top, int width,
                              int height) {
    field->setGeometry(left, top + drop, width, height);
    label->setGeometry(left, top + drop - kLabelGap - kLabelHeight, width, kLabelHeight);
  };
  // The two fields of the first row share the extra width instead of growing over each other.
  const int siteGrow = grow / 2;
  placeField(SiteNameEdit, SiteNameLabel, 24, 26, 225 + siteGrow, 21);
  placeField(UserNameEdit, UserNameLabel, 264 + siteGrow, 26, 169 + grow - siteGrow, 21);
  placeField(UrlEdit, UrlLabel, 24, 74, 405 + grow, 21);
  placeField(PasswordEdit, PasswordLabel, 24, 122, 405 + grow, 20);
  BitBtn1->setGeometry(24, 152 + drop, 89, 25);
  // Wider only where the desktop font needs more room than the design's 97 pixels.
  HidePasswordBox->setGeometry(128, 157 + drop, std::max(97, HidePasswordBox->sizeHint().width()),
                               17);
  Button1->setGeometry(271 + grow, 170 + drop, 75, 25);
  Button2->setGeometry(359 + grow, 170 + drop, 75, 25);
}

void TNewPasswordForm::HidePasswordBoxClick(bool checked) {
  PasswordEdit->setEchoMode(checked ? QLineEdit::Password : QLineEdit::Normal);
  if (!checked) {
    // Shown, the password is still no text for input methods to learn or complete.
    PasswordEdit->setInputMethodHints(PasswordEdit->inputMethodHints() | Qt::ImhSensitiveData |
                                      Qt::ImhNoPredictiveText | Qt::ImhNoAutoUppercase);
  }
}

void TNewPasswordForm::BitBtn1Click() {
  if (!PasswordEdit->text().isEmpty() &&
      ShowMessage(MessageKind::Confirm,
                  tr("Are you sure you want to replace the existing password?"),
                  MessageButtons::YesNo) == MessageAnswer::No) {
    return;
  }
  SecureString generated = GeneratePassword();
  QString text = QString::fromLatin1(generated.data(), static_cast<qsizetype>(generated.size()));
  PasswordEdit->setText(text);
  WipeQString(text);
}

void TNewPasswordForm::Button1Click() {
  // The result comes first: when the save below fails, the dialog still closes with OK and the
  // error goes on to the application-wide handler.
  done(Accepted);
  if (!entry_) return;
  entry_->url = UrlText();
  entry_->SetPassword(PasswordText().View(), *key_);
  entry_->siteName = SiteNameText();
  entry_->userName = UserNameText();
  if (save_) save_();
}

}  // namespace corvella
