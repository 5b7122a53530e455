// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The main window under the real application object: the lock states, refusals travelling
// through the failure handler, and the Options page against a settings file and an autostart
// folder in a temporary home.

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/Error.h"
#include "platform/Autostart.h"
#include "platform/Files.h"
#include "platform/Settings.h"
#include "store/CipherFraming.h"
#include "store/PasswordStore.h"
#include "store/PasswordStream.h"
#include "store/SessionKey.h"
#include "tests/ui/MainWindowTestSupport.h"
#include "ui/Application.h"
#include "ui/EntryEditor.h"
#include "ui/EntryListView.h"
#include "ui/FileDialog.h"
#include "ui/MainWindow.h"
#include "ui/MessageDialog.h"

namespace corvella {
namespace {

using namespace test;

// Types `text` key by key; characters outside ASCII arrive as the text of an unnamed key.
void Type(QWidget* field, const QString& text) {
  for (const QChar c : text) {
    if (c.unicode() < 0x80) {
      QTest::keyClick(field, static_cast<char>(c.unicode()));
    } else {
      QTest::sendKeyEvent(QTest::Click, field, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
  }
}

EntryPtr MakeEntry(const QString& site, const SessionKey& key) {
  auto entry = std::make_shared<Entry>();
  entry->SetSiteName(Bytes(site));
  entry->SetUrl("https://" + Bytes(site.toLower().remove(u' ')) + ".example");
  entry->SetUserName("user of " + Bytes(site));
  entry->SetPassword("pw-" + Bytes(site), key);
  return entry;
}

std::vector<EntryPtr> MakeEntries(const QStringList& sites, const SessionKey& key) {
  std::vector<EntryPtr> entries;
  for (const QString& site : sites) entries.push_back(MakeEntry(site, key));
  return entries;
}

void WriteVault(const std::string& path, const QStringList& sites, std::string_view password) {
  PasswordStore store;
  for (const EntryPtr& entry : MakeEntries(sites, store.Key())) store.AddEntry(entry);
  store.SetMasterPassword(password);
  store.SavePasswordsTo(path);
}

// A file that opens with the right marker but whose last record stops short.
void WriteDamagedVault(const std::string& path, const QStringList& sites,
                       std::string_view password) {
  const SessionKey key;
  SecureBytes stream;
  WritePasswordStream(MakeEntries(sites, key), key, stream);
  stream.resize(stream.size() - 10);
  platform::CreateDirectories(platform::DirectoryOf(path));
  platform::AtomicFileWriter file(path);
  EncryptStreamToFile(stream, file, FileKey::FromMasterPassword(password));
  file.Commit();
}

SecureBytes DecryptVault(const std::string& path, std::string_view password) {
  platform::InputFile file(path);
  SecureBytes stream;
  DecryptFileToStream(file, stream, FileKey::FromMasterPassword(password));
  return stream;
}

QStringList SiteNames(const std::vector<EntryPtr>& entries) {
  QStringList names;
  for (const EntryPtr& entry : entries)
    names << QString::fromStdString(std::string(entry->SiteName()));
  return names;
}

// The settings file and every file of the autostart folder, to show that nothing was written.
QByteArrayList Snapshot(const QString& settingsPath, const QString& autostartDir) {
  QByteArrayList state{ReadAll(settingsPath)};
  const QDir dir(autostartDir);
  for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
    state << name.toUtf8() << ReadAll(dir.filePath(name));
  }
  return state;
}

enum class Submit { OkButton, EnterInFirst, EnterInSecond };
enum class Vault { WithEntries, Damaged, Empty, Windows1252, DeletedAfterShow };
enum class LockState { Unlocked, Locked, Creating, EditorOpen };
enum class LockTrigger { Button, Timer };

}  // namespace
}  // namespace corvella

Q_DECLARE_METATYPE(corvella::Submit)
Q_DECLARE_METATYPE(corvella::Vault)
Q_DECLARE_METATYPE(corvella::LockState)
Q_DECLARE_METATYPE(corvella::LockTrigger)

// Readable stored option values in failure messages.
template <>
inline char* QTest::toString(const std::string& value) {
  return QTest::toString(QByteArray::fromStdString(value));
}

namespace corvella {

class MainWindowTest : public QObject, public MainWindowFixture {
  Q_OBJECT

 private slots:
  void initTestCase();
  void init();
  void cleanup();

  void createMasterPassword_data();
  void createMasterPassword();
  void createRefusedWhenFileAppeared();
  void createFirstSaveFails();

  void unlock_data();
  void unlock();

  void lock_data();
  void lock();

  void refusedWhileLocked_data();
  void refusedWhileLocked();

  void storedFlags_data();
  void storedFlags();
  void storedLockTime_data();
  void storedLockTime();
  void optionsThatFailToLoad_data();
  void optionsThatFailToLoad();
  void webPageWithInvalidOption();
  void pickLockTime();
  void pageSwitchShowsAutostartEntry_data();
  void pageSwitchShowsAutostartEntry();
  void loadOnStartupClicks();
  void importFromOptions_data();
  void importFromOptions();

  void longListFitsTheWindow();

 private:
  // The form and the controls the tests drive.
  struct Controls {
    QStackedWidget* pages = nullptr;
    EntryListView* list = nullptr;
    QAbstractButton* passwordsButton = nullptr;
    QAbstractButton* optionsButton = nullptr;
    QCheckBox* copyBox = nullptr;
    QCheckBox* lockBox = nullptr;
    QComboBox* timeBox = nullptr;
    QCheckBox* startupBox = nullptr;
    QWidget* createPanel = nullptr;
    SecretField* newPassword1 = nullptr;
    SecretField* newPassword2 = nullptr;
    QPushButton* createOk = nullptr;
    QWidget* unlockPanel = nullptr;
    SecretField* unlockField = nullptr;
    QPushButton* unlockOk = nullptr;
  };

  // Starts the window and finds its controls.
  bool StartForm();
  void Click(QAbstractButton* button);
  void ClickNamed(const QString& buttonName);
  void PickTime(const QString& text);
  QStringList ListRows() const;
  // Whether the session's next save writes the password file under `password`.
  bool SavesUnder(const std::string& password);

