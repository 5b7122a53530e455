// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The screen-lock watcher against two buses of the test's own: one in the place of the session
// bus, one in the place of the system bus with a stand-in for the login manager. Whether a
// signal was ignored is known once a later signal from the same sender has arrived: a bus
// delivers one sender's messages in order.

#include <QCoreApplication>
#include <QDir>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>
#include <memory>

#include "platform/ScreenLockWatcher.h"
#include "tests/platform/PrivateBus.h"

using corvella::platform::ScreenLockWatcher;
using corvella::test::LoginManagerStandIn;
using corvella::test::PrivateBus;

namespace {

const QString kSessionPath = QLatin1String(LoginManagerStandIn::kSessionPath);
const QString kManagerPath = QStringLiteral("/org/freedesktop/login1");
const QString kManager = QStringLiteral("org.freedesktop.login1.Manager");

QStringList warnings;
QtMessageHandler previousHandler = nullptr;

void RecordWarnings(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (type != QtDebugMsg && type != QtInfoMsg) warnings << message;
  if (previousHandler != nullptr) previousHandler(type, context, message);
}

}  // namespace

class ScreenLockWatcherTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QVERIFY2(!sessionBus_.Address().isEmpty(), qPrintable(sessionBus_.Failure()));
    QVERIFY2(!systemBus_.Address().isEmpty(), qPrintable(systemBus_.Failure()));
    desktop_ = sessionBus_.Connect(QStringLiteral("desktop"));
    login_ = systemBus_.Connect(QStringLiteral("login"));
    QVERIFY(desktop_.isConnected());
    QVERIFY(login_.isConnected());
    manager_.knownPid = static_cast<uint>(QCoreApplication::applicationPid());
    QVERIFY(manager_.Register(login_));
  }
  void init() {
    manager_.calls = 0;
    manager_.inhibitors.clear();
    warnings.clear();
    previousHandler = qInstallMessageHandler(RecordWarnings);
  }
  void cleanup() {
    qInstallMessageHandler(previousHandler);
    previousHandler = nullptr;
  }

  void signalFromTheDesktop_data();
  void signalFromTheDesktop();
  void signalFromTheLoginManager_data();
  void signalFromTheLoginManager();
  void findsTheSession_data();
  void findsTheSession();
  void sleepWaitsForTheLock();
  void noBus();

 private:
  // A watcher on the two buses whose session has been looked up.
  std::unique_ptr<ScreenLockWatcher> StartWatcher(int sessionCalls = 1) {
    auto watcher = std::make_unique<ScreenLockWatcher>(
        ScreenLockWatcher::BusAddresses{sessionBus_.Address(), systemBus_.Address()}, nullptr);
    [&] { QTRY_COMPARE(manager_.calls, sessionCalls); }();
    QCoreApplication::processEvents();
    return watcher;
  }

  PrivateBus sessionBus_;
  PrivateBus systemBus_;
  QDBusConnection desktop_{QString()};
  QDBusConnection login_{QString()};
  LoginManagerStandIn manager_;
};

void ScreenLockWatcherTest::signalFromTheDesktop_data() {
  QTest::addColumn<QString>("path");
  QTest::addColumn<QString>("interface");
  QTest::addColumn<bool>("active");
  QTest::addColumn<bool>("locks");

  const QString freedesktop = QStringLiteral("org.freedesktop.ScreenSaver");
  const QString gnome = QStringLiteral("org.gnome.ScreenSaver");
  QTest::newRow("freedesktop, locked")
      << "/org/freedesktop/ScreenSaver" << freedesktop << true << true;
  QTest::newRow("freedesktop on another path") << "/ScreenSaver" << freedesktop << true << true;
  QTest::newRow("GNOME, locked") << "/org/gnome/ScreenSaver" << gnome << true << true;
  QTest::newRow("freedesktop, unlocked")
      << "/org/freedesktop/ScreenSaver" << freedesktop << false << false;
  QTest::newRow("GNOME, unlocked") << "/org/gnome/ScreenSaver" << gnome << false << false;
  QTest::newRow("another interface") << "/org/freedesktop/ScreenSaver"
                                     << "org.example.ScreenSaver" << true << false;
}

