// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/EntryEditor.h"

#include <QCheckBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <QShowEvent>
#include <algorithm>
#include <limits>

#include "platform/Clipboard.h"
#include "store/PasswordGenerator.h"
#include "ui/FailureHandler.h"
#include "ui/Icons.h"
#include "ui/MessageDialog.h"
#include "ui/Text.h"
#include "ui/controls/AltKeyFilter.h"
#include "ui/controls/SecretField.h"

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
  RefuseAltChords(*field);
  return field;
}

QLabel* MakeLabel(const QString& caption, const char* name, QWidget* field, QWidget* parent) {
  auto* label = new QLabel(caption, parent);
  label->setObjectName(QLatin1String(name));
  label->setBuddy(field);
  return label;
}

}  // namespace

EntryEditor::EntryEditor(QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("entryEditor"));
  setWindowTitle(tr("Add New Password"));

  siteNameEdit_ = MakeField("siteNameEdit", this);
  userNameEdit_ = MakeField("userNameEdit", this);
  urlEdit_ = MakeField("urlEdit", this);
  passwordEdit_ = new SecretField(this);
  passwordEdit_->setObjectName(QStringLiteral("passwordEdit"));
  passwordEdit_->SetEchoMode(QLineEdit::Password);
  siteNameLabel_ = MakeLabel(tr("&Web Site Name"), "siteNameLabel", siteNameEdit_, this);
  userNameLabel_ = MakeLabel(tr("&User Name"), "userNameLabel", userNameEdit_, this);
  urlLabel_ = MakeLabel(tr("Web Site &Address (URL)"), "urlLabel", urlEdit_, this);
  passwordLabel_ = MakeLabel(tr("&Password"), "passwordLabel", passwordEdit_, this);

  generateButton_ = new QPushButton(ToolImage("new-password"), tr("&Generate"), this);
  generateButton_->setObjectName(QStringLiteral("generateButton"));
  generateButton_->setIconSize({16, 16});
  hidePasswordBox_ = new QCheckBox(tr("&Hide password"), this);
  hidePasswordBox_->setObjectName(QStringLiteral("hidePasswordBox"));
  hidePasswordBox_->setChecked(true);
  okButton_ = new QPushButton(tr("&OK"), this);
  okButton_->setObjectName(QStringLiteral("okButton"));
  okButton_->setDefault(true);
  // Escape and the title-bar close reject the dialog as Cancel does.
  cancelButton_ = new QPushButton(tr("&Cancel"), this);
  cancelButton_->setObjectName(QStringLiteral("cancelButton"));

  const QList<QWidget*> tabOrder = {siteNameEdit_,   userNameEdit_,    urlEdit_,  passwordEdit_,
                                    generateButton_, hidePasswordBox_, okButton_, cancelButton_};
  for (qsizetype i = 1; i < tabOrder.size(); ++i) setTabOrder(tabOrder[i - 1], tabOrder[i]);

  connect(hidePasswordBox_, &QCheckBox::toggled, this, &EntryEditor::SetPasswordHidden);
  connect(generateButton_, &QPushButton::clicked, this,
          Guarded(this, &EntryEditor::FillGeneratedPassword));
  connect(okButton_, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancelButton_, &QPushButton::clicked, this, &QDialog::reject);

  // Shrinking below the design size would push the top labels out of the window.
  setMinimumSize(kDesignWidth, kDesignHeight);
  resize(kDesignWidth, kDesignHeight);
  LayOutControls();
}

EntryEditor::~EntryEditor() = default;

void EntryEditor::ShowFields(const EntryFields& fields) {
  siteNameEdit_->setText(FromBytes(fields.siteName));
  urlEdit_->setText(FromBytes(fields.url));
  passwordEdit_->SetSecret(fields.password.View());
  userNameEdit_->setText(FromBytes(fields.userName));
}

EntryFields EntryEditor::Fields() const {
  return {ToBytes(siteNameEdit_->text()), ToBytes(urlEdit_->text()), ToBytes(userNameEdit_->text()),
          passwordEdit_->Secret()};
}

void EntryEditor::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // Spontaneous show events come from the window system, e.g. when un-minimising; the start-up
  // work belongs to the showing itself only.
  if (event->spontaneous()) return;
  CentreOnScreen(*this);
  OnShown();
}

void EntryEditor::OnShown() {
  siteNameEdit_->setFocus();
  // A copied web address fills an empty address field; a stored address is never replaced.
  if (!urlEdit_->text().isEmpty()) return;
  // Read whole only when it is an address: it may be a password copied a moment ago.
  bool address = false;
  platform::Clipboard::ReadText([&](std::string_view text) { address = BeginsWithHttp(text); });
  if (address) urlEdit_->setText(platform::Clipboard::Text());
}

void EntryEditor::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  LayOutControls();
}

void EntryEditor::LayOutControls() {
  // Positions are those of the design size. Fields keep their distances to the left, right and
  // bottom edges; Generate and the check box to the left and bottom; OK and Cancel to the right
  // and bottom.
  const int grow = width() - kDesignWidth;
  const int drop = height() - kDesignHeight;
  const auto placeField = [&](QWidget* field, QLabel* label, int left, int top, int width,
                              int height) {
    field->setGeometry(left, top + drop, width, height);
    label->setGeometry(left, top + drop - kLabelGap - kLabelHeight, width, kLabelHeight);
  };
  // The two fields of the first row share the extra width instead of growing over each other.
  const int siteGrow = grow / 2;
  placeField(siteNameEdit_, siteNameLabel_, 24, 26, 225 + siteGrow, 21);
  placeField(userNameEdit_, userNameLabel_, 264 + siteGrow, 26, 169 + grow - siteGrow, 21);
  placeField(urlEdit_, urlLabel_, 24, 74, 405 + grow, 21);
  placeField(passwordEdit_, passwordLabel_, 24, 122, 405 + grow, 20);
  generateButton_->setGeometry(24, 152 + drop, 89, 25);
  // Wider only where the desktop font needs more room than the design's 97 pixels.
  hidePasswordBox_->setGeometry(128, 157 + drop, std::max(97, hidePasswordBox_->sizeHint().width()),
                                17);
  okButton_->setGeometry(271 + grow, 170 + drop, 75, 25);
  cancelButton_->setGeometry(359 + grow, 170 + drop, 75, 25);
}

void EntryEditor::SetPasswordHidden(bool hidden) {
  passwordEdit_->SetEchoMode(hidden ? QLineEdit::Password : QLineEdit::Normal);
}

void EntryEditor::FillGeneratedPassword() {
  if (!passwordEdit_->IsEmpty() &&
      ShowMessage(MessageKind::Confirm,
                  tr("Are you sure you want to replace the existing password?"),
                  MessageButtons::YesNo) != MessageAnswer::Yes) {
    return;
  }
  passwordEdit_->SetSecret(GeneratePassword().View());
}

}  // namespace corvella
