// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QIcon>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QScopeGuard>
#include <QShowEvent>
#include <QStackedWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWindow>
#include <optional>
#include <string>
#include <utility>

#include "core/Error.h"
#include "interchange/Import.h"
#include "platform/Desktop.h"
#include "platform/ScreenLockWatcher.h"
#include "platform/Settings.h"
#include "ui/ChangePasswordDialog.h"
#include "ui/CreatePasswordPanel.h"
#include "ui/EntryEditor.h"
#include "ui/EntryFilter.h"
#include "ui/EntryListView.h"
#include "ui/FailureHandler.h"
#include "ui/FileDialog.h"
#include "ui/Icons.h"
#include "ui/MessageDialog.h"
#include "ui/OptionsPage.h"
#include "ui/Text.h"
#include "ui/TrayMenu.h"
#include "ui/UnlockPanel.h"
#include "ui/VaultSession.h"
#include "ui/controls/AltKeyFilter.h"
#include "ui/controls/SidePanelButton.h"
#include "ui/controls/TrayIcon.h"

namespace corvella {
namespace {

constexpr int kClientWidth = 690;
constexpr int kClientHeight = 611;
constexpr int kToolBarHeight = 26;
constexpr int kSidePanelWidth = 103;
constexpr int kToolButtonWidth = 105;
constexpr int kSearchFieldHeight = 22;
const QColor kSidePanelColor(128, 128, 128);

QString PasswordFileNotFound(const std::string& path) {
  return QStringLiteral(
             "Password file %1 not found.\n\nRestore the file from backup and restart the "
             "program or enter a new master password to create a new password file")
      .arg(FromBytes(path));
}

// The logins of the export at `path`; a failure names the file.
interchange::ImportedDocument ReadExportFile(const std::string& path) {
  const SecureString document = interchange::ReadDocumentFile(path);
  try {
    return interchange::ReadExport(document.View(), interchange::DocumentFormat::Auto);
  } catch (const Error& error) {
    throw Error("Cannot import " + path + ": " + error.what());
  }
}

}  // namespace

MainWindow::MainWindow(VaultSession& session, platform::Settings& settings,
                       platform::Autostart& autostart)
    : session_(session), settings_(settings) {
  setObjectName(QStringLiteral("mainWindow"));
  ShowUnsavedChanges(false);
  setWindowIcon(WindowIcon());

  auto* client = new QWidget(this);
  client->setObjectName(QStringLiteral("client"));
  setCentralWidget(client);
  BuildSidePanel(client);
  pages_ = new QStackedWidget(client);
  pages_->setObjectName(QStringLiteral("pages"));
  pages_->setGeometry(kSidePanelWidth, 0, kClientWidth - kSidePanelWidth,
                      kClientHeight - kToolBarHeight);
  BuildPasswordsPage();
  BuildToolBar();
  optionsPage_ = new OptionsPage(settings, autostart, pages_);
  pages_->addWidget(passwordsPage_);
  pages_->addWidget(optionsPage_);
  setFixedSize(kClientWidth, kClientHeight);
  // A window of fixed size has nothing to maximise.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);

  connect(optionsPage_, &OptionsPage::LockPeriodChosen, &session_, &VaultSession::SetLockPeriod);
  connect(optionsPage_, &OptionsPage::LockProgramChosen, &session_, &VaultSession::SetAutoLock);
  connect(optionsPage_, &OptionsPage::ChangePasswordRequested, this,
          Guarded(this, &MainWindow::ChangeMasterPassword));
  connect(&session_, &VaultSession::ReadOnlyChanged, this, &MainWindow::ShowTitle);
  connect(optionsPage_, &OptionsPage::ImportRequested, this,
          Guarded(this, &MainWindow::ImportFile));
  connect(&session_, &VaultSession::Unlocked, this, &MainWindow::OnUnlocked);
  connect(&session_, &VaultSession::Locked, this, &MainWindow::OnLocked);
  connect(&session_, &VaultSession::EntryAdded, this,
          [this] { entryList_->AddRow(session_.EntriesSnapshot()); });
  connect(&session_, &VaultSession::EntriesChanged, this, &MainWindow::RefreshList);
  connect(&session_, &VaultSession::UnsavedChangesChanged, this, &MainWindow::ShowUnsavedChanges);
  connect(&session_, &VaultSession::LockWaitsForUnsavedChanges, this,
          Guarded(this, &MainWindow::LockWhenSettled));

  trayMenu_ = new QMenu(this);
  trayMenu_->setObjectName(QStringLiteral("trayMenu"));
  connect(trayMenu_, &QMenu::aboutToShow, this, Guarded(this, &MainWindow::FillTrayMenu));
  // The icon joins the notification area as soon as the message loop runs, so that rendering it
  // does not delay the window.
  QTimer::singleShot(0, this, &MainWindow::CreateTrayIcon);
  connect(qApp, &QApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
    if (state == Qt::ApplicationActive) OnFirstActivation();
  });

