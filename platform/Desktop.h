// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>

namespace corvella::platform {

// True where the compositor places every window itself and ignores a program's move() (Wayland).
bool CompositorPlacesWindows();

// True when the notification area is served over D-Bus (StatusNotifierItem): its host activates
// the icon with one click and may ask for the menu without showing it. Asked once.
bool TrayIsStatusNotifier();

// Prepares the next activation of a window on Wayland, where a window may take focus only with
// an activation token: the one another copy handed over, else one asked of the compositor for
// this program (which it may refuse).
void PrepareWindowActivation(const QByteArray& handedOver);

}  // namespace corvella::platform
