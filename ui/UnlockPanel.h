// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QWidget>

#include "store/SecureMemory.h"

class QPushButton;

namespace corvella {

class SecretField;

// The unlock panel, laid over the page area while the program is locked.
class UnlockPanel final : public QWidget {
  Q_OBJECT

 public:
  explicit UnlockPanel(QWidget* parent);

  void FocusPasswordField();

 signals:
  // OK or Enter, with the typed master password as UTF-8; the field is emptied once the
  // receiver has returned, whatever happened.
  void UnlockRequested(const SecureString& password);

 private:
  void RequestUnlock();

  SecretField* passwordEdit_;
  QPushButton* okButton_;
};

}  // namespace corvella
