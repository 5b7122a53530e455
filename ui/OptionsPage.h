// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QWidget>

class QCheckBox;
class QComboBox;
class QPushButton;

namespace corvella::platform {
class Autostart;
class Settings;
}  // namespace corvella::platform

namespace corvella {

// The Options page: the stored options and the start-up registration. Every control
// writes its option the moment the user changes it.
class OptionsPage final : public QWidget {
  Q_OBJECT

 public:
  OptionsPage(platform::Settings& settings, platform::Autostart& autostart, QWidget* parent);

  // Sets the controls from the stored options. A stored flag other than "1" unticks its box and
  // writes "0" back; an unmatched lock time leaves "10" selected and stored as it was. Failures
  // reach the caller.
  void LoadSettings();
  // Brings "Load on computer startup" in line with the autostart entry without writing it.
  void RefreshLoadOnStartup();
  // "Change Master Password..." works only while the vault is unlocked.
  void SetVaultOpen(bool open);
  // "Import..." works only while the vault is open.
  void SetImportEnabled(bool enabled);

 signals:
  // The lock period the user picked, or that the options set at start.
  void LockPeriodChosen(int minutes);
  // "Lock program after" was ticked or unticked.
  void LockProgramChosen(bool enabled);
  // "Change Master Password..." was clicked.
  void ChangePasswordRequested();
  // "Import..." was pressed.
  void ImportRequested();

 private:
  void SetCopyPassword(bool enabled);
  void SetLockProgram(bool enabled);
  void SetLockTime();
  void SetLockOnScreenLock(bool enabled);
  void SetLockBeforeSleep(bool enabled);
  void SetLoadOnStartup(bool enabled);
  void SelectDefaultLockTime();
  int SelectedMinutes() const;

  platform::Settings& settings_;
  platform::Autostart& autostart_;
  QCheckBox* copyPasswordBox_;
  QCheckBox* lockProgramBox_;
  QComboBox* lockTimeBox_;
  QCheckBox* lockOnScreenLockBox_;
  QCheckBox* lockBeforeSleepBox_;
  QCheckBox* loadOnStartupBox_;
  QPushButton* changePasswordButton_;
  QPushButton* importButton_;
};

}  // namespace corvella
