#pragma once

#include <QWidget>

class QCheckBox;
class QComboBox;

namespace corvella::platform {
class Autostart;
class Settings;
}  // namespace corvella::platform

namespace corvella {

// The Options page: the three stored options and the start-up registration. Every control
// writes its option the moment it changes.
class OptionsPage final : public QWidget {
  Q_OBJECT

 public:
  OptionsPage(platform::Settings& settings, platform::Autostart& autostart, QWidget* parent);

  // Sets the controls from the stored options. A stored flag other than "1" unticks its box,
  // which writes "0" back; an unmatched lock time leaves "10" selected and stored as it was.
  void LoadSettings();
  // Brings "Load on computer startup" in line with the autostart entry without writing it.
  void RefreshLoadOnStartup();

  bool LockProgramEnabled() const;

 signals:
  // The lock period the user picked, or that the options set at start.
  void LockPeriodChosen(int minutes);

 private:
  void CopyPasswordsBoxClick(bool checked);
  void LockProgramBoxClick(bool checked);
  void TimeBoxChange(int index);
  void LoadOnStartupClick(bool checked);
  int SelectedMinutes() const;

  platform::Settings& settings_;
  platform::Autostart& autostart_;
  QCheckBox* CopyPasswordsBox;
  QCheckBox* LockProgramBox;
  QComboBox* TimeBox;
  QCheckBox* LoadOnStartup;
};

}  // namespace corvella
