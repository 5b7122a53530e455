// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// A message bus of the test's own (dbus-daemon with a configuration written here), and a
// stand-in for the login manager on it: tests point the program's bus connections at these
// instead of the machine's session and system buses.

#include <poll.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QTemporaryDir>
#include <QVariant>
#include <vector>

namespace corvella::test {

class PrivateBus {
 public:
  // Starts the daemon; Address() is empty when that failed (see Failure()).
  PrivateBus() {
    const QString program = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (program.isEmpty()) {
      failure_ = QStringLiteral("dbus-daemon is not installed");
      return;
    }
    const QString config = folder_.filePath(QStringLiteral("bus.conf"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly)) {
      failure_ = QStringLiteral("cannot write ") + config;
      return;
    }
    file.write(QStringLiteral("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus "
                              "Configuration 1.0//EN\" "
                              "\"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                              "<busconfig><type>session</type>"
                              "<listen>unix:path=%1</listen><auth>EXTERNAL</auth>"
                              "<policy context=\"default\"><allow send_destination=\"*\"/>"
                              "<allow receive_sender=\"*\"/><allow own=\"*\"/></policy>"
                              "</busconfig>\n")
                   .arg(folder_.filePath(QStringLiteral("socket")))
                   .toUtf8());
    file.close();
    daemon_.setProgram(program);
    daemon_.setArguments({QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
                          QStringLiteral("--print-address=1")});
    daemon_.setProcessChannelMode(QProcess::SeparateChannels);
    daemon_.start();
    // The address is the first line it prints, once it listens.
    while (daemon_.waitForReadyRead(30'000)) {
      if (daemon_.canReadLine()) {
        address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
        return;
      }
    }
    failure_ = QStringLiteral("dbus-daemon did not start: ") +
               QString::fromUtf8(daemon_.readAllStandardError());
  }
  ~PrivateBus() {
    for (const QString& name : names_) QDBusConnection::disconnectFromBus(name);
    daemon_.kill();
    daemon_.waitForFinished();
  }
  PrivateBus(const PrivateBus&) = delete;
  PrivateBus& operator=(const PrivateBus&) = delete;

  const QString& Address() const { return address_; }
  const QString& Failure() const { return failure_; }

  // A connection of the test's own, closed with the bus object.
  QDBusConnection Connect(const QString& name) {
    names_ << name;
    return QDBusConnection::connectToBus(address_, name);
  }

  // Sends a signal from `connection`; an invalid argument sends none.
  static bool Emit(QDBusConnection& connection, const QString& path, const QString& interface,
                   const QString& name, const QVariant& argument = {}) {
    QDBusMessage message = QDBusMessage::createSignal(path, interface, name);
    if (argument.isValid()) message << argument;
    return connection.send(message);
  }

 private:
  QTemporaryDir folder_;
  QProcess daemon_;
  QString address_;
  QString failure_;
  QStringList names_;
};

// The login manager's Manager object as the program asks it: the session of a process (only
// `knownPid` has one) or of a session id (only `knownId`), and inhibitors, each the write end of
// a pipe whose read end tells when the holder has let go of it. Owns the login manager's name
// on the connection it is registered on, so that the signals sent from there come from it.
class LoginManagerStandIn : public QObject, protected QDBusContext {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")

 public:
  static constexpr const char* kSessionPath = "/org/freedesktop/login1/session/_3";

  uint knownPid = 0;
  QString knownId;
  int calls = 0;                   // session look-ups
  QStringList inhibitors;          // "what who why mode" of each Inhibit call
  std::vector<int> inhibitorEnds;  // the read end of each inhibitor's pipe

  ~LoginManagerStandIn() override {
    for (const int end : inhibitorEnds) ::close(end);
  }

  // Whether the holder of the inhibitor has let go of it.
  bool Released(size_t inhibitor) const {
    pollfd end{inhibitorEnds.at(inhibitor), POLLIN, 0};
    return ::poll(&end, 1, 0) == 1 && (end.revents & POLLHUP) != 0;
  }

  bool Register(QDBusConnection& connection) {
    return connection.registerService(QStringLiteral("org.freedesktop.login1")) &&
           connection.registerObject(QStringLiteral("/org/freedesktop/login1"), this,
                                     QDBusConnection::ExportAllSlots);
  }

 public slots:
  QDBusUnixFileDescriptor Inhibit(const QString& what, const QString& who, const QString& why,
                                  const QString& mode) {
    inhibitors << QStringList{what, who, why, mode}.join(' ');
    int ends[2];
    if (::pipe(ends) != 0) return {};
    inhibitorEnds.push_back(ends[0]);
    // The descriptor takes a copy of its own.
    const QDBusUnixFileDescriptor held(ends[1]);
    ::close(ends[1]);
    return held;
  }
  QDBusObjectPath GetSessionByPID(uint pid) {
    ++calls;
    if (pid == knownPid) return QDBusObjectPath(QLatin1String(kSessionPath));
    sendErrorReply(QStringLiteral("org.freedesktop.login1.NoSessionForPID"),
                   QStringLiteral("no session"));
    return {};
  }
  QDBusObjectPath GetSession(const QString& id) {
    ++calls;
    if (!knownId.isEmpty() && id == knownId) return QDBusObjectPath(QLatin1String(kSessionPath));
    sendErrorReply(QStringLiteral("org.freedesktop.login1.NoSuchSession"),
                   QStringLiteral("no such session"));
    return {};
  }
};

}  // namespace corvella::test
