#include "Main.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QIcon>
#include <QLineEdit>
#include <QMenu>
#include <QShowEvent>
#include <QStackedWidget>
#include <QToolBar>
#include <QToolButton>
#include <QWindow>

#include "platform/Clipboard.h"
#include "core/Error.h"
#include "platform/Settings.h"
#include "platform/Shell.h"
#include "store/MasterPassword.h"
#include "store/PasswordStream.h"
#include "ui/EntryListBox.h"
#include "ui/Icons.h"
#include "ui/FCreateMasterPassword.h"
#include "ui/MessageDialog.h"
#include "ui/OptionsPage.h"
#include "ui/Text.h"
#include "ui/TrayMenu.h"
#include "ui/controls/PanelButton.h"
#include "ui/controls/TrayIcon.h"
#include "ui/frmNewPassword.h"
#include "ui/frmMasterPassword.h"

namespace corvella {
namespace {

constexpr int kClientWidth = 690;
constexpr int kClientHeight = 611;
constexpr int kToolBarHeight = 26;
constexpr int kSidePanelWidth = 103;
constexpr int kToolButtonWidth = 105;
constexpr int kMsPerMinute = 60'000;
constexpr int kClearClipboardMs = 10'000;
const QColor kSidePanelColor(128, 128, 128);

const char* const kUnlockFirst = "Please unlock the program first by entering the master password";

QString PasswordFileNotFound(const std::string& path) {
  return QStringLiteral(
             "Password file %1 not found.\n\nRestore the file from backup and restart the "
             "program or enter a new master password to create a new password file")
      .arg(FromBytes(path));
}

}  // namespace

TMainForm::TMainForm(platform::Settings& settings, platform::Autostart& autostart)
    : settings_(settings), autostart_(autostart) {
  setObjectName(QStringLiteral("MainForm"));
  setWindowTitle(QStringLiteral("Corvella 1.0"));
  setWindowIcon(WindowIcon());

  BuildToolBar();
  auto* client = new QWidget(this);
  client->setObjectName(QStringLiteral("Client"));
  setCentralWidget(client);
  BuildSidePanel(client);
  PageControl = new QStackedWidget(client);
  PageControl->setObjectName(QStringLiteral("PageControl"));
  PageControl->setGeometry(kSidePanelWidth, 0, kClientWidth - kSidePanelWidth,
                           kClientHeight - kToolBarHeight);
  ListBox = new EntryListBox(PageControl);
  ListBox->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(ListBox, &EntryListBox::customContextMenuRequested, this, &TMainForm::ListBoxContextMenu);
  connect(ListBox, &EntryListBox::DoubleClicked, this, &TMainForm::WebPageActionExecute);
  PopupMenu = new QMenu(this);
  PopupMenu->setObjectName(QStringLiteral("PopupMenu"));
  PopupMenu->addAction(tr("Copy user name"), this, &TMainForm::Copyusername1Click)
      ->setObjectName(QStringLiteral("Copyusername1"));
  PopupMenu->addAction(tr("Copy password"), this, &TMainForm::Copypassword1Click)
      ->setObjectName(QStringLiteral("Copypassword1"));
  Options = new OptionsPage(settings_, autostart_, PageControl);
  PageControl->addWidget(ListBox);
  PageControl->addWidget(Options);
  setFixedSize(kClientWidth, kClientHeight);

  lockTimer_.setInterval(kLockTimerStartMs);
  connect(&lockTimer_, &QTimer::timeout, this, &TMainForm::LockTimerTimer);
  lockTimer_.start();
  connect(Options, &OptionsPage::LockPeriodChosen, this, &TMainForm::SetLockPeriod);
  clearClipboardTimer_.setInterval(kClearClipboardMs);
  connect(&clearClipboardTimer_, &QTimer::timeout, this, &TMainForm::ClearClipboardTimerTimer);

  TrayMenu = new QMenu(this);
  TrayMenu->setObjectName(QStringLiteral("TrayMenu"));
  connect(TrayMenu, &QMenu::aboutToShow, this, &TMainForm::TrayMenuPopup);
  // The icon joins the notification area as soon as the message loop runs, so that rendering it
  // does not delay the window.
  QTimer::singleShot(0, this, &TMainForm::CreateTrayIcon);
  connect(qApp, &QApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
    if (state == Qt::ApplicationActive) ApplicationEventsActivate();
  });
  FormCreate();
}

TMainForm::~TMainForm() { WipeQString(CopiedPassword); }

