// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "Random.h"
#include "SecureMemory.h"

namespace corvella {

// A random password of 12 to 16 characters drawn uniformly from a 71-character alphabet: the
// lower-case letters without j, the capitals, the digits and the signs !"#%&/()=@. The length is
// drawn first, then each character in turn.
SecureString GeneratePassword(RandomSource& source = RandomSource::System());

}  // namespace corvella
