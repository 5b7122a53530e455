#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QTimer>
#include <memory>

#include "store/PasswordStore.h"

class QAction;
class QMenu;
class QStackedWidget;

namespace corvella::platform {
class Autostart;
class Settings;
}  // namespace corvella::platform

namespace corvella {

class EntryListBox;
class OptionsPage;
class TCreateMasterPasswordFrame;
class TMasterPasswordFrame;
class TPanelButton;
class TTrayIcon;

// The main window: tool bar, side panel, the Passwords and Options pages, the lock state and
// the panels laid over the pages while locked.
class TMainForm final : public QMainWindow {
  Q_OBJECT

 public:
  static constexpr int kLockTimerStartMs = 120'000;

  TMainForm(platform::Settings& settings, platform::Autostart& autostart);
  ~TMainForm() override;

  // The application-wide failure handler: shows the message, then returns the focus to the
  // unlock field.
  void ApplicationEventsException(const QString& message);

  // Wipes the entries and the master password and shows the unlock panel; nothing while
  // already locked or while the entry editor is open.
  void Lock();
  bool IsLocked() const { return Locked; }
  // Raises "Please unlock the program first ..." unless unlocked with a master password.
  void RequireUnlocked() const;
  void FocusUnlockField();

  // Shows, un-minimises and raises the window (a second start asks for this).
  void BringToFront();

  // The first activation builds the two panels and shows one of them.
  void ApplicationEventsActivate();

  PasswordStore& Store() { return store_; }
  QTimer& LockTimer() { return lockTimer_; }
  QTimer& ClearClipboardTimer() { return clearClipboardTimer_; }

  // Puts the entry's password on the clipboard and arms its erasure.
  void CopyPassword(const Entry& entry);
  // The open entry editor, if any; Lock() does nothing while it is set.
  QPointer<QWidget> NewPasswordForm;

 private:
  void FormCreate();
  void BuildToolBar();
  QWidget* BuildSidePanel(QWidget* parent);
  QAction* AddAction(const char* name, const QString& caption, const char* icon,
                     void (TMainForm::*handler)());

  void NewPasswordActionExecute();
  void WebPageActionExecute();
  void EditPasswordActionExecute();
  void DeletePasswordActionExecute();
  void ExitProgramActionExecute();
  void ToolButton9Click();
  void LockTimerTimer();
  void SetLockPeriod(int minutes);
  void PanelButton1Click();
  void PanelButton2Click();
  void PageControlChange();

  void ListBoxContextMenu(const QPoint& position);
  void Copyusername1Click();
  void Copypassword1Click();
  void ClearClipboardTimerTimer();
  void CreateTrayIcon();
  void TrayMenuPopup();
  void ApplicationEventsRestore();

  void CreateMasterPassword(const QString& password);
  void UnlockWithPassword(const QString& password);
  bool VerifyMasterPassword(const QString& typed);
  void AddEntry(const EntryPtr& entry);
  void RefreshList();
  // Runs the entry editor for one showing with NewPasswordForm set meanwhile.
  template <class Editor, class AfterOk>
  void RunEditor(Editor& editor, AfterOk afterOk);

  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void changeEvent(QEvent* event) override;

  platform::Settings& settings_;
  platform::Autostart& autostart_;
  PasswordStore store_;
  bool Locked = true;
  bool FirstActivation = true;
  QTimer lockTimer_;
  QTimer clearClipboardTimer_;
  // The plaintext this program last put on the clipboard.
  QString CopiedPassword;

  QStackedWidget* PageControl = nullptr;
  EntryListBox* ListBox = nullptr;
  OptionsPage* Options = nullptr;
  TPanelButton* PanelButton1 = nullptr;
  TPanelButton* PanelButton2 = nullptr;
  TCreateMasterPasswordFrame* CreatePanel = nullptr;
  TMasterPasswordFrame* UnlockPanel = nullptr;
  QMenu* PopupMenu = nullptr;
  QMenu* TrayMenu = nullptr;
  TTrayIcon* TrayIcon1 = nullptr;
};

}  // namespace corvella
