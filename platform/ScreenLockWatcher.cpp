// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ScreenLockWatcher.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariant>

namespace corvella::platform {
namespace {

const QString kLogin = QStringLiteral("org.freedesktop.login1");
const QString kLoginPath = QStringLiteral("/org/freedesktop/login1");
const QString kLoginManager = QStringLiteral("org.freedesktop.login1.Manager");
const QString kLoginSession = QStringLiteral("org.freedesktop.login1.Session");
// Both send ActiveChanged(bool), on paths that differ between desktops.
const char* const kScreenSavers[] = {"org.freedesktop.ScreenSaver", "org.gnome.ScreenSaver"};

// A private connection of this watcher, so that its end closes it.
QString ConnectionName(const char* bus, const void* owner) {
  return QStringLiteral("corvella-%1-%2").arg(QLatin1String(bus)).arg(quintptr(owner), 0, 16);
}

QDBusConnection Connect(const QString& address, QDBusConnection::BusType type,
                        const QString& name) {
  if (!address.isEmpty()) return QDBusConnection::connectToBus(address, name);
  // Without an address the bus library would try to start a session bus of its own.
  if (type == QDBusConnection::SessionBus &&
      qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) {
    return QDBusConnection(name);
  }
  return QDBusConnection::connectToBus(type, name);
}

}  // namespace

ScreenLockWatcher::ScreenLockWatcher(QObject* parent) : ScreenLockWatcher(BusAddresses{}, parent) {}

ScreenLockWatcher::ScreenLockWatcher(const BusAddresses& addresses, QObject* parent)
    : QObject(parent),
      sessionBusName_(ConnectionName("session", this)),
      systemBusName_(ConnectionName("system", this)),
      sessionBus_(Connect(addresses.session, QDBusConnection::SessionBus, sessionBusName_)),
      systemBus_(Connect(addresses.system, QDBusConnection::SystemBus, systemBusName_)) {
  WatchSessionBus();
  WatchSystemBus();
}

ScreenLockWatcher::~ScreenLockWatcher() {
  QDBusConnection::disconnectFromBus(sessionBusName_);
  QDBusConnection::disconnectFromBus(systemBusName_);
}

void ScreenLockWatcher::WatchSessionBus() {
  if (!sessionBus_.isConnected()) return;
  for (const char* screenSaver : kScreenSavers) {
    // Any sender and any path: the interface tells what the signal means.
    sessionBus_.connect(QString(), QString(), QLatin1String(screenSaver),
                        QStringLiteral("ActiveChanged"), this,
                        SLOT(OnScreenSaverActiveChanged(bool)));
  }
}

void ScreenLockWatcher::WatchSystemBus() {
  if (!systemBus_.isConnected()) return;
  systemBus_.connect(kLogin, kLoginPath, kLoginManager, QStringLiteral("PrepareForSleep"), this,
                     SLOT(OnPrepareForSleep(bool)));
  HoldOffSleep();
  FindSession(QStringLiteral("GetSessionByPID"),
              QVariant::fromValue(static_cast<uint>(QCoreApplication::applicationPid())));
}

void ScreenLockWatcher::HoldOffSleep() {
  QDBusMessage call =
      QDBusMessage::createMethodCall(kLogin, kLoginPath, kLoginManager, QStringLiteral("Inhibit"));
  call << QStringLiteral("sleep") << QStringLiteral("Corvella")
       << QStringLiteral("Locks the password vault") << QStringLiteral("delay");
  auto* pending = new QDBusPendingCallWatcher(systemBus_.asyncCall(call), this);
  connect(pending, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* done) {
    done->deleteLater();
    const QDBusPendingReply<QDBusUnixFileDescriptor> reply = *done;
    // Refused, the computer may sleep before the lock: it then follows on waking.
    if (!reply.isError()) sleepDelay_ = reply.value();
  });
}

void ScreenLockWatcher::FindSession(const QString& method, const QVariant& argument) {
  QDBusMessage call = QDBusMessage::createMethodCall(kLogin, kLoginPath, kLoginManager, method);
  call << argument;
  // Asked without waiting, so that a slow login manager never holds up the program.
  auto* pending = new QDBusPendingCallWatcher(systemBus_.asyncCall(call), this);
  const bool byProcess = method == QLatin1String("GetSessionByPID");
  connect(pending, &QDBusPendingCallWatcher::finished, this,
          [this, byProcess](QDBusPendingCallWatcher* finished) {
            OnSessionFound(finished, byProcess);
          });
}

void ScreenLockWatcher::OnSessionFound(QDBusPendingCallWatcher* call, bool byProcess) {
  call->deleteLater();
  const QDBusPendingReply<QDBusObjectPath> reply = *call;
  if (reply.isError()) {
    // A process started outside the login session (a user service, say) has none of its own;
    // the session the environment names is the next best.
    const QString sessionId = qEnvironmentVariable("XDG_SESSION_ID");
    if (byProcess && !sessionId.isEmpty()) {
      FindSession(QStringLiteral("GetSession"), sessionId);
    }
    // Without a session of our own there is no session lock to follow.
    return;
  }
  const QString path = reply.value().path();
  systemBus_.connect(kLogin, path, kLoginSession, QStringLiteral("Lock"), this,
                     SLOT(OnSessionLock()));
  sessionPath_ = path;
}

void ScreenLockWatcher::OnScreenSaverActiveChanged(bool active) {
  if (active) emit ScreenLocked();
}

void ScreenLockWatcher::OnPrepareForSleep(bool start) {
  if (!start) {
    // Awake again: hold off the next sleep as well.
    if (!HoldsOffSleep()) HoldOffSleep();
    return;
  }
  emit SleepComing();
  // Locked: the login manager need not wait any longer.
  sleepDelay_ = QDBusUnixFileDescriptor();
}

void ScreenLockWatcher::OnSessionLock() { emit ScreenLocked(); }

}  // namespace corvella::platform
