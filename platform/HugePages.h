// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>

namespace corvella::platform {

// The huge page of x86-64 and of 64-bit ARM with 4 KiB pages.
constexpr std::size_t kHugePageSize = std::size_t{2} << 20;

// A block of `size` bytes (a multiple of kHugePageSize) of zeroed memory, aligned to
// kHugePageSize and backed by huge pages where the system offers them, else by ordinary ones.
// Its pages are made only as they are first touched: one fault makes a whole huge page. Null
// where the system refuses the memory.
void* MapHugePages(std::size_t size);
void UnmapHugePages(void* block, std::size_t size);

}  // namespace corvella::platform
