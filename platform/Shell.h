// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

namespace corvella::platform {

// Asks the desktop to open a web address with its default handler. Nothing is reported when no
// program takes it.
void OpenWebAddress(const QString& address);

}  // namespace corvella::platform
