// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The vault session on its own, with no window: creating and unlocking the password file,
// locking, saving every change, the clipboard countdown, the lock timer and opening web pages.
// It runs under a QGuiApplication, so that creating any widget would abort the run.

#include <sys/stat.h>

#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <QWheelEvent>
#include <QWindow>
#include <algorithm>
#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/Error.h"
#include "platform/Files.h"
#include "platform/Settings.h"
#include "platform/VaultLock.h"
#include "store/CipherFraming.h"
#include "store/Errors.h"
#include "store/PasswordStore.h"
#include "store/PasswordStream.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/FailureHandler.h"
#include "ui/VaultSession.h"

namespace corvella {

char* toString(UnlockResult result) {
  switch (result) {
    case UnlockResult::Unlocked:
      return qstrdup("Unlocked");
    case UnlockResult::UnlockedWithoutFile:
      return qstrdup("UnlockedWithoutFile");
    case UnlockResult::WrongPassword:
      return qstrdup("WrongPassword");
  }
  return qstrdup("?");
}

namespace {

using namespace test;

const char* const kUnlockFirst = "Please unlock the program first by entering the master password";

// One login as stored bytes.
struct Login {
  std::string site;
  std::string url;
  std::string user;
  std::string password;
};

// Equal site names show that order, not names, tells entries apart.
const std::vector<Login> kLogins = {
    {"Mail", "https://mail.example/", "ann", "pw-mail-1"},
    {"Bank \xC3\xBC", "bank.example", "ann.b", "pw \xC3\xBCn\xC3\xAF"},
    {"Mail", "https://mail.example/", "bob", "pw-mail-2"},
};
const Login kNewLogin = {"Shop", "https://shop.example/cart", "carol", "new pw \xE2\x82\xAC"};

// The last record of kLogins ends with the user name "bob" and the tag "End", each a 4-byte
// length and its bytes.
constexpr int kEndTagBytes = 4 + 3;

EntryFields Fields(const Login& login) {
  return {login.site, login.url, login.user, SecureString(login.password)};
}

interchange::PlainEntry Plain(const Login& login) {
  interchange::PlainEntry plain;
  plain[interchange::Field::SiteName] = SecureString(login.site);
  plain[interchange::Field::Url] = SecureString(login.url);
  plain[interchange::Field::UserName] = SecureString(login.user);
  plain[interchange::Field::Password] = SecureString(login.password);
  return plain;
}

EntryPtr MakeEntry(const Login& login, const SessionKey& key) {
  auto entry = std::make_shared<Entry>();
  entry->SetSiteName(login.site);
  entry->SetUrl(login.url);
  entry->SetUserName(login.user);
  entry->SetPassword(login.password, key);
  return entry;
}

// Site, address and user name; passwords are compared apart, without printing them.
QStringList Describe(const std::vector<Login>& logins) {
  QStringList lines;
  for (const Login& login : logins) {
    lines << Text(login.site) + " | " + Text(login.url) + " | " + Text(login.user);
  }
  return lines;
}
std::vector<std::string> Passwords(const std::vector<Login>& logins) {
  std::vector<std::string> passwords;
  for (const Login& login : logins) passwords.push_back(login.password);
  return passwords;
}

std::vector<Login> LoginsOf(const VaultSession& session) {
  std::vector<Login> logins;
  for (const EntryPtr& entry : session.Entries()) {
    const EntryFields fields = session.FieldsOf(*entry);
    logins.push_back(
        {fields.siteName, fields.url, fields.userName, std::string(fields.password.View())});
  }
  return logins;
}

template <class Action>
QString ErrorOf(Action&& action) {
  try {
    action();
  } catch (const std::exception& error) {
    return QString::fromUtf8(error.what());
  }
  return QStringLiteral("<no error>");
}

void WriteVault(const std::string& path, const std::vector<Login>& logins) {
  PasswordStore store;
  for (const Login& login : logins) store.AddEntry(MakeEntry(login, store.Key()));
  store.SetMasterPassword(kVaultPassword);
  store.SavePasswordsTo(path);
}

// A vault whose last record lacks its last `cut` bytes.
void WriteCutVault(const std::string& path, const std::vector<Login>& logins, int cut) {
  PasswordStore store;
  for (const Login& login : logins) store.AddEntry(MakeEntry(login, store.Key()));
  SecureBytes stream;
  WritePasswordStream(store.Entries(), store.Key(), stream);
  stream.resize(stream.size() - static_cast<std::size_t>(cut));
  platform::CreateDirectories(platform::DirectoryOf(path));
  platform::AtomicFileWriter file(path);
  EncryptStreamToFile(stream, file, FileKey::FromMasterPassword(kVaultPassword));
  file.Commit();
}

// The vault read back with a fresh store; a failure comes back as one login naming it.
std::vector<Login> ReadVault(const std::string& path) {
  PasswordStore store;
  store.SetMasterPassword(kVaultPassword);
  try {
    if (store.LoadPasswordsFrom(path) == LoadResult::FileMissing) {
      return {{"<missing>", "", "", ""}};
    }
  } catch (const std::exception& error) {
    return {{std::string("<unreadable: ") + error.what() + ">", "", "", ""}};
  }
  std::vector<Login> logins;
  for (const EntryPtr& entry : store.Entries()) {
    logins.push_back({std::string(entry->SiteName()), std::string(entry->Url()),
                      std::string(entry->UserName()),
                      std::string(entry->Password(store.Key()).View())});
  }
  return logins;
}

// What a save to `path` raises, from a store of its own.
QString SaveErrorAt(const std::string& path) {
  PasswordStore store;
  store.SetMasterPassword(kVaultPassword);
  return ErrorOf([&] { store.SavePasswordsTo(path); });
}

void SetClipboard(const QString& text) { QGuiApplication::clipboard()->setText(text); }

// Failures that reached the application-wide handler; the session only sends those of its own
// timers there.
QStringList reportedFailures;

enum class Obstacle { VaultExists, FolderIsFile, VaultIsDirectory };
enum class Change { Add, Update, Delete, Import };
enum class Meanwhile { Nothing, OtherText, UserName, PasswordAndSpace, Cleared };

const std::string kNewPassword = "n\xC3\xA9w master";

}  // namespace

}  // namespace corvella

Q_DECLARE_METATYPE(corvella::UnlockResult)
Q_DECLARE_METATYPE(corvella::Obstacle)
Q_DECLARE_METATYPE(corvella::Change)
Q_DECLARE_METATYPE(corvella::Meanwhile)
Q_DECLARE_METATYPE(std::vector<corvella::Login>)