void TMainForm::FormCreate() {
  PanelButton1->setChecked(true);
  PageControl->setCurrentIndex(0);
  Locked = true;
  NewPasswordForm = nullptr;
  try {
    Options->LoadSettings();
  } catch (const Error& error) {
    // Shown once the message loop runs; the options not yet loaded keep their first states.
    QTimer::singleShot(0, this, [this, message = QString::fromUtf8(error.what())] {
      ApplicationEventsException(message);
    });
  }
}

QAction* TMainForm::AddAction(const char* name, const QString& caption, const char* icon,
                              void (TMainForm::*handler)()) {
  auto* action = new QAction(ToolImage(icon), caption, this);
  action->setObjectName(QLatin1String(name));
  connect(action, &QAction::triggered, this, handler);
  return action;
}

void TMainForm::BuildToolBar() {
  auto* toolBar = new QToolBar(this);
  toolBar->setObjectName(QStringLiteral("ToolBar1"));
  toolBar->setMovable(false);
  toolBar->setFloatable(false);
  toolBar->setIconSize({16, 16});
  toolBar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  toolBar->setFixedHeight(kToolBarHeight);
  toolBar->setContextMenuPolicy(Qt::PreventContextMenu);
  addToolBar(Qt::TopToolBarArea, toolBar);

  QAction* newPassword = AddAction("NewPasswordAction", tr("New Password"), "new-password",
                                   &TMainForm::NewPasswordActionExecute);
  newPassword->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
  newPassword->setShortcutContext(Qt::WindowShortcut);
  const QList<QAction*> actions = {
      newPassword,
      nullptr,
      AddAction("WebPageAction", tr("Go to Web Page"), "web-page",
                &TMainForm::WebPageActionExecute),
      nullptr,
      AddAction("EditPasswordAction", tr("Edit"), "edit-password",
                &TMainForm::EditPasswordActionExecute),
      AddAction("DeletePasswordAction", tr("Delete"), "delete-password",
                &TMainForm::DeletePasswordActionExecute),
      nullptr,
      AddAction("LockAction", tr("Lock"), "lock", &TMainForm::ToolButton9Click),
      AddAction("ExitProgramAction", tr("Exit"), "exit", &TMainForm::ExitProgramActionExecute),
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

QWidget* TMainForm::BuildSidePanel(QWidget* parent) {
  auto* panel = new QWidget(parent);
  panel->setObjectName(QStringLiteral("Panel1"));
  panel->setGeometry(0, 0, kSidePanelWidth, kClientHeight - kToolBarHeight);
  panel->setAutoFillBackground(true);
  QPalette palette = panel->palette();
  palette.setColor(QPalette::Window, kSidePanelColor);
  panel->setPalette(palette);

  auto* group = new QButtonGroup(panel);
  group->setExclusive(true);
  const auto makeButton = [&](const char* name, const QString& caption, const char* glyph, int top,
                              void (TMainForm::*handler)()) {
    auto* button = new TPanelButton(panel);
    button->setObjectName(QLatin1String(name));
    button->setText(caption);
    button->SetGlyph(PanelGlyph(glyph));
    button->SetColor(kSidePanelColor);
    button->setGeometry(18, top, 67, 61);
    group->addButton(button);
    connect(button, &TPanelButton::clicked, this, handler);
    return button;
  };
  PanelButton1 = makeButton("PanelButton1", tr("Passwords"), "passwords-glyph", 30,
                            &TMainForm::PanelButton1Click);
  PanelButton2 = makeButton("PanelButton2", tr("Options"), "options-glyph", 108,
                            &TMainForm::PanelButton2Click);
  return panel;
}

void TMainForm::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  // Some window managers never activate a new window; the panels come all the same once the
  // window is on the screen, in time for its first paint. Waiting for that rather than for the
  // next turn of the message loop lets the window go to the display first.
  if (FirstActivation && windowHandle() != nullptr) windowHandle()->installEventFilter(this);
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == windowHandle() && event->type() == QEvent::Expose && windowHandle()->isExposed()) {
    windowHandle()->removeEventFilter(this);
    ApplicationEventsActivate();
  }
  return QMainWindow::eventFilter(watched, event);
}

