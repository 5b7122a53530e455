// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Writes a password file of COUNT benchmark entries (bench/TenThousandEntries.h) under the
// benchmarks' master password, for bench/DesktopBench.py.
//   bench_make_vault COUNT FILE

#include <cstdio>
#include <exception>
#include <string>

#include "bench/TenThousandEntries.h"
#include "store/PasswordStore.h"

int main(int argc, char** argv) {
  int count = -1;
  if (argc == 3) {
    try {
      count = std::stoi(argv[1]);
    } catch (const std::exception&) {
    }
  }
  if (count < 0) {
    std::fprintf(stderr, "usage: bench_make_vault COUNT FILE\n");
    return 2;
  }
  try {
    corvella::PasswordStore store;
    store.SetMasterPassword(corvella::bench::kMasterPassword);
    corvella::bench::AddEntries(store, count);
    store.SavePasswordsTo(argv[2]);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "bench_make_vault: %s\n", error.what());
    return 1;
  }
  return 0;
}