namespace corvella {

class VaultSessionTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void cleanupTestCase();
  void init();
  void cleanup();

  void createVault();
  void createVaultRefused_data();
  void createVaultRefused();

  void unlock_data();
  void unlock();
  void openElsewhere_data();
  void openElsewhere();

  void lock();
  void lockWaitsForEditing_data();
  void lockWaitsForEditing();

  void addEntry_data();
  void addEntry();
  void updateEntry();
  void importEntries_data();
  void importEntries();
  void deleteEntry_data();
  void deleteEntry();
  void changeNotSaved_data();
  void changeNotSaved();
  void discardedChangesGoWithTheLock();

  void changeMasterPassword_data();
  void changeMasterPassword();
  void openBackupThenRestore_data();
  void openBackupThenRestore();

  void copyPassword_data();
  void copyPassword();
  void secondCopyRestartsCountdown_data();
  void secondCopyRestartsCountdown();
  void lockErasesCopiedPassword_data();
  void lockErasesCopiedPassword();
  void clearClipboard_data();
  void clearClipboard();
  void copyUserName_data();
  void copyUserName();

  void lockPeriod_data();
  void lockPeriod();
  void lockTimeout_data();
  void lockTimeout();
  void inputRestartsLockPeriod_data();
  void inputRestartsLockPeriod();

  void webAddress_data();
  void webAddress();
  void webPageCopyOption_data();
  void webPageCopyOption();

 private:
  [[nodiscard]] bool StartUnlocked(const std::vector<Login>& logins);
  bool MasterPasswordForgotten();
  // The session holds `expected`, in order, and the password file has them too.
  void CompareHeldAndSaved(const std::vector<Login>& expected);

  QString Path(const char* below) const { return home_->filePath(QLatin1String(below)); }
  QString VaultFolder() const { return Path("data/Corvella"); }
  QString VaultFile() const { return Path("data/Corvella/Passwords.dat"); }
  std::string VaultPath() const { return Bytes(VaultFile()); }

  std::unique_ptr<QTemporaryDir> home_;
  std::unique_ptr<platform::Settings> settings_;
  std::unique_ptr<VaultSession> session_;
  UrlRecorder recorder_;
};

// Every scheme goes to the recorder, so that no address reaches a real browser and a missing
// "http://" shows.
static const char* const kSchemes[] = {"http", "https", "ftp", "file", ""};

void VaultSessionTest::initTestCase() {
  for (const char* scheme : kSchemes) {
    QDesktopServices::setUrlHandler(QLatin1String(scheme), &recorder_, "open");
  }
  SetFailureHandler([](const QString& message) { reportedFailures << message; });
}

void VaultSessionTest::cleanupTestCase() {
  SetFailureHandler({});
  for (const char* scheme : kSchemes) QDesktopServices::unsetUrlHandler(QLatin1String(scheme));
}

void VaultSessionTest::init() {
  home_ = std::make_unique<QTemporaryDir>();
  QVERIFY(home_->isValid());
  QVERIFY(UseTemporaryHome(*home_));
  QCOMPARE(VaultSession::FilePath(), VaultPath());
  settings_ = std::make_unique<platform::Settings>(Bytes(Path("config/Corvella/Corvella.conf")));
  session_ = std::make_unique<VaultSession>(*settings_);
  recorder_.calls.clear();
  reportedFailures.clear();
  QGuiApplication::clipboard()->clear();
}

void VaultSessionTest::cleanup() {
  session_.reset();
  settings_.reset();
  home_.reset();
  QGuiApplication::clipboard()->clear();
  QCOMPARE(reportedFailures, QStringList());
}

bool VaultSessionTest::StartUnlocked(const std::vector<Login>& logins) {
  WriteVault(VaultPath(), logins);
  return session_->Unlock(kVaultPassword) == UnlockResult::Unlocked &&
         session_->Entries().size() == logins.size();
}

void VaultSessionTest::CompareHeldAndSaved(const std::vector<Login>& expected) {
  const std::vector<Login> held = LoginsOf(*session_);
  QCOMPARE(Describe(held), Describe(expected));
  QVERIFY(Passwords(held) == Passwords(expected));
  const std::vector<Login> saved = ReadVault(VaultPath());
  QCOMPARE(Describe(saved), Describe(expected));
  QVERIFY(Passwords(saved) == Passwords(expected));
}

// A session that still knew a master password would write the vault on the next change.
bool VaultSessionTest::MasterPasswordForgotten() {
  const QByteArray before = ReadAll(VaultFile());
  const bool refused = ErrorOf([&] { session_->AddEntry(Fields(kNewLogin)); }) != "<no error>";
  return refused && ReadAll(VaultFile()) == before;
}

void VaultSessionTest::createVault() {
  QSignalSpy unlocked(session_.get(), &VaultSession::Unlocked);

  session_->CreateVault(kVaultPassword);

  QCOMPARE(unlocked.count(), 1);
  QVERIFY(!session_->IsLocked());
  QCOMPARE(ErrorOf([&] { session_->RequireUnlocked(); }), QStringLiteral("<no error>"));
  QVERIFY(session_->Entries().empty());
  QCOMPARE(Describe(ReadVault(VaultPath())), QStringList());

  // The new master password keys the later saves.
  session_->AddEntry(Fields(kNewLogin));
  const std::vector<Login> saved = ReadVault(VaultPath());
  QCOMPARE(Describe(saved), Describe({kNewLogin}));
  QVERIFY(Passwords(saved) == Passwords({kNewLogin}));
}

void VaultSessionTest::createVaultRefused_data() {
  QTest::addColumn<Obstacle>("obstacle");

  QTest::newRow("password file exists") << Obstacle::VaultExists;
  QTest::newRow("a file where the Corvella folder goes") << Obstacle::FolderIsFile;
  QTest::newRow("a folder where the password file goes") << Obstacle::VaultIsDirectory;
}

