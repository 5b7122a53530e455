// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The main window's entry commands under the real application object: New Password, Edit,
// Delete and Go to Web Page against a password file in a temporary home, the list's shortcut
// menu, copying to the clipboard and erasing it again, and the notification-area menu.

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTimerEvent>
#include <QToolButton>
#include <QUrl>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/Error.h"
#include "platform/Autostart.h"
#include "platform/Settings.h"
#include "store/PasswordStore.h"
#include "store/SessionKey.h"
#include "tests/ui/MainWindowTestSupport.h"
#include "ui/Application.h"
#include "ui/EntryEditor.h"
#include "ui/EntryListView.h"
#include "ui/MainWindow.h"
#include "ui/MessageDialog.h"

namespace corvella {
namespace {

using namespace test;

// The modification time a password file is given to show that nothing rewrote it.
const QDateTime kStamp(QDate(2001, 2, 3), QTime(4, 5, 6), Qt::UTC);

// One entry as the tests write it into a vault.
struct SampleEntry {
  QString site;
  QString url;
  QString user;
  QString password;
};

// Entries told apart by their position, also where site names are equal.
QList<SampleEntry> NumberedEntries(const QStringList& sites) {
  QList<SampleEntry> written;
  for (qsizetype i = 0; i < sites.size(); ++i) {
    const QString n = QString::number(i);
    written.append({sites[i], "https://site" + n + ".example/", "user " + n, "pw " + n});
  }
  return written;
}

EntryPtr MakeEntry(const SampleEntry& fields, const SessionKey& key) {
  auto entry = std::make_shared<Entry>();
  entry->SetSiteName(Bytes(fields.site));
  entry->SetUrl(Bytes(fields.url));
  entry->SetUserName(Bytes(fields.user));
  entry->SetPassword(Bytes(fields.password), key);
  return entry;
}

// The error box of a change that could not be saved for `reason`.
QString NotSaved(const QString& reason) {
  return "Error: The change was not saved.\n\n" + reason +
         "\n\nIt stays in the program and is saved with the next change, or when you lock the "
         "program or exit.";
}

// Site, address and user name; passwords are compared without printing them.
QString Describe(const Entry& entry) {
  return Text(entry.SiteName()) + " | " + Text(entry.Url()) + " | " + Text(entry.UserName());
}
QString Describe(const SampleEntry& fields) {
  return fields.site + " | " + fields.url + " | " + fields.user;
}

QStringList Describe(const QList<SampleEntry>& written) {
  QStringList lines;
  for (const SampleEntry& fields : written) lines << Describe(fields);
  return lines;
}

// What Qt draws for a menu caption: "&&" is one "&", a single "&" marks the access key.
QString Drawn(const QString& caption) {
  QString text;
  for (qsizetype i = 0; i < caption.size(); ++i) {
    if (caption[i] == u'&' && i + 1 < caption.size()) ++i;
    text += caption[i];
  }
  return text;
}

enum class LockBy { LockAction, LockCall, LockTimer };
enum class EditorCommand { NewPassword, Edit };
enum class EditEnd { Ok, Cancel, SaveFails };
enum class WebTrigger { ToolButton, DoubleClickRow, DoubleClickBelow };
enum class TrayState { Unlocked, LockedAgain, NeverUnlocked };
enum class Leave { LockButton, LockTimer, Exit };

}  // namespace

}  // namespace corvella

Q_DECLARE_METATYPE(corvella::MessageAnswer)
Q_DECLARE_METATYPE(corvella::LockBy)
Q_DECLARE_METATYPE(corvella::EditorCommand)
Q_DECLARE_METATYPE(corvella::EditEnd)
Q_DECLARE_METATYPE(corvella::WebTrigger)
Q_DECLARE_METATYPE(corvella::TrayState)
Q_DECLARE_METATYPE(corvella::Leave)

namespace corvella {

class EntryCommandsTest : public QObject, public MainWindowFixture {
  Q_OBJECT

 private slots:
  void initTestCase();
  void cleanupTestCase();
  void init();
  void cleanup();

  void newPassword_data();
  void newPassword();
  void lockWhileEditorOpen_data();
  void lockWhileEditorOpen();

  void edit_data();
  void edit();

  void nothingSelected_data();
  void nothingSelected();

  void deleteEntry_data();
  void deleteEntry();
  void lockWhileDeleteQuestionOpen();
  void unsavedChanges_data();
  void unsavedChanges();

  void webAddress_data();
  void webAddress();
  void webPageCopyOption_data();
  void webPageCopyOption();

  void clipboard_data();
  void clipboard();
  void secondCopyRestartsCountdown_data();
  void secondCopyRestartsCountdown();
  void shortcutMenu_data();
  void shortcutMenu();

  void trayMenu_data();
  void trayMenu();
  void trayExit();

 private:
  bool StartForm();
  bool StartUnlocked(const QList<SampleEntry>& written);
  void WriteVault(const QList<SampleEntry>& written);
  // The vault read back with a fresh store; `passwords` receives the plaintexts.
  QStringList ReadVault(QStringList* passwords = nullptr) const;
  // Gives the password file an old modification time; VaultUntouched() then tells whether
  // anything wrote it since (a save of unchanged entries writes the same bytes).
  void StampVault();
  bool VaultUntouched(const QByteArray& before) const;
  QString SaveError() const;

  void ClickTool(const char* name);
  void Trigger(const char* actionName);
  void Select(int row);
  int SelectedRow() const;
  QStringList Rows() const;
  QPoint RowPoint(int row) const;  // in the window; -1: below the last row
  void Tick();
  QStringList BuildTrayMenu();
  QString ClipboardState() const;

  // Runs `act` once `find` yields a widget, checking every 10 ms from inside whatever modal
  // loop runs then.
  void When(std::function<QWidget*()> find, std::function<void(QWidget&)> act);
  void WhenEditorShows(std::function<void(EntryEditor&)> act);
  void WhenMenuShows(std::function<void(QMenu&)> act);
  void Poll();

