// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The window's commands on the password file itself: changing the master password from the
// Options page, and opening the backup of a damaged file read-only until it is restored.

#include <QApplication>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <functional>
#include <string>

#include "platform/Files.h"
#include "store/CipherFraming.h"
#include "store/Errors.h"
#include "store/PasswordStream.h"
#include "tests/ui/MainWindowTestSupport.h"
#include "ui/ChangePasswordDialog.h"
#include "ui/EntryListView.h"

namespace corvella {
namespace {

using namespace test;

const char* const kChanged = "Information: The master password has been changed.";
const std::string kNewPassword = "n\xC3\xA9w master";

void SaveVault(const std::string& path, const QStringList& sites) {
  PasswordStore store;
  for (const QString& site : sites) {
    auto entry = std::make_shared<Entry>();
    entry->SetSiteName(Bytes(site));
    entry->SetPassword("pw-" + Bytes(site), store.Key());
    store.AddEntry(std::move(entry));
  }
  store.SetMasterPassword(kVaultPassword);
  store.SavePasswordsTo(path);
}

// Replaces the file with one whose last record stops short, leaving its backup alone.
void DamageVault(const std::string& path) {
  PasswordStore store;
  auto entry = std::make_shared<Entry>();
  entry->SetSiteName("cut");
  store.AddEntry(entry);
  SecureBytes stream;
  WritePasswordStream(store.Entries(), store.Key(), stream);
  stream.resize(stream.size() - 5);
  platform::AtomicFileWriter file(path);
  EncryptStreamToFile(stream, file, FileKey::FromMasterPassword(kVaultPassword));
  file.Commit();
}

QStringList SiteNames(const VaultSession& session) {
  QStringList names;
  for (const EntryPtr& entry : session.Entries()) names << Text(entry->SiteName());
  return names;
}

// What the dialog held after each OK, and whether it closed.
struct DialogVisit {
  bool shown = false;
  bool fieldsEmptied = false;
  bool closedByOk = false;
};

}  // namespace

class ChangePasswordTest : public QObject, public MainWindowFixture {
  Q_OBJECT

 private slots:
  void initTestCase() { DropOffscreenWarnings(); }
  void init() { SetUpHome(); }
  void cleanup() { TearDownHome(); }

  void buttonFollowsTheLock();
  void changeMasterPassword_data();
  void changeMasterPassword();
  void lockClosesTheDialog();
  void backupOfADamagedFile_data();
  void backupOfADamagedFile();

 private:
  QPushButton* ChangeButton() {
    return window_->findChild<QPushButton*>(QStringLiteral("changePasswordButton"));
  }
  void ClickTool(const char* name) {
    auto* button = window_->findChild<QToolButton*>(QLatin1String(name));
    QVERIFY2(button != nullptr, name);
    QTest::mouseClick(button, Qt::LeftButton);
  }
  // Opens the dialog from the Options page and types `typed` (current, new, repeat), then OK;
  // Cancel closes it when OK did not.
  DialogVisit RunDialog(const std::array<std::string, 3>& typed);
};

DialogVisit ChangePasswordTest::RunDialog(const std::array<std::string, 3>& typed) {
  DialogVisit visit;
  QTimer::singleShot(0, this, [&] {
    auto* dialog = qobject_cast<ChangePasswordDialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr) return;
    visit.shown = true;
    const char* names[] = {"currentPasswordEdit", "newPasswordEdit", "repeatPasswordEdit"};
    std::vector<SecretField*> fields;
    for (int i = 0; i < 3; ++i) {
      fields.push_back(dialog->findChild<SecretField*>(QLatin1String(names[i])));
      if (fields.back() == nullptr) return dialog->reject();
      fields.back()->SetSecret(typed[static_cast<std::size_t>(i)]);
    }
    QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("okButton")), Qt::LeftButton);
    visit.closedByOk = !dialog->isVisible();
    visit.fieldsEmptied = fields[1]->IsEmpty() && fields[2]->IsEmpty();
    if (dialog->isVisible()) {
      QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("cancelButton")),
                        Qt::LeftButton);
    }
  });
  QTest::mouseClick(window_->findChild<QWidget*>(QStringLiteral("optionsButton")), Qt::LeftButton);
  QTest::mouseClick(ChangeButton(), Qt::LeftButton);
  return visit;
}

void ChangePasswordTest::buttonFollowsTheLock() {
  SaveVault(VaultPath(), {"Mail"});
  QVERIFY(StartWindow());
  QPushButton* button = ChangeButton();
  QVERIFY(button != nullptr);
  QCOMPARE(button->text(), QStringLiteral("Change Master Password..."));
  QCOMPARE(button->pos(), QPoint(16, 232));
  QVERIFY(!button->isEnabled());
  QVERIFY(UnlockWith(kVaultPassword));
  QVERIFY(button->isEnabled());
  ClickTool("lockActionButton");
  QVERIFY(session_->IsLocked());
  QVERIFY(!button->isEnabled());
}

void ChangePasswordTest::changeMasterPassword_data() {
  QTest::addColumn<QByteArray>("current");
  QTest::addColumn<QByteArray>("newPassword");
  QTest::addColumn<QByteArray>("repeat");
  QTest::addColumn<QString>("message");
  QTest::addColumn<bool>("changed");

  const QByteArray right(kVaultPassword.data(), qsizetype(kVaultPassword.size()));
  const QByteArray fresh = QByteArray::fromStdString(kNewPassword);
  QTest::newRow("changed") << right << fresh << fresh << kChanged << true;
  QTest::newRow("wrong current") << QByteArray("correct horse 8") << fresh << fresh
                                 << kInvalidMasterPassword << false;
  QTest::newRow("repeat differs") << right << fresh << fresh + "x" << kMismatch << false;
  QTest::newRow("too short") << right << QByteArray("five5") << QByteArray("five5") << kTooShort
                             << false;
}

