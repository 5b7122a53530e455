// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QDialog>

#include "ui/VaultSession.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace corvella {

class SecretField;

// The entry editor: site name, user name, web address and password, with a password generator.
// It only collects the texts; the caller reads them after OK.
class EntryEditor final : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kDesignWidth = 453;
  static constexpr int kDesignHeight = 217;

  // A dialog of `owner`'s, shown over it.
  explicit EntryEditor(QWidget* owner = nullptr);
  ~EntryEditor() override;

  // Shows an entry's texts for editing.
  void ShowFields(const EntryFields& fields);
  // The texts as stored bytes (UTF-8).
  EntryFields Fields() const;

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void OnShown();
  void LayOutControls();
  void SetPasswordHidden(bool hidden);
  void FillGeneratedPassword();

  QLineEdit* siteNameEdit_;
  QLineEdit* userNameEdit_;
  QLineEdit* urlEdit_;
  SecretField* passwordEdit_;
  QLabel* siteNameLabel_;
  QLabel* userNameLabel_;
  QLabel* urlLabel_;
  QLabel* passwordLabel_;
  QPushButton* generateButton_;
  QCheckBox* hidePasswordBox_;
  QPushButton* okButton_;
  QPushButton* cancelButton_;
};

}  // namespace corvella