void VaultSessionTest::createVaultRefused() {
  QFETCH(Obstacle, obstacle);
  switch (obstacle) {
    case Obstacle::VaultExists:
      WriteVault(VaultPath(), kLogins);
      break;
    case Obstacle::FolderIsFile:
      QVERIFY(WriteAll(VaultFolder(), "not a folder"));
      break;
    case Obstacle::VaultIsDirectory:
      QVERIFY(QDir().mkpath(VaultFile()));
      break;
  }
  // A save over an existing file would succeed.
  const QString saveError =
      obstacle == Obstacle::VaultExists ? QString() : SaveErrorAt(VaultPath());
  const QByteArray before = ReadAll(VaultFile());
  QSignalSpy unlocked(session_.get(), &VaultSession::Unlocked);

  const QString error = ErrorOf([&] { session_->CreateVault("another password"); });

  if (obstacle == Obstacle::VaultExists) {
    QVERIFY2(QRegularExpression(R"(^Assertion failure \(VaultSession, line \d+\)$)")
                 .match(error)
                 .hasMatch(),
             qPrintable(error));
  } else {
    QVERIFY(saveError != "<no error>");
    QCOMPARE(error, saveError);
  }
  QCOMPARE(unlocked.count(), 0);
  QVERIFY(session_->IsLocked());
  QCOMPARE(ErrorOf([&] { session_->RequireUnlocked(); }), QLatin1String(kUnlockFirst));
  QCOMPARE(ReadAll(VaultFile()), before);

  // Also once the way is clear, no save may use the refused password.
  if (obstacle == Obstacle::FolderIsFile) QVERIFY(QFile::remove(VaultFolder()));
  if (obstacle == Obstacle::VaultIsDirectory) QVERIFY(QDir(VaultFile()).removeRecursively());
  QVERIFY(MasterPasswordForgotten());
}

void VaultSessionTest::unlock_data() {
  QTest::addColumn<int>("written");  // entries of kLogins in the file; -1: no file
  QTest::addColumn<int>("cut");      // bytes missing from the end of the last record
  QTest::addColumn<QByteArray>("typed");
  QTest::addColumn<UnlockResult>("result");  // or, for a damaged file, an Error naming it
  QTest::addColumn<bool>("damaged");

  const QByteArray right(kVaultPassword.data(), static_cast<qsizetype>(kVaultPassword.size()));
  const auto row = [](const char* name, int written, int cut, const QByteArray& typed,
                      UnlockResult result, bool damaged) {
    QTest::newRow(name) << written << cut << typed << result << damaged;
  };
  row("right password", 3, 0, right, UnlockResult::Unlocked, false);
  row("right password, empty vault", 0, 0, right, UnlockResult::Unlocked, false);
  row("wrong password", 3, 0, "correct horse 8", UnlockResult::WrongPassword, false);
  row("empty password", 3, 0, QByteArray(), UnlockResult::WrongPassword, false);
  row("no file", -1, 0, right, UnlockResult::UnlockedWithoutFile, false);
  // A damaged file is its own failure, not a wrong password, and the records read before the
  // damage are not kept.
  row("end tag cut short", 3, 3, right, UnlockResult::WrongPassword, true);
  row("length cut short", 3, 5, right, UnlockResult::WrongPassword, true);
  row("user name cut short", 3, kEndTagBytes + 2, right, UnlockResult::WrongPassword, true);
  row("damaged file, wrong password", 3, 3, "correct horse 8", UnlockResult::WrongPassword, false);
}

void VaultSessionTest::unlock() {
  QFETCH(int, written);
  QFETCH(int, cut);
  QFETCH(QByteArray, typed);
  QFETCH(UnlockResult, result);
  QFETCH(bool, damaged);
  const std::vector<Login> logins(kLogins.begin(), kLogins.begin() + std::max(written, 0));
  if (cut > 0) {
    WriteCutVault(VaultPath(), logins, cut);
  } else if (written >= 0) {
    WriteVault(VaultPath(), logins);
  }
  QSignalSpy unlocked(session_.get(), &VaultSession::Unlocked);

  const std::string_view typedBytes(typed.constData(), static_cast<std::size_t>(typed.size()));
  if (damaged) {
    const QString error = ErrorOf([&] { session_->Unlock(typedBytes); });
    QVERIFY2(error.startsWith("The password file " + VaultFile() + " is damaged"),
             qPrintable(error));
  } else {
    QCOMPARE(session_->Unlock(typedBytes), result);
  }

  const bool opened = result != UnlockResult::WrongPassword;
  const std::vector<Login> expected =
      result == UnlockResult::Unlocked ? logins : std::vector<Login>();
  const std::vector<Login> loaded = LoginsOf(*session_);
  QCOMPARE(Describe(loaded), Describe(expected));
  QVERIFY(Passwords(loaded) == Passwords(expected));
  QCOMPARE(unlocked.count(), opened ? 1 : 0);
  QCOMPARE(session_->IsLocked(), !opened);
  QCOMPARE(ErrorOf([&] { session_->RequireUnlocked(); }),
           opened ? QStringLiteral("<no error>") : QLatin1String(kUnlockFirst));
  if (!opened) QVERIFY(MasterPasswordForgotten());
}

void VaultSessionTest::openElsewhere_data() {
  QTest::addColumn<bool>("fileExists");

  QTest::newRow("unlock") << true;
  QTest::newRow("create") << false;
}

// One program at a time has the password file open: the session takes its lock as it opens the
// file and lets go as it locks or ends.
void VaultSessionTest::openElsewhere() {
  QFETCH(bool, fileExists);
  if (fileExists) WriteVault(VaultPath(), kLogins);
  const QByteArray before = ReadAll(VaultFile());
  const QString heldElsewhere = "The password file " + VaultFile() + " is open in another program";
  const auto open = [&] {
    if (fileExists) {
      QCOMPARE(session_->Unlock(kVaultPassword), UnlockResult::Unlocked);
    } else {
      session_->CreateVault(kVaultPassword);
    }
  };
  const auto lockedElsewhere = [&] {
    return ErrorOf([&] { const platform::VaultLock other(VaultPath()); });
  };
  QSignalSpy unlocked(session_.get(), &VaultSession::Unlocked);

  {
    const platform::VaultLock other(VaultPath());
    QCOMPARE(ErrorOf(open), heldElsewhere);
    QCOMPARE(unlocked.count(), 0);
    QVERIFY(session_->IsLocked());
    QCOMPARE(ReadAll(VaultFile()), before);
    QVERIFY(MasterPasswordForgotten());
  }
  if (fileExists) {
    QCOMPARE(session_->Unlock("wrong password"), UnlockResult::WrongPassword);
    QCOMPARE(lockedElsewhere(), QStringLiteral("<no error>"));
  }

  open();
  QCOMPARE(unlocked.count(), 1);
  QCOMPARE(lockedElsewhere(), heldElsewhere);
  session_->Lock();
  QCOMPARE(lockedElsewhere(), QStringLiteral("<no error>"));
  QVERIFY(!QFile::exists(VaultFile() + ".lock"));

  QCOMPARE(session_->Unlock(kVaultPassword), UnlockResult::Unlocked);
  QCOMPARE(lockedElsewhere(), heldElsewhere);
  session_.reset();
  QCOMPARE(lockedElsewhere(), QStringLiteral("<no error>"));
}