  const auto addWindowAction = [this](const char* name, const QString& caption,
                                      void (MainWindow::*handler)(), QKeySequence key) {
    auto* action = new QAction(caption, this);
    action->setObjectName(QLatin1String(name));
    connect(action, &QAction::triggered, this, Guarded(this, handler));
    addAction(action);
    SetShortcuts(action, {key});
    return action;
  };
  addWindowAction("findAction", tr("Search"), &MainWindow::FocusSearchField,
                  QKeySequence(Qt::CTRL | Qt::Key_F));
  // The side panel's buttons by keyboard.
  passwordsButton_->setToolTip(addWindowAction("passwordsPageAction", passwordsButton_->text(),
                                               &MainWindow::PressPasswordsButton,
                                               QKeySequence(Qt::CTRL | Qt::Key_1))
                                   ->toolTip());
  optionsButton_->setToolTip(addWindowAction("optionsPageAction", optionsButton_->text(),
                                             &MainWindow::PressOptionsButton,
                                             QKeySequence(Qt::CTRL | Qt::Key_2))
                                 ->toolTip());
  EnableShortcuts(false);

  passwordsButton_->setChecked(true);
  pages_->setCurrentIndex(0);
  try {
    optionsPage_->LoadSettings();
  } catch (const std::exception& error) {
    // Shown once the message loop runs; the options not yet loaded keep their first states.
    QTimer::singleShot(0, this,
                       [message = QString::fromUtf8(error.what())] { ReportFailure(message); });
  }
}

MainWindow::~MainWindow() = default;

QAction* MainWindow::AddAction(const char* name, const QString& caption, const char* icon,
                               void (MainWindow::*handler)()) {
  auto* action = new QAction(ToolImage(icon), caption, this);
  action->setObjectName(QLatin1String(name));
  connect(action, &QAction::triggered, this, Guarded(this, handler));
  return action;
}

void MainWindow::BuildToolBar() {
  auto* toolBar = new QToolBar(this);
  toolBar->setObjectName(QStringLiteral("toolBar"));
  toolBar->setMovable(false);
  toolBar->setFloatable(false);
  toolBar->setIconSize({16, 16});
  toolBar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  toolBar->setFixedHeight(kToolBarHeight);
  toolBar->setContextMenuPolicy(Qt::PreventContextMenu);
  addToolBar(Qt::TopToolBarArea, toolBar);

  newPasswordAction_ =
      AddAction("newPasswordAction", tr("New Password"), "new-password", &MainWindow::AddNewEntry);
  QAction* webPage =
      AddAction("webPageAction", tr("Go to Web Page"), "web-page", &MainWindow::GoToWebPage);
  QAction* edit =
      AddAction("editAction", tr("Edit"), "edit-password", &MainWindow::EditSelectedEntry);
  QAction* remove =
      AddAction("deleteAction", tr("Delete"), "delete-password", &MainWindow::DeleteSelectedEntry);
  QAction* lock = AddAction("lockAction", tr("Lock"), "lock", &MainWindow::LockNow);
  exitAction_ = AddAction("exitAction", tr("Exit"), "exit", &MainWindow::Exit);
  SetShortcuts(newPasswordAction_, {QKeySequence(Qt::CTRL | Qt::Key_N)});
  // The entry commands act where the entries are: in the list or the search field above it.
  SetShortcuts(webPage, {QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)},
               Qt::WidgetWithChildrenShortcut, passwordsPage_);
  SetShortcuts(edit, {QKeySequence(Qt::CTRL | Qt::Key_E), QKeySequence(Qt::Key_F2)},
               Qt::WidgetWithChildrenShortcut, passwordsPage_);
  // In the search field Delete deletes text.
  SetShortcuts(remove, {QKeySequence(QKeySequence::Delete)}, Qt::WidgetShortcut, entryList_);
  SetShortcuts(lock, {QKeySequence(Qt::CTRL | Qt::Key_L)});
  SetShortcuts(exitAction_, {QKeySequence(Qt::CTRL | Qt::Key_Q)});
  const QList<QAction*> actions = {
      newPasswordAction_, nullptr, webPage, nullptr, edit, remove, nullptr, lock, exitAction_,
  };
  for (QAction* action : actions) {
    if (action == nullptr) {
      toolBar->addSeparator();
      continue;
    }
    toolBar->addAction(action);
    QWidget* button = toolBar->widgetForAction(action);
    button->setObjectName(action->objectName() + QStringLiteral("Button"));
    button->setMinimumWidth(kToolButtonWidth);
  }
}

