// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/controls/TrayIcon.h"

#include <QMenu>

#include "platform/Desktop.h"
#include "ui/Icons.h"

namespace corvella {
namespace {

// Cuts after kMaxToolTip UTF-16 units, never inside a surrogate pair.
QString CutToolTip(const QString& text) {
  if (text.size() <= TrayIcon::kMaxToolTip) return text;
  qsizetype length = TrayIcon::kMaxToolTip;
  if (text.at(length - 1).isHighSurrogate()) --length;
  return text.left(length);
}

}  // namespace

TrayIcon::TrayIcon(QObject* parent) : QObject(parent), tray_(new QSystemTrayIcon(this)) {
  tray_->setObjectName(QStringLiteral("systemTrayIcon"));
  tray_->setIcon(ProgramIcon());
  connect(tray_, &QSystemTrayIcon::activated, this, &TrayIcon::OnActivated);
  // Qt refuses nothing here: without a tray host it waits for one to appear.
  tray_->show();
}

TrayIcon::~TrayIcon() { tray_->hide(); }

bool TrayIcon::Available() { return QSystemTrayIcon::isSystemTrayAvailable(); }

void TrayIcon::SetIcon(const QIcon& icon) {
  icon_ = icon;
  tray_->setIcon(icon_.isNull() ? ProgramIcon() : icon_);
}

void TrayIcon::SetToolTip(const QString& text) {
  toolTip_ = CutToolTip(text);
  tray_->setToolTip(toolTip_);
}

void TrayIcon::SetPopupMenu(QMenu* menu) {
  popupMenu_ = menu;
  // QSystemTrayIcon keeps its own guarded reference and opens the menu on the right button.
  tray_->setContextMenu(menu);
}

void TrayIcon::OnActivated(QSystemTrayIcon::ActivationReason reason) {
  switch (reason) {
    case QSystemTrayIcon::DoubleClick:
      emit RestoreRequested();
      break;
    // A StatusNotifierItem host activates with one click, and asks for the menu only when it
    // does not show the exported one itself: both bring the window.
    case QSystemTrayIcon::Trigger:
    case QSystemTrayIcon::Context:
      if (platform::TrayIsStatusNotifier()) emit RestoreRequested();
      break;
    default:
      break;
  }
}

}  // namespace corvella