void VaultSessionTest::lock() {
  QSignalSpy locked(session_.get(), &VaultSession::Locked);
  session_->Lock();
  QCOMPARE(locked.count(), 0);

  QVERIFY(StartUnlocked(kLogins));
  const EntryPtr kept = session_->Entries().front();
  session_->Lock();

  QCOMPARE(locked.count(), 1);
  QVERIFY(session_->IsLocked());
  QVERIFY(session_->Entries().empty());
  QCOMPARE(Text(kept->SiteName()), QString());
  QCOMPARE(Text(kept->Url()), QString());
  QCOMPARE(Text(kept->UserName()), QString());
  QVERIFY(kept->EncryptedPassword().empty());
  QCOMPARE(ErrorOf([&] { session_->RequireUnlocked(); }), QLatin1String(kUnlockFirst));

  session_->Lock();
  session_->OnLockTimeout();
  QCOMPARE(locked.count(), 1);

  // Unlocking again reads the file afresh, once.
  QCOMPARE(session_->Unlock(kVaultPassword), UnlockResult::Unlocked);
  QCOMPARE(Describe(LoginsOf(*session_)), Describe(kLogins));
  session_->Lock();
  QCOMPARE(locked.count(), 2);
  QVERIFY(MasterPasswordForgotten());
}

void VaultSessionTest::lockWaitsForEditing_data() {
  QTest::addColumn<bool>("byTimer");

  QTest::newRow("Lock") << false;
  QTest::newRow("lock timer") << true;
}

void VaultSessionTest::lockWaitsForEditing() {
  QFETCH(bool, byTimer);
  QVERIFY(StartUnlocked(kLogins));
  QSignalSpy locked(session_.get(), &VaultSession::Locked);
  const auto lockRequest = [&] { byTimer ? session_->OnLockTimeout() : session_->Lock(); };

  session_->SetEditing(true);
  lockRequest();
  QCOMPARE(locked.count(), 0);
  QVERIFY(!session_->IsLocked());
  QCOMPARE(Describe(LoginsOf(*session_)), Describe(kLogins));

  session_->SetEditing(false);
  lockRequest();
  QCOMPARE(locked.count(), 1);
  QVERIFY(session_->IsLocked());
  QVERIFY(session_->Entries().empty());
}

void VaultSessionTest::addEntry_data() {
  QTest::addColumn<int>("written");  // entries of kLogins in the file; -1: no file

  QTest::newRow("after three entries") << 3;
  QTest::newRow("to an empty vault") << 0;
  QTest::newRow("creates a missing file") << -1;
}

void VaultSessionTest::addEntry() {
  QFETCH(int, written);
  std::vector<Login> logins(kLogins.begin(), kLogins.begin() + std::max(written, 0));
  if (written >= 0) {
    QVERIFY(StartUnlocked(logins));
  } else {
    QCOMPARE(session_->Unlock(kVaultPassword), UnlockResult::UnlockedWithoutFile);
  }
  std::vector<EntryPtr> added;
  connect(session_.get(), &VaultSession::EntryAdded,
          [&added](const EntryPtr& entry) { added.push_back(entry); });

  const EntryPtr entry = session_->AddEntry(Fields(kNewLogin));

  logins.push_back(kNewLogin);
  QVERIFY(entry != nullptr);
  QCOMPARE(session_->Entries().back(), entry);
  QCOMPARE(added.size(), std::size_t{1});
  QCOMPARE(added.front(), entry);
  CompareHeldAndSaved(logins);
}

void VaultSessionTest::importEntries_data() {
  QTest::addColumn<std::vector<Login>>("document");
  QTest::addColumn<std::vector<Login>>("added");

  const Login otherPassword = {kLogins[0].site, kLogins[0].url, kLogins[0].user, "pw-mail-3"};
  const Login otherUser = {kLogins[0].site, kLogins[0].url, "bob", kLogins[0].password};
  QTest::newRow("new ones in order") << std::vector<Login>{kNewLogin, otherPassword}
                                     << std::vector<Login>{kNewLogin, otherPassword};
  QTest::newRow("stored ones left out")
      << std::vector<Login>{kLogins[2], kNewLogin, kLogins[1]} << std::vector<Login>{kNewLogin};
  QTest::newRow("repeated ones once") << std::vector<Login>{kNewLogin, otherUser, kNewLogin}
                                      << std::vector<Login>{kNewLogin, otherUser};
  QTest::newRow("nothing new") << std::vector<Login>{kLogins[0]} << std::vector<Login>{};
}

void VaultSessionTest::importEntries() {
  QFETCH(std::vector<Login>, document);
  QFETCH(std::vector<Login>, added);
  QVERIFY(StartUnlocked(kLogins));
  const QByteArray before = ReadAll(VaultFile());
  QSignalSpy changed(session_.get(), &VaultSession::EntriesChanged);
  std::vector<interchange::PlainEntry> plain;
  for (const Login& login : document) plain.push_back(Plain(login));

  const ImportCounts counts = session_->ImportEntries(plain);

  QCOMPARE(counts.added, added.size());
  QCOMPARE(counts.duplicates, document.size() - added.size());
  std::vector<Login> expected = kLogins;
  expected.insert(expected.end(), added.begin(), added.end());
  CompareHeldAndSaved(expected);
  if (QTest::currentTestFailed()) return;
  // Nothing added, nothing written.
  QCOMPARE(changed.count(), added.empty() ? 0 : 1);
  if (added.empty()) QVERIFY(ReadAll(VaultFile()) == before);
  session_->Lock();
  QCOMPARE(ErrorOf([&] { session_->ImportEntries(plain); }), kUnlockFirst);
}

void VaultSessionTest::updateEntry() {
  QVERIFY(StartUnlocked(kLogins));
  const std::vector<EntryPtr> before = session_->Entries();
  QSignalSpy changed(session_.get(), &VaultSession::EntriesChanged);

  session_->UpdateEntry(*before[1], Fields(kNewLogin));

  const std::vector<Login> expected = {kLogins[0], kNewLogin, kLogins[2]};
  QCOMPARE(changed.count(), 1);
  QVERIFY(session_->Entries() == before);
  CompareHeldAndSaved(expected);
}