void MainWindow::BuildPasswordsPage() {
  passwordsPage_ = new QWidget(pages_);
  passwordsPage_->setObjectName(QStringLiteral("passwordsPage"));
  auto* layout = new QVBoxLayout(passwordsPage_);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  searchField_ = new QLineEdit(passwordsPage_);
  searchField_->setObjectName(QStringLiteral("searchField"));
  searchField_->setPlaceholderText(tr("Search"));
  searchField_->setFixedHeight(kSearchFieldHeight);
  searchField_->installEventFilter(this);
  RefuseAltChords(*searchField_);
  connect(searchField_, &QLineEdit::textChanged, this, &MainWindow::ApplySearch);
  entryList_ = new EntryListView(passwordsPage_);
  entryList_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(entryList_, &EntryListView::customContextMenuRequested, this,
          Guarded(this, &MainWindow::ShowEntryMenu));
  connect(entryList_, &EntryListView::DoubleClicked, this, Guarded(this, &MainWindow::GoToWebPage));
  layout->addWidget(searchField_);
  layout->addWidget(entryList_);
  setTabOrder(searchField_, entryList_);

  entryMenu_ = new QMenu(this);
  entryMenu_->setObjectName(QStringLiteral("entryMenu"));
  QAction* copyUserName = entryMenu_->addAction(tr("Copy user name"), this,
                                                Guarded(this, &MainWindow::CopySelectedUserName));
  copyUserName->setObjectName(QStringLiteral("copyUserNameAction"));
  QAction* copyPassword = entryMenu_->addAction(tr("Copy password"), this,
                                                Guarded(this, &MainWindow::CopySelectedPassword));
  copyPassword->setObjectName(QStringLiteral("copyPasswordAction"));
  SetShortcuts(copyUserName, {QKeySequence(Qt::CTRL | Qt::Key_B)}, Qt::WidgetWithChildrenShortcut,
               passwordsPage_);
  // Only on a row: in the search field Ctrl+C copies the field's selection.
  SetShortcuts(copyPassword, {QKeySequence(QKeySequence::Copy)}, Qt::WidgetShortcut, entryList_);
  auto* rowMenu = new QAction(tr("Entry menu"), this);
  rowMenu->setObjectName(QStringLiteral("entryMenuAction"));
  connect(rowMenu, &QAction::triggered, this, Guarded(this, &MainWindow::ShowEntryMenuAtSelection));
  SetShortcuts(rowMenu, {QKeySequence(Qt::SHIFT | Qt::Key_F10), QKeySequence(Qt::Key_Menu)},
               Qt::WidgetShortcut, entryList_);
}

void MainWindow::SetShortcuts(QAction* action, const QList<QKeySequence>& keys,
                              Qt::ShortcutContext context, QWidget* owner) {
  action->setToolTip(QStringLiteral("%1 (%2)").arg(
      action->text(), keys.front().toString(QKeySequence::NativeText)));
  action->setShortcutContext(context);
  if (owner != nullptr) owner->addAction(action);
  shortcuts_.push_back({action, keys});
}

void MainWindow::EnableShortcuts(bool enabled) {
  for (const Shortcut& shortcut : shortcuts_) {
    // New Password says that the vault must be unlocked first.
    const bool active =
        enabled || shortcut.action == exitAction_ || shortcut.action == newPasswordAction_;
    shortcut.action->setShortcuts(active ? shortcut.keys : QList<QKeySequence>());
  }
}

