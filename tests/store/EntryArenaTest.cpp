// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "platform/HugePages.h"
#include "store/EntryArena.h"
#include "store/SessionKey.h"

namespace corvella {
namespace {

// Whether a mapping of this process begins at `address`.
bool IsMapped(std::uintptr_t address) {
  std::ifstream maps("/proc/self/maps");
  std::string line;
  while (std::getline(maps, line)) {
    if (std::stoull(line.substr(0, line.find('-')), nullptr, 16) == address) return true;
  }
  return false;
}

std::uintptr_t HugePageOf(const EntryPtr& entry) {
  return reinterpret_cast<std::uintptr_t>(entry.get()) & ~(platform::kHugePageSize - 1);
}

constexpr std::size_t kManyEntries = 20000;

TEST(EntryArenaTest, EntriesBeyondTheRoomAndAfterTheArenaKeepTheirTexts) {
  const SessionKey key;
  std::vector<EntryPtr> entries;
  {
    EntryArena arena(kManyEntries);
    // Twice the room: the second half comes from the heap.
    for (std::size_t i = 0; i < 2 * kManyEntries; ++i) {
      const std::string n = std::to_string(i);
      entries.push_back(
          arena.Make("site" + n, "https://example.com/" + n, "user" + n, "pw" + n, key));
    }
  }
  for (std::size_t i = 0; i < entries.size(); i += 997) {
    const std::string n = std::to_string(i);
    EXPECT_EQ(entries[i]->SiteName(), "site" + n);
    EXPECT_EQ(entries[i]->Url(), "https://example.com/" + n);
    EXPECT_EQ(entries[i]->Password(key).View(), "pw" + n);
  }
}

TEST(EntryArenaTest, BlockGoesWithTheLastOfItsEntriesAndTheArena) {
  const SessionKey key;
  auto arena = std::make_unique<EntryArena>(kManyEntries);
  std::vector<EntryPtr> entries{arena->Make(), arena->Make(), arena->Make()};
  const std::uintptr_t block = HugePageOf(entries.front());
  ASSERT_TRUE(IsMapped(block));

  arena.reset();
  entries.pop_back();
  entries.front()->SetPassword("still usable", key);
  EXPECT_TRUE(IsMapped(block));
  entries.clear();
  EXPECT_FALSE(IsMapped(block));
}

}  // namespace
}  // namespace corvella
