// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QMainWindow>
#include <functional>
#include <vector>

#include "store/SecureMemory.h"

class QAction;
class QKeySequence;
class QLineEdit;
class QMenu;
class QStackedWidget;

namespace corvella::platform {
class Autostart;
class ScreenLockWatcher;
class Settings;
}  // namespace corvella::platform

namespace corvella {

class CreatePasswordPanel;
class EntryEditor;
class EntryListView;
class OptionsPage;
class SidePanelButton;
class TrayIcon;
class UnlockPanel;
class UnreadableFileError;
class VaultSession;

// The main window: tool bar, side panel, the Passwords and Options pages and, while the session
// is locked, the panel laid over the pages. It shows the session and hands it the commands.
class MainWindow final : public QMainWindow {
  Q_OBJECT

 public:
  MainWindow(VaultSession& session, platform::Settings& settings, platform::Autostart& autostart);
  ~MainWindow() override;

  // The application-wide failure handler: shows the message, then returns the focus to the
  // unlock field.
  void ShowFailure(const QString& message);

  // Shows, un-minimises, raises and activates the window (a second start asks for this, with
  // the activation token that its launcher gave it, if any).
  void BringToFront(const QByteArray& activationToken = {});

  // The first activation builds the two panels and shows one of them.
  void OnFirstActivation();

  // The person has left: the screen was locked, or the computer is about to sleep. Each locks as
  // Lock does while its option is ticked; an entry editor still open is closed first, its
  // typing given up, so that the vault does not stay open unattended.
  void FollowScreenLock(platform::ScreenLockWatcher& watcher);
  void OnScreenLocked();
  void OnSleepComing();

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void changeEvent(QEvent* event) override;
  // Exit, the title bar's close and the tray's Exit: unsaved changes are saved or given up
  // first, as the person chooses.
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildToolBar();
  void BuildSidePanel(QWidget* parent);
  QAction* AddAction(const char* name, const QString& caption, const char* icon,
                     void (MainWindow::*handler)());
  void BuildPasswordsPage();
  // Gives `action` its keys and names the first in its tool tip; `owner` is the widget the
  // context refers to, where that is not the window.
  void SetShortcuts(QAction* action, const QList<QKeySequence>& keys,
                    Qt::ShortcutContext context = Qt::WindowShortcut, QWidget* owner = nullptr);
  // While the session is locked only New Password and Exit answer their keys.
  void EnableShortcuts(bool enabled);

  void AddNewEntry();
  void EditSelectedEntry();
  void DeleteSelectedEntry();
  void GoToWebPage();
  void LockNow();
  void Exit();
  void ShowPasswordsPage();
  void ShowOptionsPage();
  // Asks for an export of another program (or of Corvella) and adds its logins to the vault.
  void ImportFile();
  // Ctrl+1 and Ctrl+2: the side panel's buttons, and the focus to the page.
  void PressPasswordsButton();
  void PressOptionsButton();

  void ShowEntryMenu(const QPoint& position);
  // At the selected row, for the menu key and Shift+F10.
  void ShowEntryMenuAtSelection();
  void FocusSearchField();
  void ApplySearch(const QString& text);
  void CopySelectedUserName();
  void CopySelectedPassword();
  void CreateTrayIcon();
  void FillTrayMenu();
  void RestoreFromTray();

  void CreateVault(const SecureString& password);
  void Unlock(const SecureString& password);
  void OnUnlocked();
  void OnLocked();
  void RefreshList();
  void ShowUnsavedChanges(bool unsaved);
  void ShowTitle();
  // Asks to open the backup of the password file that could not be read, read-only.
  void OfferBackup(const SecureString& password, const UnreadableFileError& failure);
  // False while the backup is open read-only, after offering to restore it.
  bool OfferRestoreUntilWritable();
  void RestoreBackup();
  void ChangeMasterPassword();
  // Runs an entry change; one that could not be saved is an error box saying so.
  void ApplyChange(const std::function<void()>& change);
  // Saves the changes a failed save left, asking Retry / Discard / Cancel while that fails.
  // False when the person cancels.
  bool SettleUnsavedChanges();
  void LockWhenSettled();
  void LockWhenAway();
  void FocusUnlockField();
  // Runs the entry editor, and `afterOk` after OK, with the session held unlocked meanwhile.
  void RunEditor(EntryEditor& editor, const std::function<void()>& afterOk);

  VaultSession& session_;
  platform::Settings& settings_;
  bool firstActivation_ = true;
  bool settling_ = false;
  EntryEditor* openEditor_ = nullptr;
  // The editor was closed because the person left; the lock follows.
  bool lockAfterEditor_ = false;

  QStackedWidget* pages_ = nullptr;
  QWidget* passwordsPage_ = nullptr;
  QLineEdit* searchField_ = nullptr;
  EntryListView* entryList_ = nullptr;
  OptionsPage* optionsPage_ = nullptr;
  SidePanelButton* passwordsButton_ = nullptr;
  SidePanelButton* optionsButton_ = nullptr;
  CreatePasswordPanel* createPasswordPanel_ = nullptr;
  UnlockPanel* unlockPanel_ = nullptr;
  QMenu* entryMenu_ = nullptr;
  QMenu* trayMenu_ = nullptr;
  QAction* newPasswordAction_ = nullptr;
  QAction* exitAction_ = nullptr;
  TrayIcon* trayIcon_ = nullptr;
  struct Shortcut {
    QAction* action;
    QList<QKeySequence> keys;
  };
  std::vector<Shortcut> shortcuts_;
};

}  // namespace corvella