void MainWindow::BuildSidePanel(QWidget* parent) {
  auto* panel = new QWidget(parent);
  panel->setObjectName(QStringLiteral("sidePanel"));
  panel->setGeometry(0, 0, kSidePanelWidth, kClientHeight - kToolBarHeight);
  panel->setAutoFillBackground(true);
  QPalette palette = panel->palette();
  palette.setColor(QPalette::Window, kSidePanelColor);
  panel->setPalette(palette);

  auto* group = new QButtonGroup(panel);
  group->setExclusive(true);
  const auto makeButton = [&](const char* name, const QString& caption, const char* glyph, int top,
                              void (MainWindow::*handler)()) {
    auto* button = new SidePanelButton(panel);
    button->setObjectName(QLatin1String(name));
    button->setText(caption);
    button->SetGlyph(PanelGlyph(glyph));
    button->SetColor(kSidePanelColor);
    button->setGeometry(18, top, 67, 61);
    group->addButton(button);
    connect(button, &SidePanelButton::clicked, this, Guarded(this, handler));
    return button;
  };
  passwordsButton_ = makeButton("passwordsButton", tr("Passwords"), "passwords-glyph", 30,
                                &MainWindow::ShowPasswordsPage);
  optionsButton_ = makeButton("optionsButton", tr("Options"), "options-glyph", 108,
                              &MainWindow::ShowOptionsPage);
}

void MainWindow::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  // Some window managers never activate a new window; the panels come all the same once the
  // window is on the screen, in time for its first paint. Waiting for that rather than for the
  // next turn of the message loop lets the window go to the display first.
  if (firstActivation_ && windowHandle() != nullptr) windowHandle()->installEventFilter(this);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == searchField_ && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    switch (key->key()) {
      case Qt::Key_Up:
      case Qt::Key_Down:
      case Qt::Key_PageUp:
      case Qt::Key_PageDown:
        // Moves in the list while typing goes on in the field.
        QCoreApplication::sendEvent(entryList_->viewport(), event);
        return true;
      case Qt::Key_Escape:
        searchField_->clear();
        entryList_->setFocus(Qt::OtherFocusReason);
        return true;
      default:
        break;
    }
  }
  if (watched == windowHandle() && event->type() == QEvent::Expose && windowHandle()->isExposed()) {
    windowHandle()->removeEventFilter(this);
    OnFirstActivation();
  }
  return QMainWindow::eventFilter(watched, event);
}

void MainWindow::OnFirstActivation() {
  if (!firstActivation_) return;
  firstActivation_ = false;
  const QRect pageArea = pages_->geometry();
  unlockPanel_ = new UnlockPanel(centralWidget());
  unlockPanel_->setGeometry(pageArea);
  unlockPanel_->hide();
  connect(unlockPanel_, &UnlockPanel::UnlockRequested, this, Guarded(this, &MainWindow::Unlock));
  createPasswordPanel_ = new CreatePasswordPanel(centralWidget());
  createPasswordPanel_->setGeometry(pageArea);
  createPasswordPanel_->hide();
  connect(createPasswordPanel_, &CreatePasswordPanel::PasswordChosen, this,
          Guarded(this, &MainWindow::CreateVault));
  if (!VaultSession::FileExists()) {
    createPasswordPanel_->show();
    createPasswordPanel_->raise();
    createPasswordPanel_->FocusFirstField();
  } else {
    unlockPanel_->show();
    unlockPanel_->raise();
    FocusUnlockField();
  }
}

void MainWindow::ShowFailure(const QString& message) {
  ShowMessage(MessageKind::Information, message);
  FocusUnlockField();
}

void MainWindow::FocusUnlockField() {
  if (isVisible() && unlockPanel_ != nullptr && unlockPanel_->isVisible()) {
    unlockPanel_->FocusPasswordField();
  }
}

void MainWindow::BringToFront(const QByteArray& activationToken) {
  platform::PrepareWindowActivation(activationToken);
  show();
  setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
  raise();
  activateWindow();
}

void MainWindow::CreateVault(const SecureString& password) {
  session_.CreateVault(password.View());
}

void MainWindow::Unlock(const SecureString& password) {
  UnlockResult result;
  try {
    result = session_.Unlock(password.View());
  } catch (const UnreadableFileError& error) {
    OfferBackup(password, error);
    return;
  } catch (const std::exception& error) {
    // The file, not the password, is at fault: an error of its own, not a refusal.
    ShowMessage(MessageKind::Error, QString::fromUtf8(error.what()));
    return;
  }
  if (result == UnlockResult::WrongPassword) {
    ShowMessage(MessageKind::Error, tr("Invalid master password"));
  } else if (result == UnlockResult::UnlockedWithoutFile) {
    ShowMessage(MessageKind::Error, PasswordFileNotFound(VaultSession::FilePath()));
  }
}

