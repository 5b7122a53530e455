// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

namespace corvella::platform {

// Keeps secrets out of core files: no core dump, no ptrace attach by other processes of the
// user. Raises an Error when the system refuses either.
void DisableCoreDumps();

}  // namespace corvella::platform
