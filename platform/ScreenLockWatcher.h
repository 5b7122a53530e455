// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QObject>
#include <QString>

class QDBusPendingCallWatcher;

namespace corvella::platform {

// Tells when the person leaves: the desktop's screen saver locking the screen, the login
// manager locking our session, or the computer about to sleep. It listens on the session bus
// for the screen savers' ActiveChanged and on the system bus for the login manager's signals.
// A bus that is missing or refuses us is no error: nothing arrives from it. While it may, the
// watcher holds off sleep (a "delay" inhibitor of the login manager) until SleepComing has been
// handled.
class ScreenLockWatcher final : public QObject {
  Q_OBJECT

 public:
  // The buses' addresses; an empty one stands for the bus of the environment (the session bus
  // only where DBUS_SESSION_BUS_ADDRESS is set).
  struct BusAddresses {
    QString session;
    QString system;
  };

  explicit ScreenLockWatcher(QObject* parent = nullptr);
  ScreenLockWatcher(const BusAddresses& addresses, QObject* parent);
  ~ScreenLockWatcher() override;

  // The login manager's object of our session, once found; empty until then or when there is
  // none.
  const QString& SessionPath() const { return sessionPath_; }
  // Whether the login manager waits for us before the computer sleeps.
  bool HoldsOffSleep() const { return sleepDelay_.isValid(); }

 signals:
  void ScreenLocked();
  void SleepComing();

 private slots:
  // Bus signals reach these by name, the only way the bus library connects them.
  void OnScreenSaverActiveChanged(bool active);
  void OnPrepareForSleep(bool start);
  void OnSessionLock();

 private:
  void WatchSessionBus();
  void WatchSystemBus();
  void HoldOffSleep();
  void FindSession(const QString& method, const QVariant& argument);
  void OnSessionFound(QDBusPendingCallWatcher* call, bool byProcess);

  QString sessionBusName_;
  QString systemBusName_;
  QDBusConnection sessionBus_;
  QDBusConnection systemBus_;
  QString sessionPath_;
  QDBusUnixFileDescriptor sleepDelay_;
};

}  // namespace corvella::platform