void MainWindow::OfferBackup(const SecureString& password, const UnreadableFileError& failure) {
  if (!VaultSession::BackupExists()) {
    ShowMessage(MessageKind::Error, QString::fromUtf8(failure.what()));
    return;
  }
  const QString offer =
      tr("%1\n\nA backup of the password file was found: %2\n\nOpen the backup read-only?")
          .arg(QString::fromUtf8(failure.Fault()), FromBytes(VaultSession::BackupPath()));
  if (ShowMessage(MessageKind::Confirm, offer, MessageButtons::YesNo) != MessageAnswer::Yes) {
    return;
  }
  if (session_.UnlockBackup(password.View()) == UnlockResult::WrongPassword) {
    ShowMessage(MessageKind::Error, tr("Invalid master password"));
    return;
  }
  OfferRestoreUntilWritable();
}

bool MainWindow::OfferRestoreUntilWritable() {
  if (!session_.IsReadOnly()) return true;
  const QString question =
      tr("The backup of the password file is open read-only: changes are refused until it is "
         "restored.\n\nRestore the backup as the password file now? The damaged file is kept as "
         "%1.")
          .arg(FromBytes(VaultSession::DamagedPath()));
  if (ShowMessage(MessageKind::Confirm, question, MessageButtons::YesNo) != MessageAnswer::Yes) {
    return false;
  }
  RestoreBackup();
  return true;
}

void MainWindow::RestoreBackup() { session_.RestoreBackup(); }

void MainWindow::ChangeMasterPassword() {
  session_.RequireUnlocked();
  if (!OfferRestoreUntilWritable()) return;
  ChangePasswordDialog dialog(session_, this);
  // A lock meanwhile (the lock period, the screen's lock) closes it with what was typed.
  connect(&session_, &VaultSession::Locked, &dialog, &QDialog::reject);
  if (dialog.exec() == QDialog::Accepted) {
    ShowMessage(MessageKind::Information, tr("The master password has been changed."));
  }
}

void MainWindow::OnUnlocked() {
  optionsPage_->SetVaultOpen(true);
  RefreshList();
  optionsPage_->SetImportEnabled(true);
  EnableShortcuts(true);
  unlockPanel_->hide();
  if (pages_->currentWidget() == passwordsPage_) searchField_->setFocus(Qt::OtherFocusReason);
  if (createPasswordPanel_->isVisible()) {
    createPasswordPanel_->hide();
    // The panel never shows again; its fields must not keep the master password.
    createPasswordPanel_->WipeFields();
  }
}

void MainWindow::OnLocked() {
  optionsPage_->SetVaultOpen(false);
  EnableShortcuts(false);
  searchField_->clear();
  entryList_->Clear();
  optionsPage_->SetImportEnabled(false);
  unlockPanel_->show();
  unlockPanel_->raise();
  FocusUnlockField();
}

void MainWindow::RefreshList() { entryList_->Refresh(session_.EntriesSnapshot()); }

void MainWindow::RunEditor(EntryEditor& editor, const std::function<void()>& afterOk) {
  lockAfterEditor_ = false;
  {
    session_.SetEditing(true);
    openEditor_ = &editor;
    const auto editingDone = qScopeGuard([this] {
      openEditor_ = nullptr;
      session_.SetEditing(false);
    });
    if (editor.exec() == QDialog::Accepted) afterOk();
  }
  if (std::exchange(lockAfterEditor_, false)) LockWhenSettled();
}

void MainWindow::AddNewEntry() {
  session_.RequireUnlocked();
  if (!OfferRestoreUntilWritable()) return;
  EntryEditor editor(this);
  RunEditor(editor, [&] { ApplyChange([&] { session_.AddEntry(editor.Fields()); }); });
}

void MainWindow::EditSelectedEntry() {
  session_.RequireUnlocked();
  if (!OfferRestoreUntilWritable()) return;
  const EntryPtr entry = entryList_->SelectedEntry();
  if (!entry) {
    ShowMessage(MessageKind::Information, tr("No password entry selected"));
    return;
  }
  EntryEditor editor(this);
  editor.setWindowTitle(tr("Edit Password"));
  editor.ShowFields(session_.FieldsOf(*entry));
  RunEditor(editor, [&] { ApplyChange([&] { session_.UpdateEntry(*entry, editor.Fields()); }); });
}