  QString AutostartDir() const { return Path("config/autostart"); }
  QString AutostartEntry() const { return Path("config/autostart/Corvella.desktop"); }
  bool WriteSettings(const QByteArray& lines) {
    return WriteAll(SettingsPath(), "[General]\n" + lines);
  }

  Controls ui_;
};

void MainWindowTest::initTestCase() { DropOffscreenWarnings(); }

void MainWindowTest::init() {
  SetUpHome();
  ui_ = {};
}

void MainWindowTest::cleanup() {
  ui_ = {};
  TearDownHome();
}

bool MainWindowTest::StartForm() {
  if (!StartWindow()) return false;

  bool found = true;
  const auto find = [&found](auto*& control, QObject* parent, const char* name) {
    using Control = std::remove_pointer_t<std::remove_reference_t<decltype(control)>>;
    control = parent == nullptr ? nullptr : parent->findChild<Control*>(QLatin1String(name));
    if (control == nullptr) {
      qWarning("No control %s", name);
      found = false;
    }
  };
  find(ui_.pages, window_.get(), "pages");
  find(ui_.list, window_.get(), "entryList");
  find(ui_.passwordsButton, window_.get(), "passwordsButton");
  find(ui_.optionsButton, window_.get(), "optionsButton");
  find(ui_.copyBox, window_.get(), "copyPasswordBox");
  find(ui_.lockBox, window_.get(), "lockProgramBox");
  find(ui_.timeBox, window_.get(), "lockTimeBox");
  find(ui_.startupBox, window_.get(), "loadOnStartupBox");
  find(ui_.createPanel, window_.get(), "createPasswordPanel");
  find(ui_.newPassword1, ui_.createPanel, "passwordEdit");
  find(ui_.newPassword2, ui_.createPanel, "repeatEdit");
  find(ui_.createOk, ui_.createPanel, "okButton");
  find(ui_.unlockPanel, window_.get(), "unlockPanel");
  find(ui_.unlockField, ui_.unlockPanel, "passwordEdit");
  find(ui_.unlockOk, ui_.unlockPanel, "okButton");
  return found;
}

void MainWindowTest::Click(QAbstractButton* button) {
  // Near the left edge: a check box only takes clicks on its indicator and its text.
  QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(5, button->height() / 2));
}

void MainWindowTest::ClickNamed(const QString& buttonName) {
  auto* button = window_->findChild<QToolButton*>(buttonName);
  QVERIFY2(button != nullptr && button->isVisible(), qPrintable(buttonName));
  QTest::mouseClick(button, Qt::LeftButton);
}

// Picks an item from the open drop-down list, as a user does; the current one counts too.
void MainWindowTest::PickTime(const QString& text) {
  const int index = ui_.timeBox->findText(text);
  QVERIFY(index >= 0);
  ui_.timeBox->showPopup();
  QAbstractItemView* view = ui_.timeBox->view();
  QTRY_VERIFY(view->isVisible());
  view->setCurrentIndex(view->model()->index(index, 0));
  QTest::keyClick(view, Qt::Key_Return);
  QTRY_VERIFY(!view->isVisible());
}

bool MainWindowTest::SavesUnder(const std::string& password) {
  session_->AddEntry({"probe", "", "", SecureString("probe pw")});
  PasswordStore reopened;
  reopened.SetMasterPassword(password);
  try {
    return reopened.LoadPasswordsFrom(VaultPath()) == LoadResult::Loaded &&
           reopened.Entries().back()->SiteName() == "probe";
  } catch (const Error&) {
    return false;
  }
}

QStringList MainWindowTest::ListRows() const {
  QStringList rows;
  const QAbstractItemModel* model = ui_.list->model();
  for (int row = 0; row < model->rowCount(); ++row) {
    rows << model->index(row, 0).data().toString();
  }
  return rows;
}

// ---- Creating the master password ----

void MainWindowTest::createMasterPassword_data() {
  QTest::addColumn<QString>("first");
  QTest::addColumn<QString>("second");
  QTest::addColumn<Submit>("submit");
  QTest::addColumn<QString>("refusal");  // empty: accepted

  const auto row = [](const char* tag, const char* first, const char* second, Submit submit,
                      const char* refusal) {
    QTest::newRow(tag) << QString::fromUtf8(first) << QString::fromUtf8(second) << submit
                       << QString::fromUtf8(refusal);
  };
  row("different", "secret-one", "secret-two", Submit::OkButton, kMismatch);
  row("different and both short: mismatch first", "abc", "abd", Submit::EnterInFirst, kMismatch);
  row("one letter's case differs", "Secret-one", "secret-one", Submit::EnterInSecond, kMismatch);
  row("second empty", "secret-one", "", Submit::OkButton, kMismatch);
  row("five bytes", "12345", "12345", Submit::OkButton, kTooShort);
  row("both empty", "", "", Submit::EnterInSecond, kTooShort);
  row("six bytes", "123456", "123456", Submit::OkButton, "");
  row("three letters of two bytes each", "äöü", "äöü", Submit::EnterInFirst, "");
  row("long, with blanks", " a b c d e f g ", " a b c d e f g ", Submit::EnterInSecond, "");
}

void MainWindowTest::createMasterPassword() {
  QFETCH(QString, first);
  QFETCH(QString, second);
  QFETCH(Submit, submit);
  QFETCH(QString, refusal);

  QVERIFY(StartForm());
  QVERIFY(ui_.createPanel->isVisible());
  QVERIFY(!ui_.unlockPanel->isVisible());
  QCOMPARE(window_->focusWidget(), ui_.newPassword1);

  Type(ui_.newPassword1, first);
  Type(ui_.newPassword2, second);
  switch (submit) {
    case Submit::OkButton:
      QTest::mouseClick(ui_.createOk, Qt::LeftButton);
      break;
    case Submit::EnterInFirst:
      QTest::keyClick(ui_.newPassword1, Qt::Key_Return);
      break;
    case Submit::EnterInSecond:
      QTest::keyClick(ui_.newPassword2, Qt::Key_Return);
      break;
  }

  if (!refusal.isEmpty()) {
    QCOMPARE(TakeMessages(), QStringList{refusal});
    QVERIFY(ui_.newPassword1->IsEmpty());
    QVERIFY(ui_.newPassword2->IsEmpty());
    QCOMPARE(window_->focusWidget(), ui_.newPassword1);
    QVERIFY(ui_.createPanel->isVisible());
    QVERIFY(session_->IsLocked());
    QVERIFY_THROWS_EXCEPTION(Error, session_->RequireUnlocked());
    QVERIFY(!QFile::exists(QString::fromStdString(VaultPath())));
    return;
  }

  QCOMPARE(TakeMessages(), QStringList());
  QVERIFY(!session_->IsLocked());
  QVERIFY(!ui_.createPanel->isVisible());
  QVERIFY(!ui_.unlockPanel->isVisible());
  session_->RequireUnlocked();
  QCOMPARE(ListRows(), QStringList());
  QVERIFY(session_->Entries().empty());

  // The new file holds the marker alone, under the new master password.
  QCOMPARE(QFileInfo(QString::fromStdString(VaultPath())).size(), 3);
  const SecureBytes stream = DecryptVault(VaultPath(), Bytes(first));
  QVERIFY(std::string(stream.begin(), stream.end()) == kStreamMarker);
  PasswordStore reopened;
  reopened.SetMasterPassword(Bytes(first));
  QVERIFY(reopened.LoadPasswordsFrom(VaultPath()) == LoadResult::Loaded);
  QVERIFY(reopened.Entries().empty());
}

void MainWindowTest::createRefusedWhenFileAppeared() {
  QVERIFY(StartForm());
  QVERIFY(ui_.createPanel->isVisible());
  // Another copy of the program created a password file meanwhile.
  WriteVault(VaultPath(), {"Theirs"}, kVaultPassword);
  const QByteArray theirs = ReadAll(QString::fromStdString(VaultPath()));

  Type(ui_.newPassword1, "mine-123");
  Type(ui_.newPassword2, "mine-123");
  QTest::keyClick(ui_.newPassword2, Qt::Key_Return);

  const QStringList messages = TakeMessages();
  QCOMPARE(messages.size(), 1);
  QVERIFY2(QRegularExpression(
               QStringLiteral(R"(^Information: Assertion failure \(VaultSession, line \d+\)$)"))
               .match(messages.first())
               .hasMatch(),
           qPrintable(messages.first()));
  QCOMPARE(ReadAll(QString::fromStdString(VaultPath())), theirs);
  QCOMPARE(QDir(Path("data/Corvella")).entryList(QDir::Files | QDir::Hidden),
           QStringList{QStringLiteral("Passwords.dat")});
  QVERIFY(session_->IsLocked());
  QVERIFY_THROWS_EXCEPTION(Error, session_->RequireUnlocked());
  QVERIFY(ui_.createPanel->isVisible());
  // A refused command is refused the usual way, not run against their file.
  ClickNamed(QStringLiteral("newPasswordActionButton"));
  QCOMPARE(TakeMessages(), QStringList{kUnlockFirst});
}

void MainWindowTest::createFirstSaveFails() {
  // The folder of the password file cannot be made: a file stands where it would be.
  const QString blocker = Path("data/Corvella");
  QVERIFY(WriteAll(blocker, "not a folder"));
  QVERIFY(StartForm());
  QVERIFY(ui_.createPanel->isVisible());

  Type(ui_.newPassword1, "first-try");
  Type(ui_.newPassword2, "first-try");
  QTest::mouseClick(ui_.createOk, Qt::LeftButton);

  // The message of the save's own error: it names the folder that cannot be made.
  PasswordStore probe;
  probe.SetMasterPassword("probe-1");
  QString saveError;
  try {
    probe.SavePasswordsTo(VaultPath());
  } catch (const Error& error) {
    saveError = QString::fromUtf8(error.what());
  }
  QCOMPARE(saveError, "Cannot create folder \"" + blocker + "\". Not a directory");
  QCOMPARE(TakeMessages(), QStringList{QStringLiteral("Information: ") + saveError});
  QVERIFY(session_->IsLocked());
  QVERIFY_THROWS_EXCEPTION(Error, session_->RequireUnlocked());
  QVERIFY(ui_.createPanel->isVisible());
  QVERIFY(ui_.newPassword1->Secret().View() == "first-try");
  QVERIFY(ui_.newPassword2->Secret().View() == "first-try");
  QCOMPARE(ReadAll(blocker), QByteArray("not a folder"));

  // Once the way is clear, OK again succeeds with the same fields.
  QVERIFY(QFile::remove(blocker));
  QTest::mouseClick(ui_.createOk, Qt::LeftButton);
  QCOMPARE(TakeMessages(), QStringList());
  QVERIFY(!session_->IsLocked());
  QVERIFY(!ui_.createPanel->isVisible());
  QCOMPARE(DecryptVault(VaultPath(), "first-try").size(), 3u);
}

// ---- Unlocking ----

void MainWindowTest::unlock_data() {
  QTest::addColumn<Vault>("vault");
  QTest::addColumn<QString>("typed");
  QTest::addColumn<Submit>("submit");
  QTest::addColumn<QString>("message");  // "{path}" stands for the password file
  QTest::addColumn<QStringList>("listed");
  QTest::addColumn<QByteArray>("masterPassword");  // kept afterwards; empty while locked

  const QString right = QString::fromUtf8(kVaultPassword.data(), qsizetype(kVaultPassword.size()));
  const QStringList sites{"Zeta Bank", "alpha mail", "Mid Shop"};
  const QByteArray rightBytes(kVaultPassword.data(), qsizetype(kVaultPassword.size()));
  const QString notFound = QStringLiteral(
      "Error: Password file {path} not found.\n\nRestore the file from backup and restart the "
      "program or enter a new master password to create a new password file");

  QTest::newRow("right password, OK")
      << Vault::WithEntries << right << Submit::OkButton << "" << sites << rightBytes;
  QTest::newRow("right password, Enter")
      << Vault::WithEntries << right << Submit::EnterInFirst << "" << sites << rightBytes;
  QTest::newRow("wrong password") << Vault::WithEntries << right.chopped(1) << Submit::EnterInFirst
                                  << kInvalidMasterPassword << QStringList() << QByteArray();
  QTest::newRow("empty field") << Vault::WithEntries << "" << Submit::OkButton
                               << kInvalidMasterPassword << QStringList() << QByteArray();
  const QString damaged = QStringLiteral(
      "Error: The password file {path} is damaged and cannot be read.\n\nRestore the file from "
      "backup and restart the program.");
  // The file, not the password, is at fault: a message of its own, whatever was typed.
  QTest::newRow("record cut short") << Vault::Damaged << right << Submit::EnterInFirst << damaged
                                    << QStringList() << QByteArray();
  QTest::newRow("record cut short, wrong password")
      << Vault::Damaged << right.chopped(1) << Submit::EnterInFirst << kInvalidMasterPassword
      << QStringList() << QByteArray();
  QTest::newRow("empty file") << Vault::Empty << right << Submit::EnterInFirst << damaged
                              << QStringList() << QByteArray();
  QTest::newRow("file made on Windows")
      << Vault::Windows1252 << QStringLiteral("Pässwort-1") << Submit::EnterInFirst << "" << sites
      << QByteArray("P\xe4sswort-1");
  QTest::newRow("file gone since the panel showed")
      << Vault::DeletedAfterShow << QStringLiteral("anything-9") << Submit::EnterInFirst << notFound
      << QStringList() << QByteArray("anything-9");
  QTest::newRow("file gone, empty field") << Vault::DeletedAfterShow << "" << Submit::OkButton
                                          << notFound << QStringList() << QByteArray();
}

void MainWindowTest::unlock() {
  QFETCH(Vault, vault);
  QFETCH(QString, typed);
  QFETCH(Submit, submit);
  QFETCH(QString, message);
  QFETCH(QStringList, listed);
  QFETCH(QByteArray, masterPassword);

  const QStringList sites{"Zeta Bank", "alpha mail", "Mid Shop"};
  switch (vault) {
    case Vault::WithEntries:
    case Vault::DeletedAfterShow:
      WriteVault(VaultPath(), sites, kVaultPassword);
      break;
    case Vault::Damaged:
      WriteDamagedVault(VaultPath(), sites, kVaultPassword);
      break;
    case Vault::Windows1252:
      WriteVault(VaultPath(), sites, "P\xe4sswort-1");
      break;
    case Vault::Empty:
      QVERIFY(WriteAll(QString::fromStdString(VaultPath()), QByteArray()));
      break;
  }
  QVERIFY(StartForm());
  QVERIFY(ui_.unlockPanel->isVisible());
  QVERIFY(!ui_.createPanel->isVisible());
  QCOMPARE(window_->focusWidget(), ui_.unlockField);
  if (vault == Vault::DeletedAfterShow) QVERIFY(QFile::remove(QString::fromStdString(VaultPath())));

  Type(ui_.unlockField, typed);
  if (submit == Submit::OkButton) {
    QTest::mouseClick(ui_.unlockOk, Qt::LeftButton);
  } else {
    QTest::keyClick(ui_.unlockField, Qt::Key_Return);
  }

  message.replace(QStringLiteral("{path}"), QString::fromStdString(VaultPath()));
  QCOMPARE(TakeMessages(), message.isEmpty() ? QStringList() : QStringList{message});
  QVERIFY(ui_.unlockField->IsEmpty());
  const bool unlocked = message.isEmpty() || vault == Vault::DeletedAfterShow;
  QCOMPARE(session_->IsLocked(), !unlocked);
  QCOMPARE(ui_.unlockPanel->isVisible(), !unlocked);
  QCOMPARE(ListRows(), listed);
  QCOMPARE(SiteNames(session_->Entries()), listed);
  if (unlocked && !masterPassword.isEmpty()) {
    session_->RequireUnlocked();
    // The master password kept is the one that opened the file, in the bytes that did.
    QVERIFY(SavesUnder(masterPassword.toStdString()));
    return;
  }
  QVERIFY_THROWS_EXCEPTION(Error, session_->RequireUnlocked());
  if (unlocked) {
    // Unlocked without a master password: the entry commands are still refused.
    for (const char* command : {"newPasswordActionButton", "webPageActionButton",
                                "editActionButton", "deleteActionButton"}) {
      ClickNamed(QLatin1String(command));
      QCOMPARE(TakeMessages(), QStringList{kUnlockFirst});
    }
    // Lock leaves that state for the ordinary lock.
    ClickNamed(QStringLiteral("lockActionButton"));
    QVERIFY(session_->IsLocked());
    QVERIFY(ui_.unlockPanel->isVisible());
  }
}

// ---- Locking ----

void MainWindowTest::lock_data() {
  QTest::addColumn<LockState>("state");
  QTest::addColumn<LockTrigger>("trigger");
  QTest::addColumn<bool>("lockProgramTicked");
  QTest::addColumn<bool>("locks");

  QTest::newRow("button, unlocked") << LockState::Unlocked << LockTrigger::Button << true << true;
  QTest::newRow("button, unlocked, box unticked")
      << LockState::Unlocked << LockTrigger::Button << false << true;
  QTest::newRow("timer, unlocked") << LockState::Unlocked << LockTrigger::Timer << true << true;
  QTest::newRow("timer, unlocked, box unticked")
      << LockState::Unlocked << LockTrigger::Timer << false << false;
  QTest::newRow("button, locked") << LockState::Locked << LockTrigger::Button << true << false;
  QTest::newRow("timer, locked") << LockState::Locked << LockTrigger::Timer << true << false;
  QTest::newRow("button, creating") << LockState::Creating << LockTrigger::Button << true << false;
  QTest::newRow("timer, creating") << LockState::Creating << LockTrigger::Timer << true << false;
  QTest::newRow("button, editor open")
      << LockState::EditorOpen << LockTrigger::Button << true << false;
  QTest::newRow("timer, editor open")
      << LockState::EditorOpen << LockTrigger::Timer << true << false;
}

void MainWindowTest::lock() {
  QFETCH(LockState, state);
  QFETCH(LockTrigger, trigger);
  QFETCH(bool, lockProgramTicked);
  QFETCH(bool, locks);

  QVERIFY(WriteSettings(QByteArray("CopyToClipboard=1\nLockProgram=") +
                        (lockProgramTicked ? "1" : "0") + "\n"));
  if (state != LockState::Creating) WriteVault(VaultPath(), {"One", "Two"}, kVaultPassword);
  QVERIFY(StartForm());
  QCOMPARE(ui_.lockBox->isChecked(), lockProgramTicked);
  const bool unlocked = state == LockState::Unlocked || state == LockState::EditorOpen;
  if (unlocked) QVERIFY(UnlockWith(kVaultPassword));
  const EntryPtr kept = unlocked ? session_->Entries().front() : nullptr;
  if (state == LockState::EditorOpen) session_->SetEditing(true);
  ui_.list->setFocus();

  const auto fire = [&] {
    if (trigger == LockTrigger::Button) {
      ClickNamed(QStringLiteral("lockActionButton"));
    } else {
      session_->OnLockTimeout();
    }
  };
  const auto verifyLocked = [&] {
    QVERIFY(session_->IsLocked());
    QVERIFY(ui_.unlockPanel->isVisible());
    QCOMPARE(window_->focusWidget(), ui_.unlockField);
    QCOMPARE(ListRows(), QStringList());
    QVERIFY(session_->Entries().empty());
    QVERIFY_THROWS_EXCEPTION(Error, session_->RequireUnlocked());
    // A copy kept elsewhere is wiped, not left readable.
    QVERIFY(kept->SiteName().empty() && kept->Url().empty() && kept->UserName().empty() &&
            kept->EncryptedPassword().empty());
  };

  fire();
  QCOMPARE(TakeMessages(), QStringList());
  if (locks) {
    verifyLocked();
    return;
  }
  // Nothing changed.
  QCOMPARE(session_->IsLocked(), !unlocked);
  QCOMPARE(ui_.unlockPanel->isVisible(), state == LockState::Locked);
  QCOMPARE(ui_.createPanel->isVisible(), state == LockState::Creating);
  QCOMPARE(window_->focusWidget(), ui_.list);
  if (unlocked) {
    QCOMPARE(ListRows(), (QStringList{"One", "Two"}));
    QVERIFY(kept->SiteName() == "One");
    session_->RequireUnlocked();
  }
  if (state == LockState::EditorOpen) {
    // Once the editor has gone, the same trigger locks.
    session_->SetEditing(false);
    fire();
    QCOMPARE(TakeMessages(), QStringList());
    verifyLocked();
  }
}

// ---- Commands refused while locked ----

void MainWindowTest::refusedWhileLocked_data() {
  QTest::addColumn<QString>("command");
  QTest::addColumn<bool>("creating");
  QTest::addColumn<bool>("focusInList");  // else where the panel put it

  QTest::newRow("Ctrl+N in the unlock field") << "Ctrl+N" << false << false;
  QTest::newRow("Ctrl+N in the list") << "Ctrl+N" << false << true;
  for (const char* button : {"newPasswordActionButton", "webPageActionButton", "editActionButton",
                             "deleteActionButton"}) {
    QTest::newRow(button) << button << false << true;
  }
  QTest::newRow("Ctrl+N, creating") << "Ctrl+N" << true << false;
  QTest::newRow("Delete, creating") << "deleteActionButton" << true << true;
}

void MainWindowTest::refusedWhileLocked() {
  QFETCH(QString, command);
  QFETCH(bool, creating);
  QFETCH(bool, focusInList);

  if (!creating) WriteVault(VaultPath(), {"One"}, kVaultPassword);
  QVERIFY(StartForm());
  QVERIFY(ui_.unlockPanel->isVisible() == !creating);
  // Elsewhere, the handler has to bring the focus back.
  if (focusInList) ui_.list->setFocus();
  QWidget* const focusBefore = window_->focusWidget();

  if (command == QLatin1String("Ctrl+N")) {
    QTest::keyClick(window_.get(), Qt::Key_N, Qt::ControlModifier);
  } else {
    ClickNamed(command);
  }

  QCOMPARE(TakeMessages(), QStringList{kUnlockFirst});
  // Only the unlock field takes the focus back; the creation panel keeps it where it was.
  QCOMPARE(window_->focusWidget(), creating ? focusBefore : ui_.unlockField);
  QVERIFY(session_->IsLocked());
  QVERIFY(!qobject_cast<EntryEditor*>(QApplication::activeModalWidget()));
}

// ---- Options ----

void MainWindowTest::storedFlags_data() {
  QTest::addColumn<QByteArray>("lines");  // what the settings file holds for both flags
  QTest::addColumn<bool>("ticked");

  QTest::newRow("1") << QByteArray("CopyToClipboard=1\nLockProgram=1\n") << true;
  QTest::newRow("0") << QByteArray("CopyToClipboard=0\nLockProgram=0\n") << false;
  QTest::newRow("01") << QByteArray("CopyToClipboard=01\nLockProgram=01\n") << false;
  QTest::newRow("true") << QByteArray("CopyToClipboard=true\nLockProgram=true\n") << false;
  QTest::newRow("empty") << QByteArray("CopyToClipboard=\nLockProgram=\n") << false;
  QTest::newRow("missing") << QByteArray("LockTime=20\n") << false;
  QTest::newRow("no file") << QByteArray() << false;
}

void MainWindowTest::storedFlags() {
  QFETCH(QByteArray, lines);
  QFETCH(bool, ticked);

  if (!lines.isNull()) QVERIFY(WriteSettings(lines));
  const QByteArray before = ReadAll(SettingsPath());
  const std::string lockTime = settings_->ReadSetting("LockTime");

  QVERIFY(StartForm());
  QCOMPARE(ui_.copyBox->isChecked(), ticked);
  QCOMPARE(ui_.lockBox->isChecked(), ticked);
  if (ticked) {
    QCOMPARE(ReadAll(SettingsPath()), before);
  } else {
    QCOMPARE(settings_->ReadSetting("CopyToClipboard"), std::string("0"));
    QCOMPARE(settings_->ReadSetting("LockProgram"), std::string("0"));
    QCOMPARE(settings_->ReadSetting("LockTime"), lockTime);
  }
  QCOMPARE(TakeMessages(), QStringList());
}

void MainWindowTest::storedLockTime_data() {
  QTest::addColumn<QByteArray>("line");
  QTest::addColumn<QString>("stored");  // as the settings read it back
  QTest::addColumn<QString>("selected");
  QTest::addColumn<int>("periodMs");

  const auto row = [](const char* tag, const char* line, const char* stored, const char* selected,
                      int periodMs) {
    QTest::newRow(tag) << QByteArray(line) << QString::fromUtf8(stored)
                       << QString::fromUtf8(selected) << periodMs;
  };
  row("1", "LockTime=1", "1", "1", 60'000);
  row("60", "LockTime=60", "60", "60", 3'600'000);
  row("40", "LockTime=40", "40", "40", 2'400'000);
  row("15", "LockTime=15", "15", "10", 600'000);
  row("010", "LockTime=010", "010", "10", 600'000);
  row("leading blank", "LockTime=\" 10\"", " 10", "10", 600'000);
  // Neither trimmed nor read as a number: either would pick another item.
  row("05", "LockTime=05", "05", "10", 600'000);
  row("blank, 20", "LockTime=\" 20\"", " 20", "10", 600'000);
  row("empty", "LockTime=", "", "10", 600'000);
  row("missing", nullptr, "", "10", 600'000);
}

void MainWindowTest::storedLockTime() {
  QFETCH(QByteArray, line);
  QFETCH(QString, stored);
  QFETCH(QString, selected);
  QFETCH(int, periodMs);

  // Both flags "1", so that loading has no reason to write anything.
  QVERIFY(WriteSettings("CopyToClipboard=1\nLockProgram=1\n" + line + "\n"));
  QCOMPARE(settings_->ReadSetting("LockTime"), Bytes(stored));
  const QByteArray before = ReadAll(SettingsPath());

  QVERIFY(StartForm());
  QCOMPARE(ui_.timeBox->currentText(), selected);
  QCOMPARE(session_->LockPeriodMs(), periodMs);
  QVERIFY(session_->MsUntilLock() >= 0);
  QCOMPARE(ReadAll(SettingsPath()), before);
  QCOMPARE(TakeMessages(), QStringList());
}

void MainWindowTest::optionsThatFailToLoad_data() {
  QTest::addColumn<QByteArray>("lines");  // null: the settings folder is a file
  QTest::addColumn<QString>("message");   // "{file}" stands for the settings file
  QTest::addColumn<bool>("copyTicked");
  QTest::addColumn<bool>("lockTicked");
  QTest::addColumn<QString>("lockTime");
  QTest::addColumn<QByteArray>("storedAfter");  // empty: not checked

  // A value of the wrong type is told of once, naming the file and the value, and reset to its
  // default; the other options load as stored.
  const auto invalid = [](const char* name, const char* value) {
    return QStringLiteral(
               "Information: The settings file {file} held an invalid value for '%1'; "
               "it was reset to \"%2\".")
        .arg(QLatin1String(name), QLatin1String(value));
  };
  QTest::newRow("CopyToClipboard a list")
      << QByteArray("CopyToClipboard=0, 1\nLockProgram=1\nLockTime=1\n")
      << invalid("CopyToClipboard", "0") << false << true << "1" << QByteArray("CopyToClipboard=0");
  QTest::newRow("LockProgram a list")
      << QByteArray("CopyToClipboard=1\nLockProgram=a, b\n") << invalid("LockProgram", "0") << true
      << false << "10" << QByteArray("LockProgram=0");
  QTest::newRow("LockTime a list")
      << QByteArray("CopyToClipboard=1\nLockProgram=0\nLockTime=1, 2\n")
      << invalid("LockTime", "10") << true << false << "10" << QByteArray("LockTime=10");
  // Loading stops at a value it cannot write: later options keep their first states.
  QTest::newRow("settings cannot be written")
      << QByteArray()
      << "Information: Failed to set data for 'CopyToClipboard' in the settings file {file}"
      << false << true << "10" << QByteArray();
}

void MainWindowTest::optionsThatFailToLoad() {
  QFETCH(QByteArray, lines);
  QFETCH(QString, message);
  QFETCH(bool, copyTicked);
  QFETCH(bool, lockTicked);
  QFETCH(QString, lockTime);
  QFETCH(QByteArray, storedAfter);

  if (lines.isNull()) {
    QVERIFY(WriteAll(Path("config/Corvella"), "not a folder"));
  } else {
    QVERIFY(WriteSettings(lines));
  }
  WriteVault(VaultPath(), {"One"}, kVaultPassword);
  QVERIFY(StartForm());
  message.replace(QStringLiteral("{file}"), SettingsPath());
  QCOMPARE(TakeMessages(), QStringList{message});
  QCOMPARE(ui_.copyBox->isChecked(), copyTicked);
  QCOMPARE(ui_.lockBox->isChecked(), lockTicked);
  QCOMPARE(ui_.timeBox->currentText(), lockTime);
  QCOMPARE(session_->LockPeriodMs(),
           lines.isNull() ? VaultSession::kLockTimerStartMs : lockTime.toInt() * 60'000);
  QCOMPARE(window_->focusWidget(), ui_.unlockField);
  if (!storedAfter.isEmpty()) QVERIFY(ReadAll(SettingsPath()).contains(storedAfter + "\n"));
}

void MainWindowTest::webPageWithInvalidOption() {
  WriteVault(VaultPath(), {"One"}, kVaultPassword);
  QVERIFY(StartForm());
  QVERIFY(UnlockWith(kVaultPassword));
  // Another tool writes a list where a flag belongs: told of once, and the page opens each time.
  QVERIFY(WriteSettings("CopyToClipboard=a, b\nLockProgram=1\n"));
  ui_.list->setCurrentIndex(ui_.list->model()->index(0, 0));
  QList<QUrl> opened;
  UrlRecorder recorder;
  QDesktopServices::setUrlHandler(QStringLiteral("https"), &recorder, "open");
  const auto unset =
      qScopeGuard([] { QDesktopServices::unsetUrlHandler(QStringLiteral("https")); });
  ClickNamed(QStringLiteral("webPageActionButton"));
  ClickNamed(QStringLiteral("webPageActionButton"));
  QCOMPARE(recorder.calls.size(), 2);
  QCOMPARE(TakeMessages(),
           QStringList{QStringLiteral("Information: The settings file %1 held an invalid value for "
                                      "'CopyToClipboard'; it was reset to \"0\".")
                           .arg(SettingsPath())});
}

void MainWindowTest::pickLockTime() {
  WriteVault(VaultPath(), {"One"}, kVaultPassword);
  QVERIFY(StartForm());
  QVERIFY(UnlockWith(kVaultPassword));
  Click(ui_.optionsButton);
  QVERIFY(ui_.timeBox->isVisible());
  QCOMPARE(ui_.timeBox->currentText(), QStringLiteral("10"));
  QCOMPARE(session_->LockPeriodMs(), 600'000);

  // By keyboard: Home selects the first item, "1".
  ui_.timeBox->setFocus();
  QTest::keyClick(ui_.timeBox, Qt::Key_Home);
  QCOMPARE(ui_.timeBox->currentText(), QStringLiteral("1"));
  QCOMPARE(session_->LockPeriodMs(), 60'000);
  QVERIFY(session_->MsUntilLock() >= 0);
  QVERIFY(session_->MsUntilLock() > 59'000);
  QCOMPARE(settings_->ReadSetting("LockTime"), std::string("1"));

  // The same value again does not start the count anew. It is chosen here without input, which
  // starts the count anew by itself; more than a second has to pass before a restart would show.
  QTest::qWait(1'200);
  const int remaining = session_->MsUntilLock();
  QVERIFY2(remaining < 59'500, qPrintable(QString::number(remaining)));
  emit ui_.timeBox->activated(ui_.timeBox->currentIndex());
  QCOMPARE(ui_.timeBox->currentText(), QStringLiteral("1"));
  QCOMPARE(session_->LockPeriodMs(), 60'000);
  QVERIFY2(session_->MsUntilLock() <= remaining,
           qPrintable(QString::number(session_->MsUntilLock())));
  QCOMPARE(settings_->ReadSetting("LockTime"), std::string("1"));

  // A different value does.
  PickTime(QStringLiteral("2"));
  QCOMPARE(session_->LockPeriodMs(), 120'000);
  QVERIFY(session_->MsUntilLock() > 119'000);
  QCOMPARE(settings_->ReadSetting("LockTime"), std::string("2"));
  PickTime(QStringLiteral("1"));

  // The choice is there at the next start.
  windowUnderTest = nullptr;
  window_.reset();
  session_.reset();
  ui_ = {};
  QVERIFY(StartForm());
  QCOMPARE(ui_.timeBox->currentText(), QStringLiteral("1"));
  QCOMPARE(session_->LockPeriodMs(), 60'000);
  QCOMPARE(TakeMessages(), QStringList());
}

void MainWindowTest::pageSwitchShowsAutostartEntry_data() {
  QTest::addColumn<QByteArray>("entry");  // written by another tool; null: none
  QTest::addColumn<bool>("ticked");

  QTest::newRow("none") << QByteArray() << false;
  QTest::newRow("entry") << QByteArray(
                                "[Desktop Entry]\nType=Application\nName=Corvella\n"
                                "Exec=\"/elsewhere/corvella\"\n")
                         << true;
  QTest::newRow("switched off") << QByteArray(
                                       "[Desktop Entry]\nType=Application\n"
                                       "Exec=\"/opt/corvella/bin/corvella\"\nHidden=true\n")
                                << false;
}

void MainWindowTest::pageSwitchShowsAutostartEntry() {
  QFETCH(QByteArray, entry);
  QFETCH(bool, ticked);

  WriteVault(VaultPath(), {"One"}, kVaultPassword);
  QVERIFY(StartForm());
  QVERIFY(UnlockWith(kVaultPassword));
  // Ours, then removed by another tool while the Passwords page shows.
  Click(ui_.optionsButton);
  Click(ui_.startupBox);
  QVERIFY(ui_.startupBox->isChecked());
  QVERIFY(autostart_->IsInStartup());
  Click(ui_.passwordsButton);
  QVERIFY(QFile::remove(AutostartEntry()));
  if (!entry.isNull()) QVERIFY(WriteAll(AutostartEntry(), entry));
  const QByteArrayList before = Snapshot(SettingsPath(), AutostartDir());

  Click(ui_.optionsButton);
  QCOMPARE(ui_.pages->currentIndex(), 1);
  QCOMPARE(ui_.startupBox->isChecked(), ticked);
  Click(ui_.passwordsButton);
  QCOMPARE(ui_.pages->currentIndex(), 0);
  Click(ui_.optionsButton);
  QCOMPARE(ui_.startupBox->isChecked(), ticked);

  QCOMPARE(Snapshot(SettingsPath(), AutostartDir()), before);
  QCOMPARE(TakeMessages(), QStringList());
}

void MainWindowTest::loadOnStartupClicks() {
  WriteVault(VaultPath(), {"One"}, kVaultPassword);
  QVERIFY(StartForm());
  QVERIFY(UnlockWith(kVaultPassword));
  Click(ui_.optionsButton);
  QVERIFY(!ui_.startupBox->isChecked());

  Click(ui_.startupBox);
  QVERIFY(ui_.startupBox->isChecked());
  QVERIFY(ReadAll(AutostartEntry()).contains("Exec=\"/opt/corvella/bin/corvella\"\n"));
  Click(ui_.startupBox);
  QVERIFY(!ui_.startupBox->isChecked());
  QVERIFY(!QFile::exists(AutostartEntry()));
  QCOMPARE(TakeMessages(), QStringList());

  // Removed by another tool while the page shows: unticking reports it and stays unticked.
  Click(ui_.startupBox);
  QVERIFY(QFile::remove(AutostartEntry()));
  Click(ui_.startupBox);
  QCOMPARE(TakeMessages(),
           QStringList{QStringLiteral("Information: Unable to open key \"%1\" and access value "
                                      "\"Corvella.desktop\"")
                           .arg(AutostartDir())});
  QVERIFY(!ui_.startupBox->isChecked());
  QVERIFY(!QFile::exists(AutostartEntry()));
  QCOMPARE(window_->focusWidget(), ui_.startupBox);
}

void MainWindowTest::importFromOptions_data() {
  QTest::addColumn<QByteArray>("document");
  // The message box, with PATH for the document's path; empty for none.
  QTest::addColumn<QString>("message");
  QTest::addColumn<QStringList>("rows");

  QTest::newRow("browser export")
      << QByteArray(
             "name,url,username,password\r\n"
             "One,https://one.example,user of One,pw-One\r\n"
             "\"New, site\",https://new.example/,nina,\"multi\r\nline\"\r\n")
      << "Information: 1 added, 1 skipped\n(1 duplicate)" << QStringList{"One", "New, site"};
  QTest::newRow("Bitwarden notes skipped")
      << QByteArray(R"({"encrypted": false, "items": [{"type": 2, "name": "Note"},
                       {"type": 1, "name": "Two", "login": {"password": "pw"}}]})")
      << "Information: 1 added, 1 skipped\n(1 not a login)" << QStringList{"One", "Two"};
  QTest::newRow("unknown header")
      << QByteArray("site,user\r\n")
      << "Information: Cannot import PATH: line 1: unknown column \"site\"; expected the columns "
         "of an export of Corvella (siteName, url, userName, password), KeePassXC (Title, "
         "Username, Password, URL), Bitwarden (type, name, login_uri, login_username, "
         "login_password), Chrome (name, url, username, password) or Firefox (url, username, "
         "password, httpRealm)"
      << QStringList{"One"};
  QTest::newRow("cancelled") << QByteArray() << QString() << QStringList{"One"};
}

void MainWindowTest::importFromOptions() {
  QFETCH(QByteArray, document);
  QFETCH(QString, message);
  QFETCH(QStringList, rows);
  const QString path = Path("export.csv");
  QVERIFY(WriteAll(path, document));
  QStringList asked;
  const OpenFileDialogResponder chooser([&](const QString& caption, const QString& filter) {
    asked << caption + " | " + filter;
    return document.isEmpty() ? QString() : path;
  });
  WriteVault(VaultPath(), {"One"}, kVaultPassword);
  QVERIFY(StartForm());
  Click(ui_.optionsButton);
  auto* importButton = window_->findChild<QPushButton*>(QStringLiteral("importButton"));
  QVERIFY(importButton != nullptr);
  QCOMPARE(importButton->y(), 232);
  QVERIFY(importButton->x() > 16);
  QVERIFY(!importButton->isEnabled());
  QVERIFY(UnlockWith(kVaultPassword));
  QVERIFY(importButton->isEnabled());

  QTest::mouseClick(importButton, Qt::LeftButton);

  QCOMPARE(asked, QStringList{"Import | Password exports (*.csv *.json);;All files (*)"});
  QCOMPARE(TakeMessages(),
           message.isEmpty() ? QStringList() : QStringList{QString(message).replace("PATH", path)});
  QCOMPARE(ListRows(), rows);
  QCOMPARE(SiteNames(session_->Entries()), rows);
  // What the list shows is in the file.
  PasswordStore reopened;
  reopened.SetMasterPassword(kVaultPassword);
  QCOMPARE(reopened.LoadPasswordsFrom(VaultPath()), LoadResult::Loaded);
  QCOMPARE(SiteNames(reopened.Entries()), rows);
  ClickNamed(QStringLiteral("lockActionButton"));
  QVERIFY(session_->IsLocked());
  QVERIFY(!importButton->isEnabled());
}

// ---- The look ----

void MainWindowTest::longListFitsTheWindow() {
  QStringList sites;
  for (int i = 0; i < 300; ++i) sites << QStringLiteral("Site %1").arg(i);
  sites[1] = "Begin " + QString(500, u'x') + " End";
  WriteVault(VaultPath(), sites, kVaultPassword);
  QVERIFY(StartForm());
  QVERIFY(UnlockWith(kVaultPassword));
  QCOMPARE(ListRows().size(), 300);
  // Nothing to scroll sideways; the long name is cut where the row ends.
  QVERIFY(!ui_.list->horizontalScrollBar()->isVisible());
  QCOMPARE(ui_.list->horizontalScrollBar()->maximum(), 0);
  // A window of fixed size offers no maximise button.
  QVERIFY(window_->windowFlags() & Qt::CustomizeWindowHint);
  QVERIFY(!(window_->windowFlags() & Qt::WindowMaximizeButtonHint));
  // The key is drawn in the screen's own pixels, also at twice the density.
  auto* delegate = dynamic_cast<EntryRowDelegate*>(ui_.list->itemDelegate());
  QVERIFY(delegate != nullptr);
  QCOMPARE(delegate->Glyph(2.0).size(), QSize(32, 32));
  QCOMPARE(delegate->Glyph(2.0).devicePixelRatio(), 2.0);
  QCOMPARE(delegate->Glyph(1.0).size(), QSize(16, 16));
}

}  // namespace corvella

int main(int argc, char** argv) {
  return corvella::test::RunMainWindowTest<corvella::MainWindowTest>(argc, argv);
}

#include "MainWindowTest.moc"