void VaultSessionTest::deleteEntry_data() {
  QTest::addColumn<int>("index");  // of the entry deleted; -1: an equal copy of the first entry
  QTest::addColumn<QList<int>>("left");

  // Entries 0 and 2 are equal in every field.
  QTest::newRow("first of two equal entries") << 0 << QList<int>{1, 2, 3};
  QTest::newRow("second of two equal entries") << 2 << QList<int>{0, 1, 3};
  QTest::newRow("last entry") << 3 << QList<int>{0, 1, 2};
  QTest::newRow("an equal entry outside the list") << -1 << QList<int>{0, 1, 2, 3};
}

void VaultSessionTest::deleteEntry() {
  QFETCH(int, index);
  QFETCH(QList<int>, left);
  const std::vector<Login> logins = {kLogins[0], kLogins[1], kLogins[0], kNewLogin};
  QVERIFY(StartUnlocked(logins));
  const std::vector<EntryPtr> before = session_->Entries();
  // Equal texts, but not an entry of the list.
  Entry outside;
  outside.SetSiteName(before[0]->SiteName());
  outside.SetUrl(before[0]->Url());
  outside.SetUserName(before[0]->UserName());
  QSignalSpy changed(session_.get(), &VaultSession::EntriesChanged);

  session_->DeleteEntry(index < 0 ? outside : *before[static_cast<std::size_t>(index)]);

  std::vector<EntryPtr> expectedEntries;
  std::vector<Login> expected;
  for (const int i : left) {
    expectedEntries.push_back(before[static_cast<std::size_t>(i)]);
    expected.push_back(logins[static_cast<std::size_t>(i)]);
  }
  QCOMPARE(changed.count(), 1);
  QVERIFY(session_->Entries() == expectedEntries);
  const std::vector<Login> saved = ReadVault(VaultPath());
  QCOMPARE(Describe(saved), Describe(expected));
  QVERIFY(Passwords(saved) == Passwords(expected));
}

void VaultSessionTest::changeNotSaved_data() {
  QTest::addColumn<Change>("change");

  QTest::newRow("add") << Change::Add;
  QTest::newRow("update") << Change::Update;
  QTest::newRow("delete") << Change::Delete;
  QTest::newRow("import") << Change::Import;
}

void VaultSessionTest::changeNotSaved() {
  QFETCH(Change, change);
  QVERIFY(StartUnlocked(kLogins));
  QVERIFY(QFile::remove(VaultFile()));
  QVERIFY(QDir().mkpath(VaultFile()));
  const QString saveError = SaveErrorAt(VaultPath());
  QVERIFY(saveError != "<no error>");
  const std::vector<EntryPtr> before = session_->Entries();
  int notices = 0;
  connect(session_.get(), &VaultSession::EntryAdded, [&notices] { ++notices; });
  connect(session_.get(), &VaultSession::EntriesChanged, [&notices] { ++notices; });

  const QString error = ErrorOf([&] {
    switch (change) {
      case Change::Add:
        session_->AddEntry(Fields(kNewLogin));
        break;
      case Change::Update:
        session_->UpdateEntry(*before[1], Fields(kNewLogin));
        break;
      case Change::Delete:
        session_->DeleteEntry(*before[1]);
        break;
      case Change::Import:
        session_->ImportEntries({Plain(kLogins[0]), Plain(kNewLogin)});
        break;
    }
  });
  std::vector<Login> expected = kLogins;
  if (change == Change::Add || change == Change::Import) expected.push_back(kNewLogin);
  if (change == Change::Update) expected[1] = kNewLogin;
  if (change == Change::Delete) expected.erase(expected.begin() + 1);

  QCOMPARE(error, "The change was not saved.\n\n" + saveError +
                      "\n\nIt stays in the program and is saved with the next change, or when "
                      "you lock the program or exit.");
  QVERIFY(session_->HasUnsavedChanges());
  const std::vector<Login> held = LoginsOf(*session_);
  QCOMPARE(Describe(held), Describe(expected));
  QVERIFY(Passwords(held) == Passwords(expected));
  QVERIFY(!session_->IsLocked());
  // No temporary file is left; the lock file is there while the session has the file open.
  QCOMPARE(QDir(VaultFolder()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
           (QStringList{"Passwords.dat", "Passwords.dat.lock"}));
  // The windows must learn of the change that stays in memory.
  QCOMPARE(notices, 1);

  // The session does not lock over unsaved changes; saving them again once the way is clear
  // puts them in the file, and then it locks.
  session_->Lock();
  session_->OnLockTimeout();
  QVERIFY(!session_->IsLocked());
  QVERIFY(ErrorOf([&] { session_->SaveChanges(); }).startsWith("The change was not saved."));
  QVERIFY(QDir(VaultFile()).removeRecursively());
  session_->SaveChanges();
  QVERIFY(!session_->HasUnsavedChanges());
  const std::vector<Login> saved = ReadVault(VaultPath());
  QCOMPARE(Describe(saved), Describe(expected));
  QVERIFY(Passwords(saved) == Passwords(expected));
  session_->Lock();
  QVERIFY(session_->IsLocked());
}

void VaultSessionTest::discardedChangesGoWithTheLock() {
  QVERIFY(StartUnlocked(kLogins));
  QVERIFY(QFile::remove(VaultFile()));
  QVERIFY(QDir().mkdir(VaultFile()));
  QSignalSpy unsaved(session_.get(), &VaultSession::UnsavedChangesChanged);
  QSignalSpy waits(session_.get(), &VaultSession::LockWaitsForUnsavedChanges);
  QVERIFY(ErrorOf([&] { session_->AddEntry(Fields(kNewLogin)); }) != "<no error>");
  QCOMPARE(unsaved.count(), 1);
  // The lock timer cannot save them either: it leaves the question to the window.
  session_->OnLockTimeout();
  QCOMPARE(waits.count(), 1);
  QVERIFY(!session_->IsLocked());

  session_->DiscardChanges();
  QVERIFY(!session_->HasUnsavedChanges());
  QCOMPARE(unsaved.count(), 2);
  session_->Lock();
  QVERIFY(session_->IsLocked());
  // A change while locked is refused, not held as unsaved.
  QCOMPARE(ErrorOf([&] { session_->AddEntry(Fields(kNewLogin)); }), QLatin1String(kUnlockFirst));
  QVERIFY(!session_->HasUnsavedChanges());
}

void VaultSessionTest::changeMasterPassword_data() {
  QTest::addColumn<QByteArray>("current");
  QTest::addColumn<QByteArray>("newPassword");
  QTest::addColumn<bool>("replaceFile");  // another program replaces the file meanwhile
  QTest::addColumn<QString>("error");     // empty: the change succeeds

  const QByteArray right(kVaultPassword.data(), static_cast<qsizetype>(kVaultPassword.size()));
  const QByteArray fresh(kNewPassword.data(), static_cast<qsizetype>(kNewPassword.size()));
  QTest::newRow("changed") << right << fresh << false << QString();
  QTest::newRow("wrong current") << QByteArray("correct horse 8") << fresh << false
                                 << "Invalid master password";
  QTest::newRow("too short") << right << QByteArray("five5") << false
                             << "The password you entered is too short. Please enter a password "
                                "that is at least 6 characters long";
  QTest::newRow("file replaced") << right << fresh << true << "replaced by another program";
}

// Afterwards only the new password opens the file; a refused change leaves the file, its
// backup and the session's key as they were.
void VaultSessionTest::changeMasterPassword() {
  QFETCH(QByteArray, current);
  QFETCH(QByteArray, newPassword);
  QFETCH(bool, replaceFile);
  QFETCH(QString, error);
  WriteVault(VaultPath(), {kLogins[0]});
  QVERIFY(StartUnlocked(kLogins));
  const std::string backup = VaultPath() + ".bak";
  if (replaceFile) WriteVault(VaultPath(), kLogins);
  const QByteArray fileBefore = ReadAll(VaultFile());
  const QByteArray backupBefore = ReadAll(QString::fromStdString(backup));
  const auto view = [](const QByteArray& bytes) {
    return std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()));
  };

  const QString raised =
      ErrorOf([&] { session_->ChangeMasterPassword(view(current), view(newPassword)); });

  if (error.isEmpty()) {
    QCOMPARE(raised, QStringLiteral("<no error>"));
    QVERIFY(ReadAll(QString::fromStdString(backup)) != backupBefore);
  } else {
    QVERIFY2(raised.contains(error), qPrintable(raised));
    QCOMPARE(ReadAll(VaultFile()), fileBefore);
    QCOMPARE(ReadAll(QString::fromStdString(backup)), backupBefore);
  }
  // The session goes on under the key the file has: a change saves and opens with it.
  session_->AddEntry(Fields(kNewLogin));
  session_->Lock();
  const std::string_view opens = error.isEmpty() ? view(newPassword) : kVaultPassword;
  const std::string_view refused = error.isEmpty() ? kVaultPassword : view(newPassword);
  QCOMPARE(session_->Unlock(refused), UnlockResult::WrongPassword);
  QCOMPARE(session_->Unlock(opens), UnlockResult::Unlocked);
  QCOMPARE(session_->Entries().size(), kLogins.size() + 1);
  // The backup, the file before that change, opens with the same password, never the old one.
  session_->Lock();
  PasswordStore kept;
  kept.SetMasterPassword(opens);
  QCOMPARE(kept.LoadPasswordsFrom(backup), LoadResult::Loaded);
  if (error.isEmpty()) {
    kept.SetMasterPassword(kVaultPassword);
    QVERIFY_THROWS_EXCEPTION(InvalidPasswordError, kept.LoadPasswordsFrom(backup));
  }
}

