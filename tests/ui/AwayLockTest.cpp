// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Locking when the person is away: input to any of the program's windows starts the lock period
// anew, and a locked screen or coming sleep locks as Lock does while its option is ticked.

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <functional>
#include <string>
#include <utility>

#include "platform/ScreenLockWatcher.h"
#include "tests/platform/PrivateBus.h"
#include "tests/ui/MainWindowTestSupport.h"
#include "ui/EntryEditor.h"

namespace corvella {
namespace {

using namespace test;

// What tells the window that the person has left.
enum class Away { ScreenLocked, SleepComing };
// What the person left behind.
enum class Left { Nothing, EditorWithTyping, QuestionOverEditor, UnsavedChanges };

}  // namespace
}  // namespace corvella

Q_DECLARE_METATYPE(corvella::Away)
Q_DECLARE_METATYPE(corvella::Left)
Q_DECLARE_METATYPE(corvella::MessageAnswer)

namespace corvella {

class AwayLockTest : public QObject, public MainWindowFixture {
  Q_OBJECT

 private slots:
  void initTestCase() { DropOffscreenWarnings(); }
  void init() { SetUpHome(); }
  void cleanup() { TearDownHome(); }

  void inputRestartsLockPeriod_data();
  void inputRestartsLockPeriod();
  void awayLocks_data();
  void awayLocks();
  void untickingStopsAtOnce_data();
  void untickingStopsAtOnce();
  void busSignalLocks_data();
  void busSignalLocks();
  void storedOptions_data();
  void storedOptions();
  void optionsLayout();

 private:
  [[nodiscard]] bool StartUnlocked() {
    PasswordStore store;
    auto entry = std::make_shared<Entry>();
    entry->SetSiteName("One");
    entry->SetPassword("pw one", store.Key());
    store.AddEntry(entry);
    store.SetMasterPassword(kVaultPassword);
    store.SavePasswordsTo(VaultPath());
    return StartWindow() && UnlockWith(kVaultPassword);
  }
  void LeaveWithAway(Away away) {
    away == Away::ScreenLocked ? window_->OnScreenLocked() : window_->OnSleepComing();
  }
  // Runs `act` on the first modal dialog of type Dialog, from the message loop.
  template <class Dialog>
  void WhenModalShows(std::function<void(Dialog&)> act) {
    auto* poll = new QTimer(this);
    connect(poll, &QTimer::timeout, this, [poll, act = std::move(act)] {
      if (auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget())) {
        poll->deleteLater();
        poll->stop();
        act(*dialog);
      }
    });
    poll->start(10);
  }
  QCheckBox* Box(const char* name) const {
    return window_->findChild<QCheckBox*>(QLatin1String(name));
  }
};

void AwayLockTest::inputRestartsLockPeriod_data() {
  QTest::addColumn<QString>("window");

  QTest::newRow("main window") << "main window";
  QTest::newRow("entry editor") << "entry editor";
  QTest::newRow("message box") << "message box";
  QTest::newRow("tray menu") << "tray menu";
}

void AwayLockTest::inputRestartsLockPeriod() {
  QFETCH(QString, window);
  QVERIFY(StartUnlocked());
  EntryEditor editor;
  QMessageBox box(QMessageBox::Question, QStringLiteral("Confirm"), QStringLiteral("Sure?"),
                  QMessageBox::Yes | QMessageBox::No);
  auto* trayMenu = window_->findChild<QMenu*>(QStringLiteral("trayMenu"));
  QVERIFY(trayMenu != nullptr);
  session_->SetLockPeriod(1);
  QWidget* target = nullptr;
  if (window == "main window") {
    target = window_->findChild<QWidget*>(QStringLiteral("entryList"));
  } else if (window == "entry editor") {
    editor.show();
    target = editor.findChild<QLineEdit*>(QStringLiteral("siteNameEdit"));
  } else if (window == "message box") {
    box.show();
    target = box.button(QMessageBox::No);
  } else {
    trayMenu->popup(QPoint(10, 10));
    target = trayMenu;
  }
  QVERIFY(target != nullptr);
  QVERIFY(QTest::qWaitForWindowExposed(target->window()));
  // Long enough for the period to have visibly run down, and past a storm of input.
  QTest::qWait(300);
  const int before = session_->MsUntilLock();

  if (window == "message box") {
    QTest::mouseClick(target, Qt::LeftButton);
  } else {
    QTest::keyClick(target, Qt::Key_Down);
  }

  const int after = session_->MsUntilLock();
  QVERIFY2(after > before,
           qPrintable(QStringLiteral("%1 ms left before, %2 after").arg(before).arg(after)));
  trayMenu->hide();
}

