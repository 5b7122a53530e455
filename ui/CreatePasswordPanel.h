// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QWidget>

#include "store/SecureMemory.h"

class QPushButton;

namespace corvella {

class SecretField;

// The creation panel, laid over the page area on a first start: the new master password, twice.
class CreatePasswordPanel final : public QWidget {
  Q_OBJECT

 public:
  explicit CreatePasswordPanel(QWidget* parent);

  void FocusFirstField();
  // Empties both fields, overwriting what they held.
  void WipeFields();

 signals:
  // The two fields agree and are long enough; the receiver makes the text (UTF-8) the master
  // password. It stays in the fields until the receiver hides the panel, so a failed save can be
  // retried.
  void PasswordChosen(const SecureString& password);

 private:
  void SubmitPassword();
  void RejectAndClear(const QString& message);
  void resizeEvent(QResizeEvent* event) override;

  QWidget* introduction_;
  SecretField* passwordEdit_;
  SecretField* repeatEdit_;
  QPushButton* okButton_;
};

}  // namespace corvella