void MainWindow::DeleteSelectedEntry() {
  session_.RequireUnlocked();
  if (!OfferRestoreUntilWritable()) return;
  // Held across the question: a lock meanwhile wipes the entry but cannot free it.
  const EntryPtr entry = entryList_->SelectedEntry();
  if (!entry) {
    ShowMessage(MessageKind::Information, tr("Please select a password entry to delete"));
    return;
  }
  const QString question = tr("Are you sure you want to delete the password entry \"%1\"?")
                               .arg(FromBytes(entry->SiteName()));
  if (ShowMessage(MessageKind::Confirm, question, MessageButtons::YesNo) != MessageAnswer::Yes) {
    return;
  }
  ApplyChange([&] { session_.DeleteEntry(*entry); });
}

void MainWindow::ImportFile() {
  session_.RequireUnlocked();
  if (!OfferRestoreUntilWritable()) return;
  QString path;
  {
    // The session stays open while the person looks for the file.
    session_.SetEditing(true);
    const auto choosingDone = qScopeGuard([this] { session_.SetEditing(false); });
    path =
        AskOpenFileName(this, tr("Import"), tr("Password exports (*.csv *.json);;All files (*)"));
  }
  if (path.isEmpty()) return;
  std::optional<std::string> report;
  ApplyChange([&] {
    // The document's passwords go as soon as the session holds them, before any box shows.
    const interchange::ImportedDocument imported = ReadExportFile(ToBytes(path));
    const ImportCounts counts = session_.ImportEntries(imported.entries);
    report = interchange::ImportReport(counts.added, counts.duplicates, imported.notLogins);
  });
  if (report) ShowMessage(MessageKind::Information, QString::fromStdString(*report));
}

void MainWindow::ApplyChange(const std::function<void()>& change) {
  try {
    change();
  } catch (const ChangeNotSavedError& error) {
    ShowMessage(MessageKind::Error, QString::fromUtf8(error.what()));
  }
}

void MainWindow::ShowUnsavedChanges(bool unsaved) {
  setWindowTitle(unsaved ? tr("Corvella 1.0 (changes not saved)") : QStringLiteral("Corvella 1.0"));
}

void MainWindow::ShowTitle() {
  if (session_.IsReadOnly()) {
    setWindowTitle(tr("Corvella 1.0 (backup, read-only)"));
  } else {
    ShowUnsavedChanges(session_.HasUnsavedChanges());
  }
}

bool MainWindow::SettleUnsavedChanges() {
  while (session_.HasUnsavedChanges()) {
    QString reason;
    try {
      session_.SaveChanges();
      break;
    } catch (const ChangeNotSavedError& error) {
      reason = QString::fromStdString(error.Reason());
    }
    const QString question =
        tr("Your changes could not be saved to the password file.\n\n%1\n\nRetry saving them, "
           "discard them, or cancel?")
            .arg(reason);
    switch (ShowMessage(MessageKind::Warning, question, MessageButtons::RetryDiscardCancel)) {
      case MessageAnswer::Retry:
        continue;
      case MessageAnswer::Discard:
        session_.DiscardChanges();
        break;
      default:
        return false;
    }
  }
  return true;
}

void MainWindow::LockWhenSettled() {
  // The lock timer may end again while the question is open.
  if (settling_) return;
  settling_ = true;
  const auto settled = qScopeGuard([this] { settling_ = false; });
  if (SettleUnsavedChanges()) session_.Lock();
}

void MainWindow::FollowScreenLock(platform::ScreenLockWatcher& watcher) {
  connect(&watcher, &platform::ScreenLockWatcher::ScreenLocked, this,
          Guarded(this, &MainWindow::OnScreenLocked));
  connect(&watcher, &platform::ScreenLockWatcher::SleepComing, this,
          Guarded(this, &MainWindow::OnSleepComing));
}

void MainWindow::OnScreenLocked() {
  // Read now, so that the Options page's box counts from the moment it is clicked.
  if (settings_.ReadFlag(platform::Option::LockOnScreenLock)) LockWhenAway();
}

void MainWindow::OnSleepComing() {
  if (settings_.ReadFlag(platform::Option::LockBeforeSleep)) LockWhenAway();
}