void AwayLockTest::awayLocks_data() {
  QTest::addColumn<Away>("away");
  QTest::addColumn<QByteArray>("lines");  // the settings file
  QTest::addColumn<Left>("left");
  QTest::addColumn<MessageAnswer>("answer");  // to the question about unsaved changes
  QTest::addColumn<bool>("locks");

  const auto screen = Away::ScreenLocked;
  const auto sleep = Away::SleepComing;
  const MessageAnswer none = MessageAnswer::Cancel;
  QTest::newRow("screen locked") << screen << QByteArray() << Left::Nothing << none << true;
  QTest::newRow("sleep coming") << sleep << QByteArray() << Left::Nothing << none << true;
  QTest::newRow("screen locked, its option off")
      << screen << QByteArray("LockOnScreenLock=0\n") << Left::Nothing << none << false;
  QTest::newRow("sleep coming, its option off")
      << sleep << QByteArray("LockBeforeSleep=0\n") << Left::Nothing << none << false;
  QTest::newRow("screen locked, the sleep option off")
      << screen << QByteArray("LockBeforeSleep=0\n") << Left::Nothing << none << true;
  QTest::newRow("sleep coming, the screen option off")
      << sleep << QByteArray("LockOnScreenLock=0\n") << Left::Nothing << none << true;
  QTest::newRow("screen locked, the lock timer off")
      << screen << QByteArray("LockProgram=0\n") << Left::Nothing << none << true;
  QTest::newRow("screen locked, an option not a flag")
      << screen << QByteArray("LockOnScreenLock=yes\n") << Left::Nothing << none << false;
  QTest::newRow("screen locked in the editor")
      << screen << QByteArray() << Left::EditorWithTyping << none << true;
  QTest::newRow("sleep coming in the editor")
      << sleep << QByteArray() << Left::EditorWithTyping << none << true;
  QTest::newRow("question over the editor")
      << screen << QByteArray() << Left::QuestionOverEditor << none << true;
  QTest::newRow("editor, option off")
      << screen << QByteArray("LockOnScreenLock=0\n") << Left::EditorWithTyping << none << false;
  QTest::newRow("unsaved changes, discarded")
      << screen << QByteArray() << Left::UnsavedChanges << MessageAnswer::Discard << true;
  QTest::newRow("unsaved changes, cancelled")
      << sleep << QByteArray() << Left::UnsavedChanges << MessageAnswer::Cancel << false;
}

