// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "HugePages.h"

#include <sys/mman.h>

#include <cstdint>

namespace corvella::platform {

void* MapHugePages(std::size_t size) {
  // A huge page must lie on its own alignment: the mapping is made one huge page larger and
  // its ends beyond the aligned block are given back.
  const std::size_t mapped = size + kHugePageSize;
  void* const start =
      mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (start == MAP_FAILED) return nullptr;
  const auto address = reinterpret_cast<std::uintptr_t>(start);
  const std::uintptr_t aligned = (address + kHugePageSize - 1) & ~(kHugePageSize - 1);
  if (aligned > address) munmap(start, aligned - address);
  const std::uintptr_t end = address + mapped;
  if (end > aligned + size) munmap(reinterpret_cast<void*>(aligned + size), end - aligned - size);
  void* const block = reinterpret_cast<void*>(aligned);
  // Advice only: a system without transparent huge pages refuses it and serves ordinary pages.
  madvise(block, size, MADV_HUGEPAGE);
  return block;
}

void UnmapHugePages(void* block, std::size_t size) { munmap(block, size); }

}  // namespace corvella::platform