void TMainForm::ApplicationEventsActivate() {
  if (!FirstActivation) return;
  FirstActivation = false;
  const QRect pageArea = PageControl->geometry();
  UnlockPanel = new TMasterPasswordFrame(centralWidget());
  UnlockPanel->setGeometry(pageArea);
  UnlockPanel->hide();
  connect(UnlockPanel, &TMasterPasswordFrame::UnlockRequested, this,
          &TMainForm::UnlockWithPassword);
  CreatePanel = new TCreateMasterPasswordFrame(centralWidget());
  CreatePanel->setGeometry(pageArea);
  CreatePanel->hide();
  connect(CreatePanel, &TCreateMasterPasswordFrame::PasswordChosen, this,
          &TMainForm::CreateMasterPassword);
  if (!PasswordFileExists()) {
    CreatePanel->show();
    CreatePanel->raise();
    CreatePanel->FocusFirstField();
  } else {
    UnlockPanel->show();
    UnlockPanel->raise();
    FocusUnlockField();
  }
}

void TMainForm::ApplicationEventsException(const QString& message) {
  ShowMessage(MessageKind::Information, message);
  FocusUnlockField();
}

void TMainForm::FocusUnlockField() {
  if (isVisible() && UnlockPanel != nullptr && UnlockPanel->isVisible()) {
    UnlockPanel->PasswordField()->setFocus();
  }
}

void TMainForm::BringToFront() {
  show();
  setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
  raise();
  activateWindow();
}

void TMainForm::RequireUnlocked() const {
  if (Locked || store_.MasterPassword().empty()) throw Error(kUnlockFirst);
}

void TMainForm::Lock() {
  if (Locked || NewPasswordForm != nullptr) return;
  ListBox->Clear();
  store_.WipeEntries();
  store_.WipeMasterPassword();
  UnlockPanel->show();
  UnlockPanel->raise();
  FocusUnlockField();
  Locked = true;
}

void TMainForm::CreateMasterPassword(const QString& password) {
  // The program stays locked if the first save fails.
  store_.SetMasterPassword(ToSecretBytes(password).View());
  try {
    store_.SavePasswords();
  } catch (...) {
    store_.WipeMasterPassword();
    throw;
  }
  Locked = false;
  CreatePanel->hide();
  // The panel never shows again; its fields must not keep the master password.
  CreatePanel->WipeFields();
}

void TMainForm::UnlockWithPassword(const QString& password) { VerifyMasterPassword(password); }

bool TMainForm::VerifyMasterPassword(const QString& typed) {
  const std::string path = GetPasswordFileName();
  LoadResult result;
  try {
    result = OpenWithTypedPassword(store_, ToSecretBytes(typed).View(), path);
  } catch (const std::exception&) {
    store_.WipeMasterPassword();
    ShowMessage(MessageKind::Error, tr("Invalid master password"));
    return false;
  }
  if (result == LoadResult::FileMissing) {
    ShowMessage(MessageKind::Error, PasswordFileNotFound(path));
  }
  RefreshList();
  UnlockPanel->hide();
  Locked = false;
  return true;
}

void TMainForm::AddEntry(const EntryPtr& entry) {
  store_.AddEntry(entry);
  ListBox->AddRow(entry);
}

void TMainForm::RefreshList() { ListBox->Refresh(store_.Entries()); }

template <class Editor, class AfterOk>
void TMainForm::RunEditor(Editor& editor, AfterOk afterOk) {
  NewPasswordForm = &editor;
  struct ClearReference {
    QPointer<QWidget>& reference;
    ~ClearReference() { reference = nullptr; }
  } clear{NewPasswordForm};
  if (editor.exec() == QDialog::Accepted) afterOk();
}

void TMainForm::NewPasswordActionExecute() {
  RequireUnlocked();
  TNewPasswordForm editor(nullptr, {});
  RunEditor(editor, [&] {
    auto entry = std::make_shared<Entry>();
    entry->url = editor.UrlText();
    entry->SetPassword(editor.PasswordText().View(), store_.Key());
    entry->siteName = editor.SiteNameText();
    entry->userName = editor.UserNameText();
    AddEntry(entry);
    store_.SavePasswords();
  });
}

void TMainForm::EditPasswordActionExecute() {
  RequireUnlocked();
  const EntryPtr entry = ListBox->SelectedEntry();
  if (!entry) {
    ShowMessage(MessageKind::Information, tr("No password entry selected"));
    return;
  }
  TNewPasswordForm editor(entry, [this] { store_.SavePasswords(); }, &store_.Key());
  editor.setWindowTitle(tr("Edit Password"));
  editor.SetFields(*entry, store_.Key());
  RunEditor(editor, [this] { RefreshList(); });
}

