// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "CommandLine.h"
#include "store/SecureMemory.h"

namespace corvella::cli {

// Runs list, export or import and returns what goes to standard output. A failure is an Error
// whose message is one line for the user; nothing has been written by then.
SecureString RunCommand(const Options& options);

}  // namespace corvella::cli