// A damaged file whose backup opens: the backup is shown read-only until it is restored, which
// keeps the damaged file aside.
void VaultSessionTest::openBackupThenRestore_data() {
  QTest::addColumn<bool>("fifo");  // in place of the file: nothing there can be read

  QTest::newRow("record cut short") << false;
  QTest::newRow("FIFO") << true;
}

void VaultSessionTest::openBackupThenRestore() {
  QFETCH(bool, fifo);
  const std::vector<Login> older(kLogins.begin(), kLogins.begin() + 2);
  WriteVault(VaultPath(), older);
  WriteVault(VaultPath(), kLogins);
  WriteCutVault(VaultPath(), kLogins, 3);
  if (fifo) {
    QVERIFY(QFile::remove(VaultFile()));
    QCOMPARE(::mkfifo(VaultPath().c_str(), 0600), 0);
  }
  const QByteArray damaged = fifo ? QByteArray() : ReadAll(VaultFile());
  QSignalSpy readOnly(session_.get(), &VaultSession::ReadOnlyChanged);

  QVERIFY_THROWS_EXCEPTION(UnreadableFileError, session_->Unlock(kVaultPassword));
  QVERIFY(VaultSession::BackupExists());
  QCOMPARE(session_->UnlockBackup("correct horse 8"), UnlockResult::WrongPassword);
  QCOMPARE(session_->UnlockBackup(kVaultPassword), UnlockResult::Unlocked);
  QVERIFY(session_->IsReadOnly());
  QCOMPARE(readOnly.count(), 1);
  QCOMPARE(Describe(LoginsOf(*session_)), Describe(older));

  const QString refusal =
      "The backup of the password file is open read-only. Restore it to make changes.";
  const std::vector<EntryPtr> entries = session_->Entries();
  QCOMPARE(ErrorOf([&] { session_->AddEntry(Fields(kNewLogin)); }), refusal);
  QCOMPARE(ErrorOf([&] { session_->UpdateEntry(*entries[0], Fields(kNewLogin)); }), refusal);
  QCOMPARE(ErrorOf([&] { session_->DeleteEntry(*entries[0]); }), refusal);
  QCOMPARE(ErrorOf([&] { session_->ChangeMasterPassword(kVaultPassword, kNewPassword); }), refusal);
  QCOMPARE(ErrorOf([&] { session_->ImportEntries({Plain(kNewLogin)}); }), refusal);
  QCOMPARE(Describe(LoginsOf(*session_)), Describe(older));
  if (!fifo) QCOMPARE(ReadAll(VaultFile()), damaged);

  session_->RestoreBackup();
  QVERIFY(!session_->IsReadOnly());
  if (fifo) {
    QVERIFY(QFileInfo(VaultFile() + ".damaged").isFile() == false);
    QVERIFY(QFileInfo::exists(VaultFile() + ".damaged"));
  } else {
    QCOMPARE(ReadAll(VaultFile() + ".damaged"), damaged);
  }
  QCOMPARE(Describe(ReadVault(VaultPath())), Describe(older));
  session_->AddEntry(Fields(kNewLogin));
  session_->Lock();
  QCOMPARE(session_->Unlock(kVaultPassword), UnlockResult::Unlocked);
  QVERIFY(!session_->IsReadOnly());
  QCOMPARE(session_->Entries().size(), older.size() + 1);
}