void ChangePasswordTest::changeMasterPassword() {
  QFETCH(QByteArray, current);
  QFETCH(QByteArray, newPassword);
  QFETCH(QByteArray, repeat);
  QFETCH(QString, message);
  QFETCH(bool, changed);
  SaveVault(VaultPath(), {"Mail", "Bank"});
  QVERIFY(StartWindow());
  QVERIFY(UnlockWith(kVaultPassword));

  const DialogVisit visit =
      RunDialog({current.toStdString(), newPassword.toStdString(), repeat.toStdString()});

  QVERIFY(visit.shown);
  QCOMPARE(TakeMessages(), QStringList{message});
  QCOMPARE(visit.closedByOk, changed);
  // A refusal empties the new password's fields for another try.
  if (!changed) QVERIFY(visit.fieldsEmptied);
  QVERIFY(!session_->IsLocked());
  ClickTool("lockActionButton");
  const std::string opens = changed ? kNewPassword : std::string(kVaultPassword);
  const std::string refused = changed ? std::string(kVaultPassword) : kNewPassword;
  QVERIFY(!UnlockWith(refused));
  QCOMPARE(TakeMessages(), QStringList{kInvalidMasterPassword});
  QVERIFY(UnlockWith(opens));
  QCOMPARE(SiteNames(*session_), (QStringList{"Mail", "Bank"}));
}

// Locking (the lock period, the screen's lock) while the dialog is open closes it and changes
// nothing.
void ChangePasswordTest::lockClosesTheDialog() {
  SaveVault(VaultPath(), {"Mail"});
  const QByteArray before = ReadAll(VaultFile());
  QVERIFY(StartWindow());
  QVERIFY(UnlockWith(kVaultPassword));
  bool closed = false;
  QTimer::singleShot(0, this, [&] {
    auto* dialog = qobject_cast<ChangePasswordDialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr) return;
    dialog->findChild<SecretField*>(QStringLiteral("currentPasswordEdit"))->SetSecret("typed");
    session_->Lock();
    closed = !dialog->isVisible();
    if (!closed) dialog->reject();
  });
  QTest::mouseClick(window_->findChild<QWidget*>(QStringLiteral("optionsButton")), Qt::LeftButton);
  QTest::mouseClick(ChangeButton(), Qt::LeftButton);

  QVERIFY(closed);
  QVERIFY(session_->IsLocked());
  QCOMPARE(TakeMessages(), QStringList());
  QCOMPARE(ReadAll(VaultFile()), before);
}

void ChangePasswordTest::backupOfADamagedFile_data() {
  QTest::addColumn<bool>("restoreAtOnce");

  QTest::newRow("restored when opened") << true;
  QTest::newRow("restored on the first change") << false;
}

void ChangePasswordTest::backupOfADamagedFile() {
  QFETCH(bool, restoreAtOnce);
  SaveVault(VaultPath(), {"Older"});
  SaveVault(VaultPath(), {"Newer", "Lost"});
  DamageVault(VaultPath());
  const QByteArray damaged = ReadAll(VaultFile());
  QVERIFY(StartWindow());
  // Open the backup: Yes; restore it when opened: as the row says; restore it later: Yes.
  int questions = 0;
  answer_ = [&] {
    return ++questions != 2 || restoreAtOnce ? MessageAnswer::Yes : MessageAnswer::No;
  };

  QVERIFY(UnlockWith(kVaultPassword));

  const QString offer =
      "Confirm (Yes, No): The password file " + VaultFile() +
      " is damaged and cannot be read.\n\nA backup of the password file was found: " + VaultFile() +
      ".bak\n\nOpen the backup read-only?";
  const QString restore =
      "Confirm (Yes, No): The backup of the password file is open read-only: changes are refused "
      "until it is restored.\n\nRestore the backup as the password file now? The damaged file is "
      "kept as " +
      VaultFile() + ".damaged.";
  QCOMPARE(TakeMessages(), (QStringList{offer, restore}));
  QCOMPARE(SiteNames(*session_), QStringList{"Older"});
  if (!restoreAtOnce) {
    QVERIFY(session_->IsReadOnly());
    QCOMPARE(window_->windowTitle(), QStringLiteral("Corvella 1.0 (backup, read-only)"));
    QCOMPARE(ReadAll(VaultFile()), damaged);
    // A change asks again; this time Yes restores, and the command goes on.
    ClickTool("deleteActionButton");
    QCOMPARE(TakeMessages(),
             (QStringList{restore, "Information: Please select a password entry to delete"}));
  }
  QVERIFY(!session_->IsReadOnly());
  QCOMPARE(window_->windowTitle(), QStringLiteral("Corvella 1.0"));
  QCOMPARE(ReadAll(VaultFile() + ".damaged"), damaged);
  ClickTool("lockActionButton");
  QVERIFY(UnlockWith(kVaultPassword));
  QCOMPARE(SiteNames(*session_), QStringList{"Older"});
}

}  // namespace corvella

int main(int argc, char** argv) {
  return corvella::test::RunMainWindowTest<corvella::ChangePasswordTest>(argc, argv);
}

#include "ChangePasswordTest.moc"
