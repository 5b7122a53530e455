// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>

namespace corvella::platform {

// Asks the Wayland compositor for an activation token (xdg_activation_v1) for this program's
// own window; empty when the session is not Wayland or the compositor grants none.
QByteArray RequestActivationToken();

}  // namespace corvella::platform