void ScreenLockWatcherTest::signalFromTheDesktop() {
  QFETCH(QString, path);
  QFETCH(QString, interface);
  QFETCH(bool, active);
  QFETCH(bool, locks);
  const auto watcher = StartWatcher();
  QSignalSpy locked(watcher.get(), &ScreenLockWatcher::ScreenLocked);
  QSignalSpy sleep(watcher.get(), &ScreenLockWatcher::SleepComing);

  QVERIFY(PrivateBus::Emit(desktop_, path, interface, QStringLiteral("ActiveChanged"), active));
  // The mark: a lock that always counts.
  QVERIFY(PrivateBus::Emit(desktop_, QStringLiteral("/org/freedesktop/ScreenSaver"),
                           QStringLiteral("org.freedesktop.ScreenSaver"),
                           QStringLiteral("ActiveChanged"), true));

  QTRY_COMPARE(locked.count(), locks ? 2 : 1);
  QCOMPARE(sleep.count(), 0);
  QVERIFY2(warnings.isEmpty(), qPrintable(warnings.join('\n')));
}

void ScreenLockWatcherTest::signalFromTheLoginManager_data() {
  QTest::addColumn<QString>("path");
  QTest::addColumn<QString>("interface");
  QTest::addColumn<QString>("name");
  QTest::addColumn<QVariant>("argument");
  QTest::addColumn<int>("screenLocks");
  QTest::addColumn<int>("sleeps");

  const QString session = QStringLiteral("org.freedesktop.login1.Session");
  QTest::newRow("sleep coming") << kManagerPath << kManager << "PrepareForSleep" << QVariant(true)
                                << 0 << 1;
  QTest::newRow("waking up") << kManagerPath << kManager << "PrepareForSleep" << QVariant(false)
                             << 0 << 0;
  QTest::newRow("our session locked") << kSessionPath << session << "Lock" << QVariant() << 1 << 0;
  QTest::newRow("another session locked")
      << "/org/freedesktop/login1/session/_4" << session << "Lock" << QVariant() << 0 << 0;
  QTest::newRow("our session unlocked")
      << kSessionPath << session << "Unlock" << QVariant() << 0 << 0;
}

void ScreenLockWatcherTest::signalFromTheLoginManager() {
  QFETCH(QString, path);
  QFETCH(QString, interface);
  QFETCH(QString, name);
  QFETCH(QVariant, argument);
  QFETCH(int, screenLocks);
  QFETCH(int, sleeps);
  const auto watcher = StartWatcher();
  QTRY_COMPARE(watcher->SessionPath(), kSessionPath);
  QSignalSpy locked(watcher.get(), &ScreenLockWatcher::ScreenLocked);
  QSignalSpy sleep(watcher.get(), &ScreenLockWatcher::SleepComing);

  QVERIFY(PrivateBus::Emit(login_, path, interface, name, argument));
  // The mark: a sleep that always counts.
  QVERIFY(
      PrivateBus::Emit(login_, kManagerPath, kManager, QStringLiteral("PrepareForSleep"), true));

  QTRY_COMPARE(sleep.count(), sleeps + 1);
  QCOMPARE(locked.count(), screenLocks);
  QVERIFY2(warnings.isEmpty(), qPrintable(warnings.join('\n')));
}

void ScreenLockWatcherTest::findsTheSession_data() {
  QTest::addColumn<bool>("ourPidKnown");
  QTest::addColumn<QByteArray>("sessionId");  // XDG_SESSION_ID
  QTest::addColumn<int>("calls");
  QTest::addColumn<bool>("found");

  QTest::newRow("by our process") << true << QByteArray() << 1 << true;
  QTest::newRow("by the environment's id") << false << QByteArray("3") << 2 << true;
  QTest::newRow("by neither") << false << QByteArray("4") << 2 << false;
  QTest::newRow("no session") << false << QByteArray() << 1 << false;
}