void TMainForm::DeletePasswordActionExecute() {
  RequireUnlocked();
  // Held across the question: a lock meanwhile wipes the entry but cannot free it.
  const EntryPtr entry = ListBox->SelectedEntry();
  if (!entry) {
    ShowMessage(MessageKind::Information, tr("Please select a password entry to delete"));
    return;
  }
  const QString question = tr("Are you sure you want to delete the password entry \"%1\"?")
                               .arg(FromBytes(entry->siteName));
  if (ShowMessage(MessageKind::Confirm, question, MessageButtons::YesNo) != MessageAnswer::Yes) {
    return;
  }
  store_.RemoveEntry(entry.get());
  store_.SavePasswords();
  RefreshList();
}

void TMainForm::WebPageActionExecute() {
  RequireUnlocked();
  const EntryPtr entry = ListBox->SelectedEntry();
  if (!entry) return;
  if (platform::SettingToBool(settings_.ReadSetting("CopyToClipboard"))) CopyPassword(*entry);
  QString address = FromBytes(entry->url);
  QString scheme = address.left(4);
  for (QChar& c : scheme) {
    if (c >= u'A' && c <= u'Z') c = c.toLower();
  }
  if (scheme != QLatin1String("http")) address.prepend(QLatin1String("http://"));
  platform::OpenWebAddress(address);
}

void TMainForm::CopyPassword(const Entry& entry) {
  WipeQString(CopiedPassword);
  CopiedPassword = FromSecretBytes(entry.Password(store_.Key()).View());
  platform::Clipboard::SetText(CopiedPassword, true);
  // A running countdown is not restarted.
  if (!clearClipboardTimer_.isActive()) clearClipboardTimer_.start();
}

void TMainForm::ClearClipboardTimerTimer() {
  // Only while the clipboard still holds exactly what we put there.
  if (platform::Clipboard::Text() != CopiedPassword) return;
  WipeQString(CopiedPassword);
  platform::Clipboard::SetText(QString(), false);
  clearClipboardTimer_.stop();
}

void TMainForm::ListBoxContextMenu(const QPoint& position) {
  const QModelIndex row = ListBox->indexAt(position);
  if (row.isValid()) ListBox->setCurrentIndex(row);
  PopupMenu->exec(ListBox->viewport()->mapToGlobal(position));
}

void TMainForm::Copyusername1Click() {
  if (const EntryPtr entry = ListBox->SelectedEntry()) {
    platform::Clipboard::SetText(FromBytes(entry->userName), false);
  }
}

void TMainForm::Copypassword1Click() {
  if (const EntryPtr entry = ListBox->SelectedEntry()) CopyPassword(*entry);
}

void TMainForm::CreateTrayIcon() {
  TrayIcon1 = new TTrayIcon(this);
  TrayIcon1->setObjectName(QStringLiteral("TrayIcon1"));
  TrayIcon1->SetToolTip(QStringLiteral("Corvella"));
  TrayIcon1->SetPopupMenu(TrayMenu);
  connect(TrayIcon1, &TTrayIcon::RestoreRequested, this, [this] {
    BringToFront();
    ApplicationEventsRestore();
  });
}

void TMainForm::TrayMenuPopup() {
  RebuildTrayMenu(
      *TrayMenu, store_.Entries(), [this](const EntryPtr& entry) { CopyPassword(*entry); },
      [this] { ExitProgramActionExecute(); });
}

void TMainForm::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  // Minimised, the window waits in the notification area; without a tray it stays minimised so
  // that it can always come back.
  if (event->type() == QEvent::WindowStateChange && isMinimized() && TTrayIcon::Available()) {
    QTimer::singleShot(0, this, &QWidget::hide);
  }
}

void TMainForm::ApplicationEventsRestore() { FocusUnlockField(); }

void TMainForm::ExitProgramActionExecute() { close(); }

void TMainForm::ToolButton9Click() { Lock(); }

void TMainForm::LockTimerTimer() {
  if (Options->LockProgramEnabled()) Lock();
}

void TMainForm::SetLockPeriod(int minutes) {
  const int period = minutes * kMsPerMinute;
  // Re-arming restarts the count, so only a new period does.
  if (period != lockTimer_.interval()) lockTimer_.start(period);
}

void TMainForm::PanelButton1Click() {
  PageControl->setCurrentIndex(0);
  PageControlChange();
}

void TMainForm::PanelButton2Click() {
  PageControl->setCurrentIndex(1);
  PageControlChange();
}

void TMainForm::PageControlChange() {
  if (PageControl->currentIndex() == 1) Options->RefreshLoadOnStartup();
}

}  // namespace corvella
