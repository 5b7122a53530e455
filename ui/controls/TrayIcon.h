// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QIcon>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QSystemTrayIcon>

namespace corvella {

// The program's icon in the notification area, shown from construction to destruction.
// A double-click asks for the main window (RestoreRequested); the right button opens PopupMenu,
// which Qt shows itself after emitting its aboutToShow. A single left click does nothing, except
// on a D-Bus (StatusNotifierItem) host, where one click, or a request for the menu that the
// host does not show itself, asks for the main window too.
// When the tray host restarts (the panel is re-created), Qt docks the icon again by itself with
// the same icon and tool tip; without any tray host the program runs without the icon.
class TrayIcon final : public QObject {
  Q_OBJECT

 public:
  // Longest tool tip; longer texts are cut.
  static constexpr qsizetype kMaxToolTip = 63;

  explicit TrayIcon(QObject* parent = nullptr);
  ~TrayIcon() override;

  // Whether the desktop has a notification area to show the icon in.
  static bool Available();

  // The image shown; a null icon shows the program icon.
  QIcon Icon() const { return icon_; }
  void SetIcon(const QIcon& icon);

  QString ToolTip() const { return toolTip_; }
  void SetToolTip(const QString& text);

  // Not owned; cleared when the menu is destroyed.
  QMenu* PopupMenu() const { return popupMenu_; }
  void SetPopupMenu(QMenu* menu);

 signals:
  // The icon was double-clicked, or activated by a D-Bus tray host: show the main window,
  // un-minimise and raise it.
  void RestoreRequested();

 private:
  void OnActivated(QSystemTrayIcon::ActivationReason reason);

  QSystemTrayIcon* tray_;
  QIcon icon_;
  QString toolTip_;
  QPointer<QMenu> popupMenu_;
};

}  // namespace corvella
