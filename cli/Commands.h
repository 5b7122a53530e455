// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "CommandLine.h"
#include "InputOutput.h"

namespace corvella::cli {

// Runs list, export, import or passwd, writing what goes to standard output to `out`, which the
// caller flushes. A failure is an Error whose message is one line for the user; a failure of the
// input (a wrong password, a damaged file) comes before anything is written to `out`.
void RunCommand(const Options& options, BufferedOutput& out);

}  // namespace corvella::cli
