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

// The activation token that a launcher gave this process (XDG_ACTIVATION_TOKEN), removed from the
// environment so that it is used once; empty when there is none.
QByteArray TakeActivationToken();
// Hands a token that another copy received to the window system, for the next activation of a
// window: a Wayland compositor lets a window take focus only with one.
void UseActivationToken(const QByteArray& token);

}  // namespace corvella::platform
