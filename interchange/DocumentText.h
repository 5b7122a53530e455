// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string_view>

namespace corvella::interchange {

// The text of an imported document: raises an Error when it is not valid UTF-8, and leaves out a
// leading byte-order mark.
std::string_view DocumentText(std::string_view document);

}  // namespace corvella::interchange
