// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Desktop.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QGuiApplication>

namespace corvella::platform {
namespace {

constexpr char kActivationToken[] = "XDG_ACTIVATION_TOKEN";

}  // namespace

bool CompositorPlacesWindows() {
  return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

bool TrayIsStatusNotifier() {
  static const bool statusNotifier = [] {
    const QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
    return bus != nullptr &&
           bus->isServiceRegistered(QStringLiteral("org.kde.StatusNotifierWatcher")).value();
  }();
  return statusNotifier;
}

QByteArray TakeActivationToken() {
  QByteArray token = qgetenv(kActivationToken);
  qunsetenv(kActivationToken);
  return token;
}

void UseActivationToken(const QByteArray& token) {
  // Qt's Wayland windows read it at their next requestActivate().
  if (!token.isEmpty()) qputenv(kActivationToken, token);
}

}  // namespace corvella::platform
