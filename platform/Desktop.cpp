// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Desktop.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QGuiApplication>

#include "WaylandActivation.h"

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

void PrepareWindowActivation(const QByteArray& handedOver) {
  if (!CompositorPlacesWindows()) return;
  // Qt's Wayland windows read it at their next requestActivate().
  const QByteArray token = handedOver.isEmpty() ? RequestActivationToken() : handedOver;
  if (!token.isEmpty()) qputenv(kActivationToken, token);
}

}  // namespace corvella::platform