void MainWindow::LockWhenAway() {
  if (session_.IsLocked()) return;
  if (openEditor_ != nullptr) {
    // Nobody is there to finish the entry; RunEditor locks once the editor's loop has ended. A
    // question the editor asked goes unanswered first (as Cancel), or its loop would hold the
    // editor's open.
    while (auto* question = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
      if (question == openEditor_) break;
      question->reject();
      if (question->isVisible()) break;
    }
    lockAfterEditor_ = true;
    openEditor_->reject();
    return;
  }
  LockWhenSettled();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (settling_ || !SettleUnsavedChanges()) {
    event->ignore();
    return;
  }
  QMainWindow::closeEvent(event);
}

void MainWindow::GoToWebPage() {
  session_.RequireUnlocked();
  if (const EntryPtr entry = entryList_->SelectedEntry()) session_.GoToWebPage(*entry);
}

void MainWindow::ShowEntryMenu(const QPoint& position) {
  const QModelIndex row = entryList_->indexAt(position);
  if (row.isValid()) entryList_->setCurrentIndex(row);
  entryMenu_->exec(entryList_->viewport()->mapToGlobal(position));
}

void MainWindow::ShowEntryMenuAtSelection() {
  const QModelIndex row = entryList_->currentIndex();
  if (!row.isValid()) return;
  entryList_->scrollTo(row);
  const QRect rect = entryList_->visualRect(row);
  ShowEntryMenu(QPoint(rect.left() + EntryListView::kRowHeight, rect.bottom()));
}

void MainWindow::FocusSearchField() {
  PressPasswordsButton();
  searchField_->setFocus(Qt::ShortcutFocusReason);
  searchField_->selectAll();
}

void MainWindow::ApplySearch(const QString& text) {
  // The clear button shows only over text: made at the first search, its icon costs the start
  // nothing.
  if (!text.isEmpty()) searchField_->setClearButtonEnabled(true);
  entryList_->SetFilter(EntryFilter(text));
}

void MainWindow::CopySelectedUserName() {
  if (const EntryPtr entry = entryList_->SelectedEntry()) session_.CopyUserName(*entry);
}

void MainWindow::CopySelectedPassword() {
  if (const EntryPtr entry = entryList_->SelectedEntry()) session_.CopyPassword(*entry);
}

void MainWindow::CreateTrayIcon() {
  trayIcon_ = new TrayIcon(this);
  trayIcon_->setObjectName(QStringLiteral("trayIcon"));
  trayIcon_->SetToolTip(QStringLiteral("Corvella"));
  trayIcon_->SetPopupMenu(trayMenu_);
  connect(trayIcon_, &TrayIcon::RestoreRequested, this, &MainWindow::RestoreFromTray);
}

void MainWindow::FillTrayMenu() {
  // The search narrows the menu as it narrows the list.
  RebuildTrayMenu(
      *trayMenu_, entryList_->ShownEntries(),
      [this](const EntryPtr& entry) { RunGuarded([&] { session_.CopyPassword(*entry); }); },
      [this] { Exit(); });
}

void MainWindow::RestoreFromTray() {
  BringToFront();
  FocusUnlockField();
}

void MainWindow::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  // Minimised, the window waits in the notification area; without a tray it stays minimised so
  // that it can always come back.
  if (event->type() == QEvent::WindowStateChange && isMinimized() && TrayIcon::Available()) {
    QTimer::singleShot(0, this, &QWidget::hide);
  }
}

void MainWindow::Exit() { close(); }

void MainWindow::LockNow() { LockWhenSettled(); }

void MainWindow::ShowPasswordsPage() { pages_->setCurrentIndex(0); }

void MainWindow::PressPasswordsButton() {
  passwordsButton_->click();
  entryList_->setFocus(Qt::ShortcutFocusReason);
}

void MainWindow::PressOptionsButton() {
  optionsButton_->click();
  // To its first control.
  for (QWidget* w = optionsPage_->nextInFocusChain(); optionsPage_->isAncestorOf(w);
       w = w->nextInFocusChain()) {
    if ((w->focusPolicy() & Qt::TabFocus) && w->isVisible() && w->isEnabled()) {
      w->setFocus(Qt::ShortcutFocusReason);
      break;
    }
  }
}

void MainWindow::ShowOptionsPage() {
  pages_->setCurrentIndex(1);
  optionsPage_->RefreshLoadOnStartup();
}

}  // namespace corvella
