// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Holds the lock of a password file the way a program that has the file open does, for the
// tests.
//
//   platform_vault_lock_probe VAULT
//
// Prints "locked" once it holds the lock and keeps it until standard input ends, then exits 0;
// or prints "refused MESSAGE" and exits 1.

#include <unistd.h>

#include <cstdio>

#include "core/Error.h"
#include "platform/VaultLock.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s VAULT\n", argv[0]);
    return 2;
  }
  try {
    const corvella::platform::VaultLock lock(argv[1]);
    std::printf("locked\n");
    std::fflush(stdout);
    char buffer[64];
    while (::read(STDIN_FILENO, buffer, sizeof buffer) > 0) {
    }
  } catch (const corvella::Error& e) {
    std::printf("refused %s\n", e.what());
    return 1;
  }
  return 0;
}
