// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>

namespace corvella::platform {

// Full path of the running program file.
std::string ProgramPath();

// Directory of the running program file, with a trailing '/'; empty when it cannot be told.
// Fixed at the first call.
const std::string& ProgramDir();

// Per-user data folder ($XDG_DATA_HOME, else ~/.local/share), with a trailing '/'.
std::string UserDataDir();

// Per-user configuration folder ($XDG_CONFIG_HOME, else ~/.config), with a trailing '/'.
std::string UserConfigDir();

}  // namespace corvella::platform
