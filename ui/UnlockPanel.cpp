// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/UnlockPanel.h"

#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>

#include "ui/controls/SecretField.h"

namespace corvella {

UnlockPanel::UnlockPanel(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("unlockPanel"));
  setAutoFillBackground(true);

  auto* label = new QLabel(tr("Enter Master Password:"), this);
  label->setObjectName(QStringLiteral("passwordLabel"));
  label->move(144, 168);
  passwordEdit_ = new SecretField(this);
  passwordEdit_->setObjectName(QStringLiteral("passwordEdit"));
  passwordEdit_->SetEchoMode(QLineEdit::Password);
  passwordEdit_->setGeometry(144, 184, 297, 20);
  label->setBuddy(passwordEdit_);

  okButton_ = new QPushButton(tr("OK"), this);
  okButton_->setObjectName(QStringLiteral("okButton"));
  okButton_->setGeometry(368, 216, 75, 25);
  okButton_->setDefault(true);

  connect(okButton_, &QPushButton::clicked, this, &UnlockPanel::RequestUnlock);
  connect(passwordEdit_, &SecretField::ReturnPressed, okButton_, &QPushButton::click);
}

void UnlockPanel::FocusPasswordField() { passwordEdit_->setFocus(); }

void UnlockPanel::RequestUnlock() {
  // Emptied also when the receiver fails.
  const auto clear = qScopeGuard([this] { passwordEdit_->Clear(); });
  emit UnlockRequested(passwordEdit_->Secret());
}

}  // namespace corvella
