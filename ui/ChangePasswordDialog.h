// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QDialog>

class QPushButton;

namespace corvella {

class SecretField;
class VaultSession;

// Asks for the current master password and the new one twice, and has the session rewrite the
// password file under the new one. It closes accepted only once that has succeeded; a refusal
// or a failure is shown and the dialog stays, its fields emptied as the rule needs.
class ChangePasswordDialog final : public QDialog {
  Q_OBJECT

 public:
  ChangePasswordDialog(VaultSession& session, QWidget* parent);

 private:
  void Submit();
  // Shows `message` and empties the new password's fields, or with `currentToo` all three.
  void Reject(const QString& message, bool currentToo);

  VaultSession& session_;
  SecretField* currentPasswordEdit_;
  SecretField* newPasswordEdit_;
  SecretField* repeatPasswordEdit_;
  QPushButton* okButton_;
  QPushButton* cancelButton_;
};

}  // namespace corvella
