// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/CreatePasswordPanel.h"

#include <QLabel>
#include <QPushButton>

#include "store/MasterPassword.h"
#include "ui/MessageDialog.h"
#include "ui/controls/SecretField.h"

namespace corvella {
namespace {

// The panel is designed at 438 x 326; fields and button keep their distance to the right edge.
constexpr int kDesignWidth = 438;

const char* const kIntroduction =
    "<p style=\"margin:0\"><span style=\"font-family:Arial; font-size:14pt; font-weight:bold\">"
    "Create Master Password</span></p>"
    "<p style=\"margin:0\">&nbsp;</p>"
    "<p style=\"margin:0; font-size:10pt\">Enter the master password you wish to use to access "
    "Corvella. </p>"
    "<p style=\"margin:0; font-size:10pt\">Make sure you remember it, as otherwise you will not be "
    "able to access the program or your passwords!</p>";

}  // namespace

CreatePasswordPanel::CreatePasswordPanel(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("createPasswordPanel"));
  setAutoFillBackground(true);

  auto* intro = new QLabel(QString::fromLatin1(kIntroduction), this);
  intro->setObjectName(QStringLiteral("introduction"));
  intro->setTextFormat(Qt::RichText);
  intro->setWordWrap(true);
  intro->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  intro->setFocusPolicy(Qt::NoFocus);
  introduction_ = intro;

  auto* passwordLabel = new QLabel(tr("Enter Master Password:"), this);
  passwordLabel->setObjectName(QStringLiteral("passwordLabel"));
  passwordLabel->move(32, 184);
  passwordEdit_ = new SecretField(this);
  passwordEdit_->setObjectName(QStringLiteral("passwordEdit"));
  passwordEdit_->SetEchoMode(QLineEdit::Password);
  passwordLabel->setBuddy(passwordEdit_);

  auto* repeatLabel = new QLabel(tr("Repeat:"), this);
  repeatLabel->setObjectName(QStringLiteral("repeatLabel"));
  repeatLabel->move(32, 232);
  repeatEdit_ = new SecretField(this);
  repeatEdit_->setObjectName(QStringLiteral("repeatEdit"));
  repeatEdit_->SetEchoMode(QLineEdit::Password);
  repeatLabel->setBuddy(repeatEdit_);

  okButton_ = new QPushButton(tr("OK"), this);
  okButton_->setObjectName(QStringLiteral("okButton"));
  okButton_->setDefault(true);

  setTabOrder(passwordEdit_, repeatEdit_);
  setTabOrder(repeatEdit_, okButton_);
  connect(okButton_, &QPushButton::clicked, this, &CreatePasswordPanel::SubmitPassword);
  connect(passwordEdit_, &SecretField::ReturnPressed, okButton_, &QPushButton::click);
  connect(repeatEdit_, &SecretField::ReturnPressed, okButton_, &QPushButton::click);
}

void CreatePasswordPanel::resizeEvent(QResizeEvent* event) {
  const int grow = std::max(0, width() - kDesignWidth);
  introduction_->setGeometry(32, 16, 348 + grow, 145);
  passwordEdit_->setGeometry(32, 200, 348 + grow, 20);
  repeatEdit_->setGeometry(32, 248, 348 + grow, 20);
  okButton_->setGeometry(306 + grow, 282, 75, 25);
  QWidget::resizeEvent(event);
}

void CreatePasswordPanel::WipeFields() {
  passwordEdit_->Clear();
  repeatEdit_->Clear();
}

void CreatePasswordPanel::FocusFirstField() { passwordEdit_->setFocus(); }

void CreatePasswordPanel::SubmitPassword() {
  const SecureString first = passwordEdit_->Secret();
  if (first != repeatEdit_->Secret()) {
    RejectAndClear(tr("The passwords you enter don't match. Please enter the password again."));
  } else if (first.size() < kMinimumMasterPasswordLength) {
    RejectAndClear(
        tr("The password you entered is too short. Please enter a password that is "
           "at least 6 characters long"));
  } else {
    emit PasswordChosen(first);
  }
}

void CreatePasswordPanel::RejectAndClear(const QString& message) {
  ShowMessage(MessageKind::Error, message);
  WipeFields();
  passwordEdit_->setFocus();
}

}  // namespace corvella
