// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string_view>

#include "store/SecureMemory.h"

namespace corvella::cli {

// Asks on the terminal: writes `prompt` to standard error and reads one line from /dev/tty with
// echo turned off. The terminal is restored on every path, also when a signal ends the program.
SecureString AskPassword(std::string_view prompt);

// The first line of standard input, without its line break ("\n", then one "\r").
SecureString ReadPasswordFromStdin();

}  // namespace corvella::cli
