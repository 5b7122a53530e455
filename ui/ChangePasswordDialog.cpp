// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/ChangePasswordDialog.h"

#include <QLabel>
#include <QPushButton>

#include "store/MasterPassword.h"
#include "ui/MessageDialog.h"
#include "ui/VaultSession.h"
#include "ui/controls/SecretField.h"

namespace corvella {

ChangePasswordDialog::ChangePasswordDialog(VaultSession& session, QWidget* parent)
    : QDialog(parent), session_(session) {
  setObjectName(QStringLiteral("changePasswordDialog"));
  setWindowTitle(tr("Change Master Password"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);

  const auto addField = [this](const QString& caption, const char* name, int top) {
    auto* label = new QLabel(caption, this);
    label->setGeometry(16, top, 300, 16);
    auto* field = new SecretField(this);
    field->setObjectName(QLatin1String(name));
    field->SetEchoMode(QLineEdit::Password);
    field->setGeometry(16, top + 18, 320, 22);
    label->setBuddy(field);
    connect(field, &SecretField::ReturnPressed, this, [this] { okButton_->click(); });
    return field;
  };
  currentPasswordEdit_ = addField(tr("&Current Master Password:"), "currentPasswordEdit", 16);
  newPasswordEdit_ = addField(tr("&New Master Password:"), "newPasswordEdit", 64);
  repeatPasswordEdit_ = addField(tr("&Repeat:"), "repeatPasswordEdit", 112);

  okButton_ = new QPushButton(tr("OK"), this);
  okButton_->setObjectName(QStringLiteral("okButton"));
  okButton_->setGeometry(174, 164, 75, 25);
  okButton_->setDefault(true);
  cancelButton_ = new QPushButton(tr("Cancel"), this);
  cancelButton_->setObjectName(QStringLiteral("cancelButton"));
  cancelButton_->setGeometry(261, 164, 75, 25);

  setTabOrder(currentPasswordEdit_, newPasswordEdit_);
  setTabOrder(newPasswordEdit_, repeatPasswordEdit_);
  setTabOrder(repeatPasswordEdit_, okButton_);
  setTabOrder(okButton_, cancelButton_);
  connect(okButton_, &QPushButton::clicked, this, &ChangePasswordDialog::Submit);
  connect(cancelButton_, &QPushButton::clicked, this, &QDialog::reject);
  setFixedSize(352, 205);
  currentPasswordEdit_->setFocus();
}

void ChangePasswordDialog::Submit() {
  const SecureString newPassword = newPasswordEdit_->Secret();
  if (newPassword != repeatPasswordEdit_->Secret()) {
    Reject(tr("The passwords you enter don't match. Please enter the password again."), false);
    return;
  }
  if (newPassword.size() < kMinimumMasterPasswordLength) {
    Reject(tr("The password you entered is too short. Please enter a password that is "
              "at least 6 characters long"),
           false);
    return;
  }
  try {
    session_.ChangeMasterPassword(currentPasswordEdit_->Secret().View(), newPassword.View());
  } catch (const std::exception& error) {
    Reject(QString::fromUtf8(error.what()), true);
    return;
  }
  currentPasswordEdit_->Clear();
  newPasswordEdit_->Clear();
  repeatPasswordEdit_->Clear();
  accept();
}

void ChangePasswordDialog::Reject(const QString& message, bool currentToo) {
  ShowMessage(MessageKind::Error, message);
  newPasswordEdit_->Clear();
  repeatPasswordEdit_->Clear();
  if (currentToo) {
    currentPasswordEdit_->Clear();
    currentPasswordEdit_->setFocus();
  } else {
    newPasswordEdit_->setFocus();
  }
}

}  // namespace corvella
