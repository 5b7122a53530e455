// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Shared by the fuzz targets: invariant checks that stop the run with a message, and the
// comparison of entries by their fields.

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "store/Entry.h"
#include "store/SessionKey.h"

namespace corvella::fuzz {

// A broken invariant is a finding: report it and abort, so that libFuzzer saves the input.
inline void Check(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "==fuzz== invariant broken: %s\n", what);
  std::abort();
}

// Same site, url, user and password (both lists held under `key`), in the same order.
inline bool SameFields(const std::vector<EntryPtr>& a, const std::vector<EntryPtr>& b,
                       const SessionKey& key) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const Entry& x = *a[i];
    const Entry& y = *b[i];
    if (x.SiteName() != y.SiteName() || x.Url() != y.Url() || x.UserName() != y.UserName() ||
        x.Password(key) != y.Password(key)) {
      return false;
    }
  }
  return true;
}

}  // namespace corvella::fuzz