void ScreenLockWatcherTest::findsTheSession() {
  QFETCH(bool, ourPidKnown);
  QFETCH(QByteArray, sessionId);
  QFETCH(int, calls);
  QFETCH(bool, found);
  const uint pid = manager_.knownPid;
  const QByteArray previousId = qgetenv("XDG_SESSION_ID");
  const auto restore = qScopeGuard([&] {
    manager_.knownPid = pid;
    manager_.knownId.clear();
    qputenv("XDG_SESSION_ID", previousId);
  });
  if (!ourPidKnown) manager_.knownPid = 0;
  manager_.knownId = QStringLiteral("3");
  qputenv("XDG_SESSION_ID", sessionId);

  const auto watcher = StartWatcher(calls);
  QSignalSpy locked(watcher.get(), &ScreenLockWatcher::ScreenLocked);
  QSignalSpy sleep(watcher.get(), &ScreenLockWatcher::SleepComing);
  if (found) QTRY_COMPARE(watcher->SessionPath(), kSessionPath);
  QVERIFY(PrivateBus::Emit(login_, kSessionPath, QStringLiteral("org.freedesktop.login1.Session"),
                           QStringLiteral("Lock")));
  QVERIFY(
      PrivateBus::Emit(login_, kManagerPath, kManager, QStringLiteral("PrepareForSleep"), true));

  QTRY_COMPARE(sleep.count(), 1);
  QCOMPARE(locked.count(), found ? 1 : 0);
  QCOMPARE(watcher->SessionPath(), found ? kSessionPath : QString());
  QVERIFY2(warnings.isEmpty(), qPrintable(warnings.join('\n')));
}

void ScreenLockWatcherTest::sleepWaitsForTheLock() {
  const auto watcher = StartWatcher();
  QTRY_VERIFY(watcher->HoldsOffSleep());
  QCOMPARE(manager_.inhibitors.size(), 1);
  QCOMPARE(manager_.inhibitors.front(),
           QStringLiteral("sleep Corvella Locks the password vault delay"));
  const size_t first = manager_.inhibitorEnds.size() - 1;
  QVERIFY(!manager_.Released(first));
  bool heldWhileLocking = false;
  connect(watcher.get(), &ScreenLockWatcher::SleepComing, this,
          [&] { heldWhileLocking = !manager_.Released(first); });

  QVERIFY(
      PrivateBus::Emit(login_, kManagerPath, kManager, QStringLiteral("PrepareForSleep"), true));
  QTRY_VERIFY(manager_.Released(first));
  QVERIFY(heldWhileLocking);
  QVERIFY(!watcher->HoldsOffSleep());

  // Awake again, the next sleep is held off as well.
  QVERIFY(
      PrivateBus::Emit(login_, kManagerPath, kManager, QStringLiteral("PrepareForSleep"), false));
  QTRY_VERIFY(watcher->HoldsOffSleep());
  QCOMPARE(manager_.inhibitors.size(), 2);
  QVERIFY(!manager_.Released(first + 1));
  QVERIFY2(warnings.isEmpty(), qPrintable(warnings.join('\n')));
}

void ScreenLockWatcherTest::noBus() {
  // No session bus in the environment, and addresses where no bus listens: nothing arrives, and
  // nothing is said.
  const QByteArray previous = qgetenv("DBUS_SESSION_BUS_ADDRESS");
  const auto restore = qScopeGuard([&] { qputenv("DBUS_SESSION_BUS_ADDRESS", previous); });
  qunsetenv("DBUS_SESSION_BUS_ADDRESS");
  const QString nowhere = QStringLiteral("unix:path=") + QDir::tempPath() + "/corvella-no-bus";
  {
    ScreenLockWatcher withoutSessionBus({QString(), nowhere}, nullptr);
    ScreenLockWatcher withoutAnyBus({nowhere, nowhere}, nullptr);
    // The machine's system bus, which may well be missing here.
    ScreenLockWatcher withTheEnvironment;
    QCoreApplication::processEvents();
    QVERIFY(withoutAnyBus.SessionPath().isEmpty());
  }
  QCOMPARE(manager_.calls, 0);
  QVERIFY2(warnings.isEmpty(), qPrintable(warnings.join('\n')));
}

QTEST_GUILESS_MAIN(ScreenLockWatcherTest)
#include "ScreenLockWatcherTest.moc"
