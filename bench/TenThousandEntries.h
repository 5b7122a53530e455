// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The vault the benchmarks load and save: 10,000 entries (or any count, for the larger vaults of
// the desktop benchmark) of a 12-byte site name, a 30-byte address, a 10-byte user name and a
// 14-byte password.

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "store/Entry.h"
#include "store/PasswordStore.h"

namespace corvella::bench {

constexpr int kEntries = 10'000;
constexpr std::string_view kMasterPassword = "correct horse battery";
// The marker, then per entry the 66 bytes of an empty record and its values.
constexpr std::size_t kStreamSize = 3 + kEntries * std::size_t{66 + 12 + 30 + 10 + 14};

inline std::string Padded(const char* prefix, int i, std::size_t width) {
  std::string text = prefix + std::to_string(i);
  text.resize(width, 'x');
  return text;
}

// `count` entries of the sizes above, each different from the others. Entry i has the site name
// "site<i>" padded with 'x' to 12 bytes (bench/BareWindow.cpp lists the same names).
inline void AddEntries(PasswordStore& store, int count) {
  for (int i = 0; i < count; ++i) {
    store.AddEntry(
        std::make_shared<Entry>(Padded("site", i, 12), Padded("https://www.example.com/", i, 30),
                                Padded("user", i, 10), Padded("pw", i, 14), store.Key()));
  }
}

inline void AddTenThousandEntries(PasswordStore& store) { AddEntries(store, kEntries); }

}  // namespace corvella::bench