void VaultSessionTest::copyPassword_data() {
  QTest::addColumn<QByteArray>("password");
  QTest::addColumn<QString>("copied");

  QTest::newRow("UTF-8") << QByteArray("pw \xC3\xBCn\xC3\xAF") << QStringLiteral(u"pw ünï");
  QTest::newRow("Windows-1252 bytes") << QByteArray("caf\xE9 \x80") << QStringLiteral(u"café €");
}

void VaultSessionTest::copyPassword() {
  QFETCH(QByteArray, password);
  QFETCH(QString, copied);
  QVERIFY(StartUnlocked({{"Site", "site.example", "user", password.toStdString()}}));
  SetClipboard(kElsewhere);

  session_->CopyPassword(*session_->Entries().front());

  QVERIFY(ClipboardText() == copied);
  QVERIFY(ClipboardMarkedSecret());
  QVERIFY(session_->ClipboardCountdownRunning());
  QVERIFY(session_->MsUntilClipboardClear() > VaultSession::kClearClipboardMs - 1000);
}

void VaultSessionTest::secondCopyRestartsCountdown_data() {
  QTest::addColumn<int>("second");

  QTest::newRow("same entry") << 0;
  QTest::newRow("another entry") << 1;
}

void VaultSessionTest::secondCopyRestartsCountdown() {
  QFETCH(int, second);
  QVERIFY(StartUnlocked(kLogins));
  const EntryPtr secondEntry = session_->Entries()[static_cast<std::size_t>(second)];
  session_->CopyPassword(*session_->Entries().front());
  QTest::qWait(300);
  const int remaining = session_->MsUntilClipboardClear();

  session_->CopyPassword(*secondEntry);

  // The full period again, from the last copy.
  QVERIFY(session_->ClipboardCountdownRunning());
  QVERIFY2(session_->MsUntilClipboardClear() > remaining + 200,
           qPrintable(QString::number(session_->MsUntilClipboardClear())));
  QVERIFY(ClipboardText() == Text(kLogins[static_cast<std::size_t>(second)].password));
  QVERIFY(ClipboardMarkedSecret());
  session_->OnClearClipboardTimeout();
  QVERIFY(ClipboardText().isEmpty());
  QVERIFY(!session_->ClipboardCountdownRunning());
}

void VaultSessionTest::clearClipboard_data() {
  QTest::addColumn<Meanwhile>("meanwhile");
  QTest::addColumn<bool>("erased");

  QTest::newRow("password still there") << Meanwhile::Nothing << true;
  QTest::newRow("other text copied") << Meanwhile::OtherText << false;
  QTest::newRow("user name copied") << Meanwhile::UserName << false;
  QTest::newRow("password and a space") << Meanwhile::PasswordAndSpace << false;
  QTest::newRow("clipboard cleared") << Meanwhile::Cleared << false;
}

void VaultSessionTest::clearClipboard() {
  QFETCH(Meanwhile, meanwhile);
  QFETCH(bool, erased);
  QVERIFY(StartUnlocked(kLogins));
  const Entry& entry = *session_->Entries().front();
  session_->CopyPassword(entry);
  switch (meanwhile) {
    case Meanwhile::Nothing:
      break;
    case Meanwhile::OtherText:
      SetClipboard(kElsewhere);
      break;
    case Meanwhile::UserName:
      session_->CopyUserName(entry);
      break;
    case Meanwhile::PasswordAndSpace:
      SetClipboard(Text(kLogins[0].password) + ' ');
      break;
    case Meanwhile::Cleared:
      QGuiApplication::clipboard()->clear();
      break;
  }
  const QString held = ClipboardText();
  // Someone else's text leaves nothing to erase: the countdown stops at once.
  QCOMPARE(session_->ClipboardCountdownRunning(), erased);

  session_->OnClearClipboardTimeout();

  QVERIFY(ClipboardText() == (erased ? QString() : held));
  QVERIFY(!ClipboardMarkedSecret());
  QVERIFY(!session_->ClipboardCountdownRunning());
}

void VaultSessionTest::lockErasesCopiedPassword_data() {
  QTest::addColumn<bool>("otherTextCopied");

  QTest::newRow("password still there") << false;
  QTest::newRow("other text copied") << true;
}

void VaultSessionTest::lockErasesCopiedPassword() {
  QFETCH(bool, otherTextCopied);
  QVERIFY(StartUnlocked(kLogins));
  session_->CopyPassword(*session_->Entries().front());
  if (otherTextCopied) SetClipboard(kElsewhere);

  session_->Lock();

  QVERIFY(session_->IsLocked());
  QVERIFY(ClipboardText() == (otherTextCopied ? QString(kElsewhere) : QString()));
  QVERIFY(!ClipboardMarkedSecret());
  QVERIFY(!session_->ClipboardCountdownRunning());
}

void VaultSessionTest::copyUserName_data() {
  QTest::addColumn<QByteArray>("userName");
  QTest::addColumn<QString>("copied");

  QTest::newRow("UTF-8") << QByteArray("J\xC3\xB6rg") << QStringLiteral(u"Jörg");
  QTest::newRow("Windows-1252 bytes") << QByteArray("Ren\xE9") << QStringLiteral(u"René");
}

void VaultSessionTest::copyUserName() {
  QFETCH(QByteArray, userName);
  QFETCH(QString, copied);
  QVERIFY(StartUnlocked({{"Site", "site.example", userName.toStdString(), "pw"}}));

  session_->CopyUserName(*session_->Entries().front());

  QCOMPARE(ClipboardText(), copied);
  QVERIFY(!ClipboardMarkedSecret());
  QVERIFY(!session_->ClipboardCountdownRunning());
}

void VaultSessionTest::lockPeriod_data() {
  QTest::addColumn<QList<int>>("minutes");  // SetLockPeriod calls in turn
  QTest::addColumn<int>("periodMs");

  QTest::newRow("the start period") << QList<int>{2} << 120'000;
  QTest::newRow("a new period") << QList<int>{5} << 300'000;
  QTest::newRow("the same period again") << QList<int>{5, 5} << 300'000;
  QTest::newRow("back to the start period") << QList<int>{5, 2} << 120'000;
}

void VaultSessionTest::lockPeriod() {
  QFETCH(QList<int>, minutes);
  QFETCH(int, periodMs);
  QCOMPARE(session_->LockPeriodMs(), VaultSession::kLockTimerStartMs);
  QVERIFY(session_->MsUntilLock() >= 0);

  for (const int period : minutes) session_->SetLockPeriod(period);
  QCOMPARE(session_->LockPeriodMs(), periodMs);
  QVERIFY(session_->MsUntilLock() >= 0);
}