void AwayLockTest::awayLocks() {
  QFETCH(Away, away);
  QFETCH(QByteArray, lines);
  QFETCH(Left, left);
  QFETCH(MessageAnswer, answer);
  QFETCH(bool, locks);
  if (!lines.isEmpty()) QVERIFY(WriteAll(SettingsPath(), "[General]\n" + lines));
  QVERIFY(StartUnlocked());
  const QByteArray vault = ReadAll(VaultFile());
  answer_ = [answer] { return answer; };
  QSignalSpy locked(session_.get(), &VaultSession::Locked);

  switch (left) {
    case Left::Nothing:
      LeaveWithAway(away);
      break;
    case Left::EditorWithTyping: {
      bool typed = false;
      WhenModalShows<EntryEditor>([&](EntryEditor& editor) {
        auto* site = editor.findChild<QLineEdit*>(QStringLiteral("siteNameEdit"));
        QVERIFY(site != nullptr);
        QTest::keyClicks(site, QStringLiteral("Half typed"));
        typed = true;
        LeaveWithAway(away);
        // Whatever happened, the modal loop has to end.
        if (editor.isVisible()) editor.reject();
      });
      window_->findChild<QAction*>(QStringLiteral("newPasswordAction"))->trigger();
      QVERIFY(typed);
      // The typing is given up: nothing reached the vault.
      QCOMPARE(ReadAll(VaultFile()), vault);
      break;
    }
    case Left::QuestionOverEditor: {
      // A real box this time: "replace the existing password?" after Generate.
      MessageDialogResponder realBoxes({});
      bool asked = false;
      bool closedByTheLock = false;
      WhenModalShows<EntryEditor>([&](EntryEditor& editor) {
        editor.findChild<SecretField*>(QStringLiteral("passwordEdit"))->SetSecret("typed pw");
        WhenModalShows<QMessageBox>([&](QMessageBox& question) {
          asked = question.text().startsWith(QStringLiteral("Are you sure"));
          LeaveWithAway(away);
          closedByTheLock = !question.isVisible();
          if (question.isVisible()) question.reject();
        });
        editor.findChild<QAbstractButton*>(QStringLiteral("generateButton"))->click();
        if (editor.isVisible()) editor.reject();
      });
      window_->findChild<QAction*>(QStringLiteral("newPasswordAction"))->trigger();
      QVERIFY(asked);
      QVERIFY(closedByTheLock);
      QCOMPARE(ReadAll(VaultFile()), vault);
      break;
    }
    case Left::UnsavedChanges: {
      QVERIFY(QFile::remove(VaultFile()));
      QVERIFY(QDir().mkdir(VaultFile()));
      bool refused = false;
      try {
        session_->AddEntry({"Two", "", "", SecureString("pw two")});
      } catch (const ChangeNotSavedError&) {
        refused = true;
      }
      QVERIFY(refused);
      QVERIFY(session_->HasUnsavedChanges());
      LeaveWithAway(away);
      const QStringList messages = TakeMessages();
      QCOMPARE(messages.size(), 1);
      QVERIFY2(messages.front().startsWith(QStringLiteral("Warning (Retry, Discard, Cancel): ")),
               qPrintable(messages.front()));
      break;
    }
  }

  QCOMPARE(session_->IsLocked(), locks);
  QCOMPARE(locked.count(), locks ? 1 : 0);
  QCOMPARE(session_->Entries().empty(), locks);
  QCOMPARE(unlockField_->isVisible(), locks);
  QCOMPARE(TakeMessages(), QStringList());
  if (!locks) return;
  // Once locked, another signal changes nothing.
  LeaveWithAway(away);
  QCOMPARE(locked.count(), locks ? 1 : 0);
  QCOMPARE(TakeMessages(), QStringList());
}

void AwayLockTest::untickingStopsAtOnce_data() {
  QTest::addColumn<Away>("away");
  QTest::addColumn<QString>("box");

  QTest::newRow("screen") << Away::ScreenLocked << "lockOnScreenLockBox";
  QTest::newRow("sleep") << Away::SleepComing << "lockBeforeSleepBox";
}

void AwayLockTest::untickingStopsAtOnce() {
  QFETCH(Away, away);
  QFETCH(QString, box);
  QVERIFY(StartUnlocked());
  auto* optionsButton = window_->findChild<QAbstractButton*>(QStringLiteral("optionsButton"));
  auto* checkBox = window_->findChild<QCheckBox*>(box);
  QVERIFY(optionsButton != nullptr && checkBox != nullptr);
  QTest::mouseClick(optionsButton, Qt::LeftButton);
  QVERIFY(checkBox->isVisible());
  QVERIFY(checkBox->isChecked());

  // Near the left edge: a check box takes clicks on its indicator and its text only.
  QTest::mouseClick(checkBox, Qt::LeftButton, {}, QPoint(5, checkBox->height() / 2));
  QVERIFY(!checkBox->isChecked());
  LeaveWithAway(away);
  QVERIFY(!session_->IsLocked());

  QTest::mouseClick(checkBox, Qt::LeftButton, {}, QPoint(5, checkBox->height() / 2));
  QVERIFY(checkBox->isChecked());
  LeaveWithAway(away);
  QVERIFY(session_->IsLocked());
  QCOMPARE(TakeMessages(), QStringList());
}

void AwayLockTest::busSignalLocks_data() {
  QTest::addColumn<bool>("fromSystemBus");
  QTest::addColumn<QString>("path");
  QTest::addColumn<QString>("interface");
  QTest::addColumn<QString>("name");
  QTest::addColumn<bool>("argument");

  QTest::newRow("screen saver") << false << "/org/freedesktop/ScreenSaver"
                                << "org.freedesktop.ScreenSaver"
                                << "ActiveChanged" << true;
  QTest::newRow("sleep") << true << "/org/freedesktop/login1"
                         << "org.freedesktop.login1.Manager"
                         << "PrepareForSleep" << true;
}

