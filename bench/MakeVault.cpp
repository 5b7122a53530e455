// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Writes a vault of the benchmark entries for the command-line benchmarks:
//   bench_make_vault PATH COUNT
// The master password is kMasterPassword; PATH must not exist yet.

#include <exception>
#include <iostream>
#include <string>

#include "bench/TenThousandEntries.h"
#include "store/PasswordStore.h"

int main(int argc, char** argv) {
  using namespace corvella;
  if (argc != 3) {
    std::cerr << "usage: bench_make_vault PATH COUNT\n";
    return 2;
  }
  try {
    PasswordStore store;
    bench::AddEntries(store, std::stoi(argv[2]));
    store.SetMasterPassword(bench::kMasterPassword);
    store.CreatePasswordFile(argv[1]);
    return 0;
  } catch (const std::exception& error) {
    std::cerr << "bench_make_vault: " << error.what() << "\n";
    return 1;
  }
}