  EntryListView* list_ = nullptr;
  QMenu* trayMenu_ = nullptr;
  // The plaintexts and user names of the vault the test started with, to name clipboard states.
  QList<SampleEntry> vault_;
  UrlRecorder recorder_;
  QTimer poll_;
  int polls_ = 0;
  std::function<QWidget*()> find_;
  std::function<void(QWidget&)> act_;
};

void EntryCommandsTest::initTestCase() {
  DropOffscreenWarnings();
  // No address ever reaches a real browser; other schemes are caught to show wrong prefixes.
  for (const char* scheme : {"http", "https", "ftp", ""}) {
    QDesktopServices::setUrlHandler(QLatin1String(scheme), &recorder_, "open");
  }
  poll_.setInterval(10);
  connect(&poll_, &QTimer::timeout, this, &EntryCommandsTest::Poll);
}

void EntryCommandsTest::cleanupTestCase() {
  for (const char* scheme : {"http", "https", "ftp", ""}) {
    QDesktopServices::unsetUrlHandler(QLatin1String(scheme));
  }
}

void EntryCommandsTest::init() {
  SetUpHome();
  vault_.clear();
  recorder_.calls.clear();
  // The editor takes a web address from the clipboard; every test starts with an empty one.
  QGuiApplication::clipboard()->clear();
}

void EntryCommandsTest::cleanup() {
  poll_.stop();
  find_ = {};
  act_ = {};
  list_ = nullptr;
  trayMenu_ = nullptr;
  const bool unopened = recorder_.calls.isEmpty();
  TearDownHome();
  if (!QTest::currentTestFailed()) QVERIFY2(unopened, "An address was opened that nobody checked");
}

// ---- Fixture helpers ----

bool EntryCommandsTest::StartForm() {
  if (!StartWindow()) return false;
  list_ = window_->findChild<EntryListView*>(QStringLiteral("entryList"));
  trayMenu_ = window_->findChild<QMenu*>(QStringLiteral("trayMenu"));
  return list_ != nullptr && trayMenu_ != nullptr;
}

bool EntryCommandsTest::StartUnlocked(const QList<SampleEntry>& written) {
  WriteVault(written);
  return StartForm() && UnlockWith(kVaultPassword) && Rows().size() == written.size();
}

void EntryCommandsTest::WriteVault(const QList<SampleEntry>& written) {
  vault_ = written;
  PasswordStore store;
  for (const SampleEntry& fields : written) store.AddEntry(MakeEntry(fields, store.Key()));
  store.SetMasterPassword(kVaultPassword);
  store.SavePasswordsTo(VaultPath());
}

QStringList EntryCommandsTest::ReadVault(QStringList* passwords) const {
  PasswordStore store;
  store.SetMasterPassword(kVaultPassword);
  try {
    if (store.LoadPasswordsFrom(VaultPath()) != LoadResult::Loaded) return {"<missing>"};
  } catch (const std::exception& error) {
    return {QStringLiteral("<unreadable: %1>").arg(QString::fromUtf8(error.what()))};
  }
  QStringList lines;
  for (const EntryPtr& entry : store.Entries()) {
    lines << Describe(*entry);
    if (passwords != nullptr) *passwords << Text(entry->Password(store.Key()).View());
  }
  return lines;
}

void EntryCommandsTest::StampVault() {
  QFile file(VaultFile());
  QVERIFY(file.open(QIODevice::ReadOnly));
  QVERIFY(file.setFileTime(kStamp, QFileDevice::FileModificationTime));
}

bool EntryCommandsTest::VaultUntouched(const QByteArray& before) const {
  const QFileInfo info(VaultFile());
  return info.isFile() && info.lastModified().toUTC() == kStamp && ReadAll(VaultFile()) == before;
}

// The message of a save to the password file's place, whatever its wording.
QString EntryCommandsTest::SaveError() const {
  PasswordStore probe;
  probe.SetMasterPassword("probe-1");
  try {
    probe.SavePasswordsTo(VaultPath());
  } catch (const Error& error) {
    return QString::fromUtf8(error.what());
  }
  return QStringLiteral("<the save succeeded>");
}

// A click on the tool button: the command runs inside the event, as in the program, so that
// its failures reach the application's handler.
void EntryCommandsTest::ClickTool(const char* name) {
  auto* button = window_->findChild<QToolButton*>(QLatin1String(name));
  QVERIFY2(button != nullptr && button->isVisible(), name);
  QTest::mouseClick(button, Qt::LeftButton);
}

void EntryCommandsTest::Trigger(const char* actionName) {
  auto* action = window_->findChild<QAction*>(QLatin1String(actionName));
  QVERIFY2(action != nullptr, actionName);
  action->trigger();
}

void EntryCommandsTest::Select(int row) {
  if (row < 0) {
    list_->clearSelection();
    list_->setCurrentIndex({});
  } else {
    list_->setCurrentIndex(list_->model()->index(row, 0));
  }
  QCOMPARE(SelectedRow(), row);
}

int EntryCommandsTest::SelectedRow() const {
  const QModelIndexList selected = list_->selectionModel()->selectedIndexes();
  return selected.isEmpty() ? -1 : selected.first().row();
}

QStringList EntryCommandsTest::Rows() const {
  QStringList rows;
  const QAbstractItemModel* model = list_->model();
  for (int row = 0; row < model->rowCount(); ++row) {
    rows << model->index(row, 0).data().toString();
  }
  return rows;
}

QPoint EntryCommandsTest::RowPoint(int row) const {
  const int rows = list_->model()->rowCount();
  const QPoint inViewport =
      row >= 0 ? list_->visualRect(list_->model()->index(row, 0)).center()
               : QPoint(40, rows * EntryListView::kRowHeight + 3 * EntryListView::kRowHeight);
  return list_->viewport()->mapTo(window_.get(), inViewport);
}

// The end of the clipboard countdown.
void EntryCommandsTest::Tick() {
  QVERIFY2(session_->ClipboardCountdownRunning(), "The clipboard timer does not run");
  session_->OnClearClipboardTimeout();
}

// Opens the notification-area menu's contents as the tray does and lists what it shows.
QStringList EntryCommandsTest::BuildTrayMenu() {
  emit trayMenu_->aboutToShow();
  QStringList shown;
  for (const QAction* action : trayMenu_->actions()) {
    if (!action->isVisible()) continue;
    shown << (action->isSeparator() ? QStringLiteral("<sep>") : Drawn(action->text()));
  }
  return shown;
}

// The clipboard named by what it holds ("pw1", "user0", "other", "empty"), "secret:" in front
// when it carries the hint, then whether the erasing timer runs. Passwords are never printed.
QString EntryCommandsTest::ClipboardState() const {
  const QString text = ClipboardText();
  QString name = QStringLiteral("unknown text");
  if (text.isEmpty()) {
    name = QStringLiteral("empty");
  } else if (text == QLatin1String(kElsewhere)) {
    name = QStringLiteral("other");
  } else {
    for (qsizetype i = 0; i < vault_.size(); ++i) {
      if (text == vault_[i].password) name = "pw" + QString::number(i);
      if (text == vault_[i].user) name = "user" + QString::number(i);
    }
  }
  if (ClipboardMarkedSecret()) name.prepend(QStringLiteral("secret:"));
  return name +
         (session_->ClipboardCountdownRunning() ? QStringLiteral(" on") : QStringLiteral(" off"));
}

void EntryCommandsTest::When(std::function<QWidget*()> find, std::function<void(QWidget&)> act) {
  find_ = std::move(find);
  act_ = std::move(act);
  polls_ = 0;
  poll_.start();
}

void EntryCommandsTest::Poll() {
  QWidget* widget = find_ ? find_() : nullptr;
  if (widget == nullptr) {
    if (++polls_ > 500) poll_.stop();
    return;
  }
  poll_.stop();
  find_ = {};
  if (auto act = std::exchange(act_, {})) act(*widget);
}

void EntryCommandsTest::WhenEditorShows(std::function<void(EntryEditor&)> act) {
  When([] { return qobject_cast<EntryEditor*>(QApplication::activeModalWidget()); },
       [act = std::move(act)](QWidget& widget) {
         auto& editor = static_cast<EntryEditor&>(widget);
         act(editor);
         // Whatever the checks found, the modal loop has to end.
         if (editor.isVisible()) editor.reject();
       });
}

void EntryCommandsTest::WhenMenuShows(std::function<void(QMenu&)> act) {
  When([] { return qobject_cast<QMenu*>(QApplication::activePopupWidget()); },
       [act = std::move(act)](QWidget& widget) {
         auto& menu = static_cast<QMenu&>(widget);
         act(menu);
         if (menu.isVisible()) menu.close();
       });
}

// ---- The entry editor's fields ----

struct EditorVisit {
  bool shown = false;
  bool lockHeld = false;  // a lock meanwhile did nothing
  QPointer<QWidget> editor;
  QWidget* owner = nullptr;  // the window the window system keeps it over
  QString title;
  QStringList fields;  // site, user, address as shown
  QString password;
};

void Look(EditorVisit& visit, EntryEditor& editor, VaultSession& session) {
  visit.shown = editor.isVisible() && editor.isModal();
  session.Lock();
  visit.lockHeld = !session.IsLocked();
  visit.editor = &editor;
  visit.owner = editor.parentWidget();
  visit.title = editor.windowTitle();
  for (const char* name : {"siteNameEdit", "userNameEdit", "urlEdit"}) {
    const auto* field = editor.findChild<QLineEdit*>(QLatin1String(name));
    visit.fields << (field != nullptr ? field->text() : QStringLiteral("<no field>"));
  }
  const auto* password = editor.findChild<SecretField*>(QStringLiteral("passwordEdit"));
  visit.password = password != nullptr ? Text(password->Secret().View()) : "<no field>";
}

// Types the texts of `fields` into the editor (a null text leaves its field as it is) and closes
// it with OK or Cancel.
void FillAndClose(EntryEditor& editor, const SampleEntry& fields, bool ok) {
  const std::pair<const char*, const QString*> edits[] = {
      {"siteNameEdit", &fields.site}, {"userNameEdit", &fields.user}, {"urlEdit", &fields.url}};
  for (const auto& [name, text] : edits) {
    auto* field = editor.findChild<QLineEdit*>(QLatin1String(name));
    if (field != nullptr && !text->isNull()) field->setText(*text);
  }
  auto* password = editor.findChild<SecretField*>(QStringLiteral("passwordEdit"));
  if (password != nullptr && !fields.password.isNull()) password->SetSecret(Bytes(fields.password));
  auto* button = editor.findChild<QPushButton*>(QLatin1String(ok ? "okButton" : "cancelButton"));
  if (button != nullptr) QTest::mouseClick(button, Qt::LeftButton);
}

// ---- New Password ----

void EntryCommandsTest::newPassword_data() {
  QTest::addColumn<QString>("site");
  QTest::addColumn<QString>("user");
  QTest::addColumn<QString>("url");
  QTest::addColumn<QString>("password");
  QTest::addColumn<bool>("byShortcut");
  QTest::addColumn<EditEnd>("end");

  const auto row = [](const char* name, const QString& site, const QString& user,
                      const QString& url, const QString& password, bool byShortcut, EditEnd end) {
    QTest::newRow(name) << site << user << url << password << byShortcut << end;
  };
  row("tool button", "Mail", "me@mail.example", "https://mail.example/", "s3cret pass", false,
      EditEnd::Ok);
  row("Ctrl+N", "Bank", "12345", "bank.example", "b@nk!", true, EditEnd::Ok);
  row("every field empty", "", "", "", "", false, EditEnd::Ok);
  row("same name as an entry, non-ASCII", "One", QStringLiteral("Jörg"),
      QStringLiteral("http://ü.example"), QStringLiteral("pässwört"), false, EditEnd::Ok);
  row("cancelled", "Typed", "typed user", "typed.example", "typed pw", false, EditEnd::Cancel);
  row("save fails", "Kept", "kept user", "kept.example", "kept pw", false, EditEnd::SaveFails);
}

void EntryCommandsTest::newPassword() {
  QFETCH(QString, site);
  QFETCH(QString, user);
  QFETCH(QString, url);
  QFETCH(QString, password);
  QFETCH(bool, byShortcut);
  QFETCH(EditEnd, end);

  QVERIFY(StartUnlocked(NumberedEntries({"One", "Two"})));
  const std::vector<EntryPtr> before = session_->Entries();
  Select(0);
  StampVault();
  const QByteArray file = ReadAll(VaultFile());
  if (end == EditEnd::SaveFails) {
    // A folder where the password file was: the new file cannot be moved into its place.
    QVERIFY(QFile::remove(VaultFile()));
    QVERIFY(QDir().mkdir(VaultFile()));
  }

  EditorVisit visit;
  const SampleEntry typed{site, url, user, password};
  WhenEditorShows([&](EntryEditor& editor) {
    Look(visit, editor, *session_);
    FillAndClose(editor, typed, end != EditEnd::Cancel);
  });
  if (byShortcut) {
    list_->setFocus();
    QTest::keyClick(window_.get(), Qt::Key_N, Qt::ControlModifier);
  } else {
    ClickTool("newPasswordActionButton");
  }

  QVERIFY(visit.shown);
  QVERIFY(visit.owner == window_.get());
  QVERIFY(visit.lockHeld);
  QCOMPARE(visit.title, QStringLiteral("Add New Password"));
  QCOMPARE(visit.fields, (QStringList{"", "", ""}));
  QVERIFY(visit.password.isEmpty());
  QVERIFY(visit.editor.isNull());
  QVERIFY(!session_->IsLocked());
  const std::vector<EntryPtr>& entries = session_->Entries();

  switch (end) {
    case EditEnd::Cancel:
      QCOMPARE(TakeMessages(), QStringList());
      QCOMPARE(Rows(), (QStringList{"One", "Two"}));
      QVERIFY(entries == before);
      QVERIFY(VaultUntouched(file));
      return;
    case EditEnd::SaveFails: {
      const QString error = SaveError();
      QVERIFY2(error.contains(VaultFile()), qPrintable(error));
      QCOMPARE(TakeMessages(), QStringList{NotSaved(error)});
      QVERIFY(session_->HasUnsavedChanges());
      QCOMPARE(window_->windowTitle(), QStringLiteral("Corvella 1.0 (changes not saved)"));
      // The entry stays in memory and in the list.
      QCOMPARE(Rows(), (QStringList{"One", "Two", site}));
      QCOMPARE(entries.size(), std::size_t{3});
      QCOMPARE(Describe(*entries.back()), Describe(typed));
      QVERIFY(QFileInfo(VaultFile()).isDir());
      // No temporary file is left; the lock file is there while the vault is open.
      QCOMPARE(QDir(Path("data/Corvella")).entryList(QDir::Files | QDir::Hidden),
               QStringList{"Passwords.dat.lock"});
      return;
    }
    case EditEnd::Ok:
      break;
  }
  QCOMPARE(TakeMessages(), QStringList());
  // At the end of the list and of the entries, not selected; the selection stays where it was.
  QCOMPARE(Rows(), (QStringList{"One", "Two", site}));
  QCOMPARE(entries.size(), std::size_t{3});
  QVERIFY(entries[0] == before[0] && entries[1] == before[1]);
  QCOMPARE(Describe(*entries[2]), Describe(typed));
  QVERIFY(Text(session_->FieldsOf(*entries[2]).password.View()) == password);
  QVERIFY(list_->EntryAt(2) == entries[2]);
  QCOMPARE(SelectedRow(), 0);

  QStringList passwords;
  QCOMPARE(ReadVault(&passwords), Describe(NumberedEntries({"One", "Two"}) << typed));
  QVERIFY(passwords == (QStringList{"pw 0", "pw 1", password}));
}

void EntryCommandsTest::lockWhileEditorOpen_data() {
  QTest::addColumn<EditorCommand>("command");
  QTest::addColumn<LockBy>("lockBy");

  QTest::newRow("New Password, Lock button") << EditorCommand::NewPassword << LockBy::LockAction;
  QTest::newRow("New Password, Lock()") << EditorCommand::NewPassword << LockBy::LockCall;
  QTest::newRow("New Password, lock timer") << EditorCommand::NewPassword << LockBy::LockTimer;
  QTest::newRow("Edit, Lock button") << EditorCommand::Edit << LockBy::LockAction;
  QTest::newRow("Edit, lock timer") << EditorCommand::Edit << LockBy::LockTimer;
}

void EntryCommandsTest::lockWhileEditorOpen() {
  QFETCH(EditorCommand, command);
  QFETCH(LockBy, lockBy);

  QVERIFY(WriteAll(SettingsPath(), "[General]\nCopyToClipboard=0\nLockProgram=1\nLockTime=1\n"));
  QVERIFY(StartUnlocked(NumberedEntries({"One", "Two"})));
  const bool editing = command == EditorCommand::Edit;
  if (editing) Select(1);
  const auto lock = [&] {
    switch (lockBy) {
      case LockBy::LockAction:
        Trigger("lockAction");
        break;
      case LockBy::LockCall:
        session_->Lock();
        break;
      case LockBy::LockTimer:
        session_->OnLockTimeout();
        break;
    }
  };

  EditorVisit visit;
  bool lockedMeanwhile = true;
  QStringList rowsMeanwhile;
  WhenEditorShows([&](EntryEditor& editor) {
    Look(visit, editor, *session_);
    lock();
    lockedMeanwhile = session_->IsLocked();
    rowsMeanwhile = Rows();
    FillAndClose(editor, {"Typed", "typed.example", "typed user", "typed pw"}, true);
  });
  ClickTool(editing ? "editActionButton" : "newPasswordActionButton");

  QVERIFY(visit.lockHeld);
  QVERIFY(!lockedMeanwhile);
  QCOMPARE(rowsMeanwhile, (QStringList{"One", "Two"}));
  QCOMPARE(TakeMessages(), QStringList());
  QVERIFY(!session_->IsLocked());
  session_->RequireUnlocked();
  const QStringList rows =
      editing ? QStringList{"One", "Typed"} : QStringList{"One", "Two", "Typed"};
  QCOMPARE(Rows(), rows);
  // Saved under the master password the lock would have wiped.
  QStringList passwords;
  const QStringList saved = ReadVault(&passwords);
  QCOMPARE(saved.size(), rows.size());
  QCOMPARE(saved.last(), QStringLiteral("Typed | typed.example | typed user"));
  QVERIFY(passwords.last() == QLatin1String("typed pw"));

  // With the editor gone, the same trigger locks.
  lock();
  QVERIFY(session_->IsLocked());
  QCOMPARE(Rows(), QStringList());
}

// ---- Edit ----

void EntryCommandsTest::edit_data() {
  QTest::addColumn<EditEnd>("end");
  QTest::newRow("OK") << EditEnd::Ok;
  QTest::newRow("Cancel") << EditEnd::Cancel;
  QTest::newRow("OK, save fails") << EditEnd::SaveFails;
}

void EntryCommandsTest::edit() {
  QFETCH(EditEnd, end);

  const QList<SampleEntry> written = NumberedEntries({"One", "Two", "Three"});
  QVERIFY(StartUnlocked(written));
  const std::vector<EntryPtr> before = session_->Entries();
  Select(1);
  StampVault();
  const QByteArray file = ReadAll(VaultFile());
  if (end == EditEnd::SaveFails) {
    QVERIFY(QFile::remove(VaultFile()));
    QVERIFY(QDir().mkdir(VaultFile()));
  }

  EditorVisit visit;
  const SampleEntry typed{"Second", QString(), "new user", "new pw"};
  WhenEditorShows([&](EntryEditor& editor) {
    Look(visit, editor, *session_);
    FillAndClose(editor, typed, end != EditEnd::Cancel);
  });
  ClickTool("editActionButton");

  QVERIFY(visit.shown);
  QVERIFY(visit.owner == window_.get());
  QVERIFY(visit.lockHeld);
  QCOMPARE(visit.title, QStringLiteral("Edit Password"));
  QCOMPARE(visit.fields, (QStringList{"Two", "user 1", "https://site1.example/"}));
  QVERIFY(visit.password == QLatin1String("pw 1"));
  QVERIFY(visit.editor.isNull());
  // The same objects in the same order, whatever happened.
  QVERIFY(session_->Entries() == before);
  const Entry& edited = *before[1];

  switch (end) {
    case EditEnd::Cancel:
      QCOMPARE(TakeMessages(), QStringList());
      QCOMPARE(Rows(), (QStringList{"One", "Two", "Three"}));
      QCOMPARE(Describe(edited), QStringLiteral("Two | https://site1.example/ | user 1"));
      QVERIFY(session_->FieldsOf(edited).password.View() == "pw 1");
      QCOMPARE(SelectedRow(), 1);
      QVERIFY(VaultUntouched(file));
      break;
    case EditEnd::Ok: {
      QCOMPARE(TakeMessages(), QStringList());
      QCOMPARE(Rows(), (QStringList{"One", "Second", "Three"}));
      QCOMPARE(Describe(edited), QStringLiteral("Second | https://site1.example/ | new user"));
      QVERIFY(session_->FieldsOf(edited).password.View() == "new pw");
      QCOMPARE(SelectedRow(), -1);
      QStringList passwords;
      QCOMPARE(ReadVault(&passwords),
               (QStringList{Describe(written[0]), Describe(edited), Describe(written[2])}));
      QVERIFY(passwords == (QStringList{"pw 0", "new pw", "pw 2"}));
      break;
    }
    case EditEnd::SaveFails:
      QCOMPARE(TakeMessages(), QStringList{NotSaved(SaveError())});
      QVERIFY(session_->HasUnsavedChanges());
      // The editor closed with OK before the save: the change stays and the rows follow it.
      QCOMPARE(Rows(), (QStringList{"One", "Second", "Three"}));
      QCOMPARE(Describe(edited), QStringLiteral("Second | https://site1.example/ | new user"));
      QVERIFY(QFileInfo(VaultFile()).isDir());
      QVERIFY(!session_->IsLocked());
      break;
  }
}

// ---- Commands with no row selected ----

void EntryCommandsTest::nothingSelected_data() {
  QTest::addColumn<QString>("command");  // a tool button, a menu action or "double-click"
  QTest::addColumn<QStringList>("messages");

  QTest::newRow("Edit") << "editActionButton"
                        << QStringList{"Information: No password entry selected"};
  QTest::newRow("Delete") << "deleteActionButton"
                          << QStringList{"Information: Please select a password entry to delete"};
  QTest::newRow("Go to Web Page") << "webPageActionButton" << QStringList();
  QTest::newRow("double-click below the last row") << "double-click" << QStringList();
  QTest::newRow("Copy user name") << "copyUserNameAction" << QStringList();
  QTest::newRow("Copy password") << "copyPasswordAction" << QStringList();
}

void EntryCommandsTest::nothingSelected() {
  QFETCH(QString, command);
  QFETCH(QStringList, messages);

  // Go to Web Page would copy the password if it ran.
  QVERIFY(WriteAll(SettingsPath(), "[General]\nCopyToClipboard=1\nLockProgram=0\n"));
  QVERIFY(StartUnlocked(NumberedEntries({"One", "Two"})));
  QCOMPARE(SelectedRow(), -1);
  StampVault();
  const QByteArray file = ReadAll(VaultFile());
  QGuiApplication::clipboard()->setText(QLatin1String(kElsewhere));
  bool editorShown = false;
  WhenEditorShows([&](EntryEditor&) { editorShown = true; });

  if (command == QLatin1String("double-click")) {
    QTest::mouseDClick(window_->windowHandle(), Qt::LeftButton, {}, RowPoint(-1));
  } else if (command.endsWith(QLatin1String("Button"))) {
    ClickTool(command.toLatin1().constData());
  } else {
    Trigger(command.toLatin1().constData());
  }

  QCOMPARE(TakeMessages(), messages);
  QVERIFY(!editorShown);
  QVERIFY(recorder_.calls.isEmpty());
  QCOMPARE(ClipboardState(), QStringLiteral("other off"));
  QCOMPARE(Rows(), (QStringList{"One", "Two"}));
  QCOMPARE(session_->Entries().size(), std::size_t{2});
  QVERIFY(VaultUntouched(file));
}

// ---- Delete ----

void EntryCommandsTest::deleteEntry_data() {
  QTest::addColumn<QStringList>("sites");
  QTest::addColumn<int>("row");
  QTest::addColumn<MessageAnswer>("answer");
  QTest::addColumn<QList<int>>("remaining");  // positions of the entries left, in order

  QTest::newRow("No keeps it") << QStringList{"One", "Two"} << 1 << MessageAnswer::No
                               << QList<int>{0, 1};
  QTest::newRow("closed question keeps it")
      << QStringList{"One", "Two"} << 0 << MessageAnswer::Cancel << QList<int>{0, 1};
  QTest::newRow("quotes in the name, No")
      << QStringList{"Say \"hi\" & go"} << 0 << MessageAnswer::No << QList<int>{0};
  QTest::newRow("Yes, the middle one")
      << QStringList{"A", "B", "C"} << 1 << MessageAnswer::Yes << QList<int>{0, 2};
  QTest::newRow("Yes, first of two equal names")
      << QStringList{"Twin", "Twin"} << 0 << MessageAnswer::Yes << QList<int>{1};
  QTest::newRow("Yes, second of two equal names")
      << QStringList{"Twin", "Twin"} << 1 << MessageAnswer::Yes << QList<int>{0};
  QTest::newRow("Yes, the only entry")
      << QStringList{"Only"} << 0 << MessageAnswer::Yes << QList<int>{};
}

void EntryCommandsTest::deleteEntry() {
  QFETCH(QStringList, sites);
  QFETCH(int, row);
  QFETCH(MessageAnswer, answer);
  QFETCH(QList<int>, remaining);

  const QList<SampleEntry> written = NumberedEntries(sites);
  QVERIFY(StartUnlocked(written));
  const std::vector<EntryPtr> before = session_->Entries();
  Select(row);
  StampVault();
  const QByteArray file = ReadAll(VaultFile());
  answer_ = [answer] { return answer; };

  ClickTool("deleteActionButton");

  QCOMPARE(TakeMessages(),
           QStringList{QStringLiteral("Confirm (Yes, No): Are you sure you want to delete the "
                                      "password entry \"%1\"?")
                           .arg(sites[row])});
  std::vector<EntryPtr> expected;
  QStringList rows;
  QList<SampleEntry> left;
  for (int i : remaining) {
    expected.push_back(before[static_cast<std::size_t>(i)]);
    rows << sites[i];
    left << written[i];
  }
  // Exactly the selected object went, even where another one has equal contents.
  QVERIFY(session_->Entries() == expected);
  QCOMPARE(Rows(), rows);
  if (answer != MessageAnswer::Yes) {
    QCOMPARE(SelectedRow(), row);
    QVERIFY(VaultUntouched(file));
    return;
  }
  QCOMPARE(SelectedRow(), -1);
  QStringList passwords;
  QCOMPARE(ReadVault(&passwords), Describe(left));
  QStringList leftPasswords;
  for (const SampleEntry& fields : left) leftPasswords << fields.password;
  QVERIFY(passwords == leftPasswords);
  // The marker alone when nothing is left.
  if (left.isEmpty()) QCOMPARE(QFileInfo(VaultFile()).size(), qint64{3});
}

void EntryCommandsTest::lockWhileDeleteQuestionOpen() {
  QVERIFY(StartUnlocked(NumberedEntries({"One", "Two"})));
  Select(1);
  StampVault();
  const QByteArray file = ReadAll(VaultFile());
  // The lock timer fires while the question is open; the answer comes afterwards.
  answer_ = [this] {
    session_->Lock();
    return MessageAnswer::Yes;
  };

  ClickTool("deleteActionButton");

  QCOMPARE(TakeMessages(),
           (QStringList{"Confirm (Yes, No): Are you sure you want to delete the password entry "
                        "\"Two\"?",
                        "Information: Please unlock the program first by entering the master "
                        "password"}));
  QVERIFY(session_->IsLocked());
  QCOMPARE(Rows(), QStringList());
  QVERIFY(session_->Entries().empty());
  QCOMPARE(window_->focusWidget(), unlockField_);
  QVERIFY(VaultUntouched(file));
  // Both entries come back with the next unlock.
  answer_ = {};
  QVERIFY(UnlockWith(kVaultPassword));
  QCOMPARE(Rows(), (QStringList{"One", "Two"}));
}

// ---- Changes that could not be saved ----

void EntryCommandsTest::unsavedChanges_data() {
  QTest::addColumn<Leave>("leave");
  // The answers to the Retry / Discard / Cancel question, in turn; "fix" clears the way for the
  // save just before it answers Retry.
  QTest::addColumn<QStringList>("answers");
  QTest::addColumn<bool>("left");  // locked, or the window closed

  const auto row = [](const char* name, Leave leave, const QStringList& answers, bool left) {
    QTest::newRow(name) << leave << answers << left;
  };
  row("Lock, Cancel", Leave::LockButton, {"cancel"}, false);
  row("Lock, Discard", Leave::LockButton, {"discard"}, true);
  row("Lock, Retry once the way is clear", Leave::LockButton, {"fix"}, true);
  row("Lock, Retry still failing, Cancel", Leave::LockButton, {"retry", "cancel"}, false);
  row("lock timer, Cancel", Leave::LockTimer, {"cancel"}, false);
  row("lock timer, Retry once the way is clear", Leave::LockTimer, {"fix"}, true);
  row("Exit, Cancel", Leave::Exit, {"cancel"}, false);
  row("Exit, Discard", Leave::Exit, {"discard"}, true);
  row("Exit, Retry once the way is clear", Leave::Exit, {"fix"}, true);
}

void EntryCommandsTest::unsavedChanges() {
  QFETCH(Leave, leave);
  QFETCH(QStringList, answers);
  QFETCH(bool, left);

  QVERIFY(WriteAll(SettingsPath(), "[General]\nCopyToClipboard=0\nLockProgram=1\n"));
  QVERIFY(StartUnlocked(NumberedEntries({"One", "Two"})));
  // A folder where the password file was: no save can put a file there.
  QVERIFY(QFile::remove(VaultFile()));
  QVERIFY(QDir().mkdir(VaultFile()));
  const QString error = SaveError();
  Select(0);
  answer_ = [] { return MessageAnswer::Yes; };
  ClickTool("deleteActionButton");
  QCOMPARE(TakeMessages(),
           (QStringList{"Confirm (Yes, No): Are you sure you want to delete the password entry "
                        "\"One\"?",
                        NotSaved(error)}));
  QVERIFY(session_->HasUnsavedChanges());
  QCOMPARE(window_->windowTitle(), QStringLiteral("Corvella 1.0 (changes not saved)"));

  QStringList pending = answers;
  answer_ = [&] {
    const QString answer = pending.isEmpty() ? QStringLiteral("cancel") : pending.takeFirst();
    if (answer == QLatin1String("fix")) {
      QDir(VaultFile()).removeRecursively();
      return MessageAnswer::Retry;
    }
    if (answer == QLatin1String("retry")) return MessageAnswer::Retry;
    return answer == QLatin1String("discard") ? MessageAnswer::Discard : MessageAnswer::Cancel;
  };
  bool closed = false;
  switch (leave) {
    case Leave::LockButton:
      ClickTool("lockActionButton");
      break;
    case Leave::LockTimer:
      session_->OnLockTimeout();
      break;
    case Leave::Exit:
      closed = window_->close();
      break;
  }

  const QString question = QStringLiteral(
                               "Warning (Retry, Discard, Cancel): Your changes could not be saved "
                               "to the password file.\n\n%1\n\nRetry saving them, discard them, "
                               "or cancel?")
                               .arg(error);
  QCOMPARE(TakeMessages(), QStringList(answers.size(), question));
  const bool fixed = answers.contains(QStringLiteral("fix"));
  if (leave == Leave::Exit) {
    QCOMPARE(closed, left);
    QCOMPARE(window_->isVisible(), !left);
    QVERIFY(!session_->IsLocked());
  } else {
    QCOMPARE(session_->IsLocked(), left);
    QCOMPARE(Rows(), left ? QStringList() : QStringList{"Two"});
  }
  // Saved when the way was cleared, kept while cancelled, gone only when discarded.
  QCOMPARE(session_->HasUnsavedChanges(), !left);
  QCOMPARE(window_->windowTitle(), left ? QStringLiteral("Corvella 1.0")
                                        : QStringLiteral("Corvella 1.0 (changes not saved)"));
  if (fixed) QCOMPARE(ReadVault(), Describe(NumberedEntries({"One", "Two"}).mid(1)));
}

// ---- Go to Web Page ----

void EntryCommandsTest::webAddress_data() {
  QTest::addColumn<QString>("stored");
  QTest::addColumn<QString>("opened");

  const auto row = [](const char* name, const char* stored, const char* opened) {
    QTest::newRow(name) << QString(stored) << QString(opened);
  };
  row("bare host", "example.com", "http://example.com");
  row("HTTPS in capitals", "HTTPS://X.ORG/Mixed/Case", "HTTPS://X.ORG/Mixed/Case");
  row("another scheme", "ftp://h", "http://ftp://h");
  // No address, no page: the browser is not started.
  row("empty", "", "");
  row("shorter than four", "htt", "http://htt");
  row("mixed case http", "Http://a", "Http://a");
  row("http with path", "http://example.com/p?q=1#f", "http://example.com/p?q=1#f");
  row("httpx is not prefixed", "httpx.example", "httpx.example");
}

void EntryCommandsTest::webAddress() {
  QFETCH(QString, stored);
  QFETCH(QString, opened);

  QVERIFY(WriteAll(SettingsPath(), "[General]\nCopyToClipboard=0\nLockProgram=0\n"));
  QVERIFY(StartUnlocked({{"Site", stored, "user", "pw"}}));
  Select(0);

  ClickTool("webPageActionButton");

  if (opened.isEmpty()) {
    QCOMPARE(TakeMessages(),
             QStringList{QStringLiteral("Information: The entry \"Site\" has no web address")});
    QVERIFY(recorder_.calls.isEmpty());
    QCOMPARE(ClipboardState(), QStringLiteral("empty off"));
    return;
  }
  QCOMPARE(TakeMessages(), QStringList());
  QCOMPARE(recorder_.calls.size(), 1);
  QCOMPARE(recorder_.calls.first().url, QUrl(opened, QUrl::TolerantMode));
  QCOMPARE(ClipboardState(), QStringLiteral("empty off"));
  recorder_.calls.clear();
}

void EntryCommandsTest::webPageCopyOption_data() {
  QTest::addColumn<QByteArray>("value");  // written by another tool while the program runs
  QTest::addColumn<WebTrigger>("trigger");
  QTest::addColumn<bool>("copies");

  QTest::newRow("1, tool button") << QByteArray("1") << WebTrigger::ToolButton << true;
  QTest::newRow("0, tool button") << QByteArray("0") << WebTrigger::ToolButton << false;
  QTest::newRow("true, tool button") << QByteArray("true") << WebTrigger::ToolButton << false;
  QTest::newRow("1, double-click on the row")
      << QByteArray("1") << WebTrigger::DoubleClickRow << true;
  // The empty space below the rows opens nothing and copies nothing.
  QTest::newRow("1, double-click below the last row")
      << QByteArray("1") << WebTrigger::DoubleClickBelow << false;
}

void EntryCommandsTest::webPageCopyOption() {
  QFETCH(QByteArray, value);
  QFETCH(WebTrigger, trigger);
  QFETCH(bool, copies);

  // The form starts with the opposite value, so only a read at the command can find this one.
  QVERIFY(WriteAll(SettingsPath(), QByteArray("[General]\nCopyToClipboard=") +
                                       (copies ? "0" : "1") + "\nLockProgram=0\n"));
  QVERIFY(StartUnlocked(NumberedEntries({"One", "Two", "Three"})));
  QVERIFY(WriteAll(SettingsPath(), "; written by another tool\n[General]\nCopyToClipboard=" +
                                       value + "\nLockProgram=0\n"));
  QGuiApplication::clipboard()->setText(QLatin1String(kElsewhere));

  switch (trigger) {
    case WebTrigger::ToolButton:
      Select(1);
      ClickTool("webPageActionButton");
      break;
    case WebTrigger::DoubleClickRow:
      QTest::mouseDClick(window_->windowHandle(), Qt::LeftButton, {}, RowPoint(1));
      break;
    case WebTrigger::DoubleClickBelow:
      Select(1);
      QTest::mouseDClick(window_->windowHandle(), Qt::LeftButton, {}, RowPoint(-1));
      // Clicks on the empty part of the list leave the selection alone.
      QVERIFY2(SelectedRow() == 1, "The double-click below the last row lost the selection");
      break;
  }

  QCOMPARE(TakeMessages(), QStringList());
  if (trigger == WebTrigger::DoubleClickBelow) {
    QVERIFY(recorder_.calls.isEmpty());
    QCOMPARE(ClipboardState(), QStringLiteral("other off"));
    return;
  }
  QCOMPARE(recorder_.calls.size(), 1);
  const UrlRecorder::Call call = recorder_.calls.takeFirst();
  QCOMPARE(call.url, QUrl(QStringLiteral("https://site1.example/")));
  if (copies) {
    // On the clipboard before the browser was asked.
    QVERIFY2(call.clipboard == QLatin1String("pw 1"), "Not the password at the call");
    QVERIFY(call.secret);
    QCOMPARE(ClipboardState(), QStringLiteral("secret:pw1 on"));
    Tick();
    QCOMPARE(ClipboardState(), QStringLiteral("empty off"));
  } else {
    QCOMPARE(call.clipboard, QLatin1String(kElsewhere));
    QCOMPARE(ClipboardState(), QStringLiteral("other off"));
  }
}

// ---- The clipboard ----

void EntryCommandsTest::clipboard_data() {
  // Each step: "action | state afterwards". Actions: "copy N" and "user N" (Copy password and
  // Copy user name on row N), "menu" (the tray menu opens), "tray N" (its item N), "other" and
  // "back N" (another program puts its text or password N on the clipboard), "tick", "lock".
  QTest::addColumn<QStringList>("steps");

  QTest::newRow("a tick clears the password") << QStringList{
      "copy 0 | secret:pw0 on", "tick | empty off", "copy 1 | secret:pw1 on", "tick | empty off"};
  QTest::newRow("other text stops the countdown")
      << QStringList{"copy 0 | secret:pw0 on", "other | other off", "back 0 | pw0 off"};
  QTest::newRow("a second copy takes over")
      << QStringList{"copy 0 | secret:pw0 on", "copy 1 | secret:pw1 on", "back 0 | pw0 off"};
  QTest::newRow("empty password") << QStringList{"copy 2 | secret:empty on", "tick | empty off"};
  QTest::newRow("user name, timer idle") << QStringList{"user 1 | user1 off"};
  QTest::newRow("user name while a password waits")
      << QStringList{"copy 0 | secret:pw0 on", "user 1 | user1 off"};
  QTest::newRow("lock erases the password")
      << QStringList{"copy 1 | secret:pw1 on", "lock | empty off"};
  QTest::newRow("tray items") << QStringList{"menu | empty off", "tray 1 | secret:pw1 on",
                                             "tray 2 | secret:empty on", "tray 0 | secret:pw0 on",
                                             "tick | empty off"};
  QTest::newRow("tray item built before a lock") << QStringList{
      "menu | empty off", "lock | empty off", "tray 1 | secret:empty on", "tick | empty off"};
  QTest::newRow("tray item after a lock, password waiting")
      << QStringList{"menu | empty off", "copy 0 | secret:pw0 on", "lock | empty off",
                     "tray 0 | secret:empty on", "tick | empty off"};
}

void EntryCommandsTest::clipboard() {
  QFETCH(QStringList, steps);

  QVERIFY(StartUnlocked({{"Alpha", "alpha.example", "alpha user", "alpha pw"},
                         {"Beta", "beta.example", "beta user", "beta pw"},
                         {"Blank", "blank.example", "blank user", ""}}));
  QCOMPARE(ClipboardState(), QStringLiteral("empty off"));
  QCOMPARE(VaultSession::kClearClipboardMs, 10'000);

  QList<QAction*> trayItems;
  for (const QString& step : steps) {
    const QStringList parts = step.split(QStringLiteral(" | "));
    const QStringList action = parts[0].split(u' ');
    const int n = action.size() > 1 ? action[1].toInt() : -1;
    if (action[0] == QLatin1String("copy")) {
      Select(n);
      Trigger("copyPasswordAction");
    } else if (action[0] == QLatin1String("user")) {
      Select(n);
      Trigger("copyUserNameAction");
    } else if (action[0] == QLatin1String("menu")) {
      BuildTrayMenu();
      trayItems = trayMenu_->actions();
    } else if (action[0] == QLatin1String("tray")) {
      QVERIFY(n < trayItems.size());
      trayItems[n]->trigger();
    } else if (action[0] == QLatin1String("other")) {
      QGuiApplication::clipboard()->setText(QLatin1String(kElsewhere));
    } else if (action[0] == QLatin1String("back")) {
      QGuiApplication::clipboard()->setText(vault_[n].password);
    } else if (action[0] == QLatin1String("tick")) {
      Tick();
    } else if (action[0] == QLatin1String("lock")) {
      ClickTool("lockActionButton");
      QVERIFY(session_->IsLocked());
    } else {
      QFAIL(qPrintable("Unknown step " + step));
    }
    QVERIFY2(ClipboardState() == parts.value(1),
             qPrintable(QStringLiteral("after \"%1\": %2").arg(parts[0], ClipboardState())));
  }
  QCOMPARE(TakeMessages(), QStringList());
}

void EntryCommandsTest::secondCopyRestartsCountdown_data() {
  QTest::addColumn<bool>("byTray");
  QTest::newRow("Copy password") << false;
  QTest::newRow("tray item") << true;
}

void EntryCommandsTest::secondCopyRestartsCountdown() {
  QFETCH(bool, byTray);

  QVERIFY(StartUnlocked(NumberedEntries({"One", "Two"})));
  Select(0);
  Trigger("copyPasswordAction");
  QCOMPARE(ClipboardState(), QStringLiteral("secret:pw0 on"));
  const int first = session_->MsUntilClipboardClear();
  QVERIFY2(first > 9'500, qPrintable(QString::number(first)));

  QTest::qWait(400);
  if (byTray) {
    BuildTrayMenu();
    trayMenu_->actions().at(1)->trigger();
  } else {
    Select(1);
    Trigger("copyPasswordAction");
  }
  QCOMPARE(ClipboardState(), QStringLiteral("secret:pw1 on"));
  const int second = session_->MsUntilClipboardClear();
  QVERIFY2(second > first - 300, qPrintable(QStringLiteral("%1 then %2").arg(first).arg(second)));
  Tick();
  QCOMPARE(ClipboardState(), QStringLiteral("empty off"));
}

// ---- The list's shortcut menu ----

void EntryCommandsTest::shortcutMenu_data() {
  QTest::addColumn<bool>("pressed");  // else the menu is asked for without a press (touch, pen)
  QTest::addColumn<int>("selectedBefore");  // -1: none
  QTest::addColumn<int>("clickedRow");      // -1: below the last row
  QTest::addColumn<QString>("item");        // empty: the menu is closed
  QTest::addColumn<int>("selectedAfter");
  QTest::addColumn<QString>("state");  // the clipboard afterwards

  QTest::newRow("row 1, nothing selected")
      << true << -1 << 1 << "copyUserNameAction" << 1 << "user1 off";
  QTest::newRow("row 0, row 2 selected")
      << true << 2 << 0 << "copyPasswordAction" << 0 << "secret:pw0 on";
  QTest::newRow("below the last row keeps row 1")
      << true << 1 << -1 << "copyPasswordAction" << 1 << "secret:pw1 on";
  QTest::newRow("below the last row, nothing selected")
      << true << -1 << -1 << "copyUserNameAction" << -1 << "empty off";
  QTest::newRow("row 2, menu closed") << true << 0 << 2 << "" << 2 << "empty off";
  QTest::newRow("without a press, row 1")
      << false << 0 << 1 << "copyPasswordAction" << 1 << "secret:pw1 on";
  QTest::newRow("without a press, below the last row")
      << false << 2 << -1 << "copyUserNameAction" << 2 << "user2 off";
}

void EntryCommandsTest::shortcutMenu() {
  QFETCH(bool, pressed);
  QFETCH(int, selectedBefore);
  QFETCH(int, clickedRow);
  QFETCH(QString, item);
  QFETCH(int, selectedAfter);
  QFETCH(QString, state);

  QVERIFY(StartUnlocked(NumberedEntries({"One", "Two", "Three"})));
  Select(selectedBefore);

  const QPoint point = RowPoint(clickedRow);
  QString menuName;
  QStringList menuItems;
  int selectedWhileOpen = -2;
  WhenMenuShows([&](QMenu& menu) {
    // The button comes up over the open menu, which takes the release.
    if (pressed) QTest::mouseRelease(window_->windowHandle(), Qt::RightButton, {}, point);
    menuName = menu.objectName();
    for (const QAction* action : menu.actions()) {
      menuItems << action->objectName() + "=" + action->text() +
                       (action->isEnabled() ? QString() : QStringLiteral(" (disabled)"));
    }
    selectedWhileOpen = SelectedRow();
    QAction* chosen = item.isEmpty() ? nullptr : menu.findChild<QAction*>(item);
    if (chosen != nullptr) {
      menu.setActiveAction(chosen);
      QTest::keyClick(&menu, Qt::Key_Return);
    } else {
      QTest::keyClick(&menu, Qt::Key_Escape);
    }
  });
  if (pressed) {
    // A right click as the window system delivers it: the press opens the menu.
    QTest::mousePress(window_->windowHandle(), Qt::RightButton, {}, point);
  } else {
    const QPoint inViewport = list_->viewport()->mapFrom(window_.get(), point);
    QContextMenuEvent request(QContextMenuEvent::Mouse, inViewport,
                              list_->viewport()->mapToGlobal(inViewport));
    QCoreApplication::sendEvent(list_->viewport(), &request);
  }

  QCOMPARE(menuName, QStringLiteral("entryMenu"));
  QCOMPARE(menuItems,
           (QStringList{"copyUserNameAction=Copy user name", "copyPasswordAction=Copy password"}));
  // The row under the pointer is selected before the menu shows.
  QCOMPARE(selectedWhileOpen, selectedAfter);
  QCOMPARE(SelectedRow(), selectedAfter);
  QCOMPARE(ClipboardState(), state);
  QCOMPARE(TakeMessages(), QStringList());
}

// ---- The notification-area menu ----

void EntryCommandsTest::trayMenu_data() {
  QTest::addColumn<TrayState>("state");
  QTest::addColumn<QStringList>("shown");

  const QStringList unlocked{"Zeta", "R&D", "Zeta", "-", "alpha", "<sep>", "Exit"};
  QTest::newRow("unlocked: list order, names literal") << TrayState::Unlocked << unlocked;
  QTest::newRow("locked: Exit alone") << TrayState::LockedAgain << QStringList{"Exit"};
  QTest::newRow("before the first unlock: Exit alone")
      << TrayState::NeverUnlocked << QStringList{"Exit"};
}

void EntryCommandsTest::trayMenu() {
  QFETCH(TrayState, state);
  QFETCH(QStringList, shown);

  WriteVault(NumberedEntries({"Zeta", "R&D", "Zeta", "-", "alpha"}));
  QVERIFY(StartForm());
  if (state != TrayState::NeverUnlocked) QVERIFY(UnlockWith(kVaultPassword));
  // Opened once unlocked, so that a locked menu has items to lose.
  const QStringList unlockedMenu = BuildTrayMenu();
  if (state == TrayState::LockedAgain) ClickTool("lockActionButton");
  QCOMPARE(BuildTrayMenu(), shown);
  if (state == TrayState::Unlocked) {
    QCOMPARE(unlockedMenu, shown);
    // The second "Zeta" copies its own entry's password.
    trayMenu_->actions().at(2)->trigger();
    QCOMPARE(ClipboardState(), QStringLiteral("secret:pw2 on"));
  }
  // Opening the menu again gives the same items, not one more set.
  QCOMPARE(BuildTrayMenu(), shown);
  QCOMPARE(TakeMessages(), QStringList());
}

void EntryCommandsTest::trayExit() {
  QVERIFY(StartUnlocked(NumberedEntries({"One"})));
  BuildTrayMenu();
  QAction* exit = trayMenu_->actions().last();
  QCOMPARE(Drawn(exit->text()), QStringLiteral("Exit"));
  // The test program itself carries on after the window closes.
  const bool quits = QGuiApplication::quitOnLastWindowClosed();
  QGuiApplication::setQuitOnLastWindowClosed(false);
  exit->trigger();
  QGuiApplication::setQuitOnLastWindowClosed(quits);
  QVERIFY(!window_->isVisible());
  QCOMPARE(TakeMessages(), QStringList());
}

}  // namespace corvella

int main(int argc, char** argv) {
  return corvella::test::RunMainWindowTest<corvella::EntryCommandsTest>(argc, argv);
}

#include "EntryCommandsTest.moc"