void AwayLockTest::busSignalLocks() {
  QFETCH(bool, fromSystemBus);
  QFETCH(QString, path);
  QFETCH(QString, interface);
  QFETCH(QString, name);
  QFETCH(bool, argument);
  PrivateBus sessionBus;
  PrivateBus systemBus;
  QVERIFY2(!sessionBus.Address().isEmpty(), qPrintable(sessionBus.Failure()));
  QVERIFY2(!systemBus.Address().isEmpty(), qPrintable(systemBus.Failure()));
  LoginManagerStandIn manager;
  QDBusConnection login = systemBus.Connect(QStringLiteral("login"));
  QVERIFY(manager.Register(login));
  QDBusConnection desktop = sessionBus.Connect(QStringLiteral("desktop"));
  QVERIFY(StartUnlocked());
  platform::ScreenLockWatcher watcher({sessionBus.Address(), systemBus.Address()}, nullptr);
  window_->FollowScreenLock(watcher);

  QVERIFY(PrivateBus::Emit(fromSystemBus ? login : desktop, path, interface, name, argument));

  QTRY_VERIFY(session_->IsLocked());
  QVERIFY(unlockField_->isVisible());
  QCOMPARE(TakeMessages(), QStringList());
}

void AwayLockTest::storedOptions_data() {
  QTest::addColumn<QByteArray>("stored");  // both options' value
  QTest::addColumn<bool>("ticked");

  QTest::newRow("1") << QByteArray("1") << true;
  QTest::newRow("missing") << QByteArray() << true;
  QTest::newRow("0") << QByteArray("0") << false;
  QTest::newRow("01") << QByteArray("01") << false;
  QTest::newRow("true") << QByteArray("true") << false;
  // Reset to "1", and told of.
  QTest::newRow("not a plain value") << QByteArray("a, b") << true;
}

void AwayLockTest::storedOptions() {
  QFETCH(QByteArray, stored);
  QFETCH(bool, ticked);
  if (!stored.isNull()) {
    QVERIFY(WriteAll(SettingsPath(), "[General]\nLockOnScreenLock=" + stored +
                                         "\nLockBeforeSleep=" + stored + "\n"));
  }

  QVERIFY(StartWindow());

  const std::string written = ticked ? "1" : "0";
  const std::pair<const char*, const char*> options[] = {
      {"LockOnScreenLock", "lockOnScreenLockBox"}, {"LockBeforeSleep", "lockBeforeSleepBox"}};
  for (const auto& [name, box] : options) {
    QCOMPARE(Box(box)->isChecked(), ticked);
    if (!stored.isNull()) QCOMPARE(settings_->ReadSetting(name), written);
  }
  QStringList messages = TakeMessages();
  if (stored == "a, b") {
    QCOMPARE(messages.size(), 2);
    for (const QString& message : messages) {
      QVERIFY2(message.contains(QStringLiteral("held an invalid value")), qPrintable(message));
    }
  } else {
    QCOMPARE(messages, QStringList());
  }
}

void AwayLockTest::optionsLayout() {
  QVERIFY(StartWindow());
  const auto geometry = [this](const char* name) {
    auto* control = window_->findChild<QWidget*>(QLatin1String(name));
    return control != nullptr ? control->geometry() : QRect();
  };
  const QRect lockLine = geometry("lockProgramBox").united(geometry("lockTimeBox"));
  const QRect screen = geometry("lockOnScreenLockBox");
  const QRect sleep = geometry("lockBeforeSleepBox");
  const QRect startup = geometry("loadOnStartupBox");
  // Indented under the lock line as the clipboard note is under its box.
  QCOMPARE(screen.topLeft(), QPoint(40, 112));
  QCOMPARE(sleep.topLeft(), QPoint(40, 136));
  QCOMPARE(startup.topLeft(), QPoint(16, 184));
  QCOMPARE(geometry("clipboardNote").left(), 40);
  // Each shows its whole text, and none covers another.
  for (const char* name : {"lockOnScreenLockBox", "lockBeforeSleepBox"}) {
    auto* box = Box(name);
    QVERIFY(box->width() >= box->sizeHint().width());
  }
  QVERIFY(lockLine.bottom() < screen.top());
  QVERIFY(screen.bottom() < sleep.top());
  QVERIFY(sleep.bottom() < startup.top());
}

}  // namespace corvella

int main(int argc, char** argv) {
  return corvella::test::RunMainWindowTest<corvella::AwayLockTest>(argc, argv);
}

#include "AwayLockTest.moc"
