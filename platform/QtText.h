// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <string_view>

namespace corvella::platform {

// UTF-8 bytes (paths, option names and values) as a QString.
QString ToQString(std::string_view utf8);

}  // namespace corvella::platform
