// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "OptionsPage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <algorithm>
#include <initializer_list>

#include "core/Error.h"
#include "platform/Autostart.h"
#include "platform/Clipboard.h"
#include "platform/Settings.h"
#include "ui/FailureHandler.h"
#include "ui/Text.h"

namespace corvella {
namespace {

template <class Control>
Control* Place(Control* control, const char* name, int left, int top, int width, int height) {
  control->setObjectName(QString::fromLatin1(name));
  control->setGeometry(left, top, width, height);
  return control;
}

}  // namespace

OptionsPage::OptionsPage(platform::Settings& settings, platform::Autostart& autostart,
                         QWidget* parent)
    : QWidget(parent), settings_(settings), autostart_(autostart) {
  setObjectName(QStringLiteral("optionsPage"));
  copyPasswordBox_ = Place(new QCheckBox(tr("Copy password to clipboard when double-clicking an "
                                            "entry or using Go to Web Page "),
                                         this),
                           "copyPasswordBox", 16, 16, 537, 17);
  auto* clipboardNote =
      Place(new QLabel(tr("(Password automatically erased after 10 seconds)"), this),
            "clipboardNote", 40, 40, 385, 13);
  // Where the clipboard takes changes only from the window that has focus.
  if (!platform::Clipboard::ClearsInBackground()) {
    auto* focusNote =
        Place(new QLabel(tr("(On this desktop, only when you return to Corvella, lock it or exit)"),
                         this),
              "clipboardFocusNote", 40, 58, 385, 13);
    focusNote->resize(std::max(focusNote->width(), focusNote->sizeHint().width()),
                      std::max(focusNote->height(), focusNote->sizeHint().height()));
  }
  lockProgramBox_ =
      Place(new QCheckBox(tr("Lock program after "), this), "lockProgramBox", 16, 88, 113, 17);
  lockTimeBox_ = Place(new QComboBox(this), "lockTimeBox", 132, 86, 49, 21);
  lockTimeBox_->addItems({"1", "2", "3", "4", "5", "10", "20", "40", "60"});
  lockTimeBox_->setMaxVisibleItems(10);
  SelectDefaultLockTime();
  auto* lockTimeLabel =
      Place(new QLabel(tr("minutes of inactivity"), this), "lockTimeLabel", 188, 89, 96, 13);
  lockOnScreenLockBox_ = Place(new QCheckBox(tr("Lock when the screen is locked"), this),
                               "lockOnScreenLockBox", 40, 112, 250, 17);
  lockBeforeSleepBox_ = Place(new QCheckBox(tr("Lock before the computer sleeps"), this),
                              "lockBeforeSleepBox", 40, 136, 250, 17);
  loadOnStartupBox_ = Place(new QCheckBox(tr("Load on computer startup"), this), "loadOnStartupBox",
                            16, 184, 345, 17);
  // The design's pixel sizes assume a small 8-point face: controls grow to their text at the
  // desktop's font, and the lock line "[box] Lock program after [10] minutes of inactivity" keeps
  // its pieces side by side, centred on the drop-down list.
  for (QWidget* control : std::initializer_list<QWidget*>{
           copyPasswordBox_, clipboardNote, lockProgramBox_, lockTimeBox_, lockTimeLabel,
           lockOnScreenLockBox_, lockBeforeSleepBox_, loadOnStartupBox_}) {
    control->resize(std::max(control->width(), control->sizeHint().width()),
                    std::max(control->height(), control->sizeHint().height()));
  }
  const int lineCentre = lockTimeBox_->geometry().center().y();
  const auto centreOnLine = [lineCentre](QWidget* control, int left) {
    control->move(left, lineCentre - control->height() / 2);
  };
  centreOnLine(lockProgramBox_, 16);
  centreOnLine(lockTimeBox_, std::max(132, lockProgramBox_->geometry().right() + 4));
  centreOnLine(lockTimeLabel, std::max(188, lockTimeBox_->geometry().right() + 8));
  copyPasswordBox_->setChecked(true);
  lockProgramBox_->setChecked(true);
  lockOnScreenLockBox_->setChecked(true);
  lockBeforeSleepBox_->setChecked(true);
  changePasswordButton_ = new QPushButton(tr("Change Master Password..."), this);
  changePasswordButton_->setObjectName(QStringLiteral("changePasswordButton"));
  changePasswordButton_->setGeometry(16, 232, changePasswordButton_->sizeHint().width(),
                                     changePasswordButton_->sizeHint().height());
  changePasswordButton_->setEnabled(false);
  connect(changePasswordButton_, &QPushButton::clicked, this,
          &OptionsPage::ChangePasswordRequested);
  // Beside "Change Master Password..." on the same row.
  importButton_ = new QPushButton(tr("Import..."), this);
  importButton_->setObjectName(QStringLiteral("importButton"));
  importButton_->setGeometry(changePasswordButton_->geometry().right() + 1 + 8, 232,
                             importButton_->sizeHint().width(), importButton_->sizeHint().height());
  importButton_->setEnabled(false);
  connect(importButton_, &QPushButton::clicked, this, &OptionsPage::ImportRequested);

  // Only the user's changes write: clicked and activated, never toggled.
  connect(copyPasswordBox_, &QCheckBox::clicked, this,
          Guarded(this, &OptionsPage::SetCopyPassword));
  connect(lockProgramBox_, &QCheckBox::clicked, this, Guarded(this, &OptionsPage::SetLockProgram));
  connect(lockTimeBox_, &QComboBox::activated, this, Guarded(this, &OptionsPage::SetLockTime));
  connect(lockOnScreenLockBox_, &QCheckBox::clicked, this,
          Guarded(this, &OptionsPage::SetLockOnScreenLock));
  connect(lockBeforeSleepBox_, &QCheckBox::clicked, this,
          Guarded(this, &OptionsPage::SetLockBeforeSleep));
  connect(loadOnStartupBox_, &QCheckBox::clicked, this,
          Guarded(this, &OptionsPage::SetLoadOnStartup));
}

void OptionsPage::LoadSettings() {
  // The boxes start ticked; one that a stored flag unticks stores "0" as the user's click would.
  const bool copyPassword = settings_.ReadFlag(platform::Option::CopyToClipboard);
  copyPasswordBox_->setChecked(copyPassword);
  if (!copyPassword) SetCopyPassword(false);
  const bool lockProgram = settings_.ReadFlag(platform::Option::LockProgram);
  lockProgramBox_->setChecked(lockProgram);
  if (!lockProgram) SetLockProgram(false);
  const bool lockOnScreenLock = settings_.ReadFlag(platform::Option::LockOnScreenLock);
  lockOnScreenLockBox_->setChecked(lockOnScreenLock);
  if (!lockOnScreenLock) SetLockOnScreenLock(false);
  const bool lockBeforeSleep = settings_.ReadFlag(platform::Option::LockBeforeSleep);
  lockBeforeSleepBox_->setChecked(lockBeforeSleep);
  if (!lockBeforeSleep) SetLockBeforeSleep(false);
  SelectDefaultLockTime();
  const int stored = lockTimeBox_->findText(FromBytes(settings_.Read(platform::Option::LockTime)),
                                            Qt::MatchExactly | Qt::MatchCaseSensitive);
  if (stored >= 0) lockTimeBox_->setCurrentIndex(stored);
  emit LockPeriodChosen(SelectedMinutes());
}

void OptionsPage::RefreshLoadOnStartup() {
  // The box reacts to clicks only (QCheckBox::clicked), so this writes nothing.
  loadOnStartupBox_->setChecked(autostart_.IsInStartup());
}

void OptionsPage::SetVaultOpen(bool open) { changePasswordButton_->setEnabled(open); }

void OptionsPage::SetImportEnabled(bool enabled) { importButton_->setEnabled(enabled); }

void OptionsPage::SetCopyPassword(bool enabled) {
  settings_.WriteFlag(platform::Option::CopyToClipboard, enabled);
}

void OptionsPage::SetLockProgram(bool enabled) {
  emit LockProgramChosen(enabled);
  settings_.WriteFlag(platform::Option::LockProgram, enabled);
}

void OptionsPage::SetLockTime() {
  emit LockPeriodChosen(SelectedMinutes());
  settings_.Write(platform::Option::LockTime, ToBytes(lockTimeBox_->currentText()));
}

void OptionsPage::SetLockOnScreenLock(bool enabled) {
  settings_.WriteFlag(platform::Option::LockOnScreenLock, enabled);
}

void OptionsPage::SetLockBeforeSleep(bool enabled) {
  settings_.WriteFlag(platform::Option::LockBeforeSleep, enabled);
}

void OptionsPage::SetLoadOnStartup(bool enabled) {
  if (enabled) {
    autostart_.AddToStartup();
  } else {
    autostart_.RemoveFromStartup();
  }
}

void OptionsPage::SelectDefaultLockTime() {
  const std::string_view period = platform::KeyOf(platform::Option::LockTime).defaultValue;
  lockTimeBox_->setCurrentIndex(lockTimeBox_->findText(FromBytes(period)));
}

int OptionsPage::SelectedMinutes() const {
  bool isNumber = false;
  const int minutes = lockTimeBox_->currentText().toInt(&isNumber);
  CORVELLA_ASSERT(isNumber);
  return minutes;
}

}  // namespace corvella