void VaultSessionTest::lockTimeout_data() {
  QTest::addColumn<QList<bool>>("autoLock");  // SetAutoLock calls in turn
  QTest::addColumn<bool>("locks");

  QTest::newRow("locking on") << QList<bool>{true} << true;
  QTest::newRow("locking off") << QList<bool>{false} << false;
  QTest::newRow("locking off, then on") << QList<bool>{false, true} << true;
  QTest::newRow("locking on, then off") << QList<bool>{true, false} << false;
}

void VaultSessionTest::lockTimeout() {
  QFETCH(QList<bool>, autoLock);
  QFETCH(bool, locks);
  QVERIFY(StartUnlocked(kLogins));
  QSignalSpy locked(session_.get(), &VaultSession::Locked);
  for (const bool enabled : autoLock) session_->SetAutoLock(enabled);

  session_->OnLockTimeout();

  QCOMPARE(locked.count(), locks ? 1 : 0);
  QCOMPARE(session_->IsLocked(), locks);
  QCOMPARE(session_->Entries().empty(), locks);
}

void VaultSessionTest::inputRestartsLockPeriod_data() {
  QTest::addColumn<int>("type");  // QEvent::Type
  QTest::addColumn<bool>("restarts");

  QTest::newRow("key press") << int(QEvent::KeyPress) << true;
  QTest::newRow("mouse press") << int(QEvent::MouseButtonPress) << true;
  QTest::newRow("double click") << int(QEvent::MouseButtonDblClick) << true;
  QTest::newRow("mouse move") << int(QEvent::MouseMove) << true;
  QTest::newRow("wheel") << int(QEvent::Wheel) << true;
  // Releases follow a press; the rest is not the person's doing.
  QTest::newRow("key release") << int(QEvent::KeyRelease) << false;
  QTest::newRow("mouse release") << int(QEvent::MouseButtonRelease) << false;
  QTest::newRow("focus") << int(QEvent::FocusIn) << false;
  QTest::newRow("expose") << int(QEvent::Expose) << false;
}

void VaultSessionTest::inputRestartsLockPeriod() {
  QFETCH(int, type);
  QFETCH(bool, restarts);
  const auto eventType = static_cast<QEvent::Type>(type);
  QVERIFY(StartUnlocked(kLogins));
  QWindow window;
  session_->SetLockPeriod(1);
  // Long enough for the period to have visibly run down, and past a storm of input.
  QTest::qWait(300);
  const int before = session_->MsUntilLock();

  const QPointF point(5, 5);
  std::unique_ptr<QEvent> event;
  switch (eventType) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
      event = std::make_unique<QKeyEvent>(eventType, Qt::Key_A, Qt::NoModifier, "a");
      break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseButtonRelease:
      event = std::make_unique<QMouseEvent>(eventType, point, point, Qt::LeftButton, Qt::LeftButton,
                                            Qt::NoModifier);
      break;
    case QEvent::MouseMove:
      event = std::make_unique<QMouseEvent>(eventType, point, point, Qt::NoButton, Qt::NoButton,
                                            Qt::NoModifier);
      break;
    case QEvent::Wheel:
      event = std::make_unique<QWheelEvent>(point, point, QPoint(), QPoint(0, 120), Qt::NoButton,
                                            Qt::NoModifier, Qt::NoScrollPhase, false);
      break;
    default:
      event = std::make_unique<QEvent>(eventType);
      break;
  }
  QCoreApplication::sendEvent(&window, event.get());

  const int after = session_->MsUntilLock();
  QVERIFY2(restarts ? after > before : after <= before,
           qPrintable(QStringLiteral("%1 ms left before, %2 after").arg(before).arg(after)));
  QCOMPARE(session_->LockPeriodMs(), 60'000);
  // The period still ends in a lock.
  session_->OnLockTimeout();
  QVERIFY(session_->IsLocked());
}

void VaultSessionTest::webAddress_data() {
  QTest::addColumn<QByteArray>("address");
  QTest::addColumn<QString>("opened");

  QTest::newRow("no scheme") << QByteArray("example.com") << "http://example.com";
  QTest::newRow("HTTP in capitals") << QByteArray("HTTP://x") << "http://x";
  QTest::newRow("https") << QByteArray("https://x") << "https://x";
  QTest::newRow("another scheme") << QByteArray("ftp://x") << "http://ftp://x";
}

void VaultSessionTest::webAddress() {
  QFETCH(QByteArray, address);
  QFETCH(QString, opened);
  QVERIFY(StartUnlocked({{"Site", address.toStdString(), "user", "pw"}}));

  session_->GoToWebPage(*session_->Entries().front());

  QCOMPARE(recorder_.calls.size(), 1);
  // Qt normalises the address ("http://ftp//x"); compare it as Qt reads the expected text.
  QCOMPARE(recorder_.calls.front().url, QUrl(opened, QUrl::TolerantMode));
}

void VaultSessionTest::webPageCopyOption_data() {
  QTest::addColumn<QByteArray>("setting");  // CopyToClipboard; null: not stored
  QTest::addColumn<bool>("copies");

  QTest::newRow("set to 1") << QByteArray("1") << true;
  QTest::newRow("set to 0") << QByteArray("0") << false;
  QTest::newRow("not stored") << QByteArray() << false;
  QTest::newRow("set to true") << QByteArray("true") << false;
}

void VaultSessionTest::webPageCopyOption() {
  QFETCH(QByteArray, setting);
  QFETCH(bool, copies);
  if (!setting.isNull()) settings_->WriteSetting("CopyToClipboard", setting.toStdString());
  QVERIFY(StartUnlocked(kLogins));
  SetClipboard(kElsewhere);

  session_->GoToWebPage(*session_->Entries()[1]);

  QCOMPARE(recorder_.calls.size(), 1);
  const UrlRecorder::Call& call = recorder_.calls.front();
  QCOMPARE(call.url.toString(), QStringLiteral("http://bank.example"));
  // The password is on the clipboard by the time the browser opens.
  QVERIFY(call.clipboard == (copies ? Text(kLogins[1].password) : QString(kElsewhere)));
  QCOMPARE(call.secret, copies);
  QCOMPARE(session_->ClipboardCountdownRunning(), copies);
}

}  // namespace corvella

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication application(argc, argv);
  corvella::VaultSessionTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "VaultSessionTest.moc"
