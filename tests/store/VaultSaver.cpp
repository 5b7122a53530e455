// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Saves a password file over and over, as a program that has it open does, for the tests that
// kill savers or run two at once.
//
// Usage: store_vault_saver VAULT LIST_A LIST_B
//   Holds the vault's lock and saves the entries of LIST_B, then those of LIST_A, then LIST_B
//   again, and so on, until it is killed. One byte on standard output tells that the lists are
//   loaded and saving begins.
// Usage: store_vault_saver --append NAME SECONDS VAULT
//   For SECONDS, round after round: takes the vault's lock, loads the vault (when there is one),
//   appends the entry "NAME N" (N counting from 1), saves and lets go. Each round is one line on
//   standard output: "saved N", or "refused MESSAGE" when another program held the lock. Any
//   other failure ends the run with status 1.
// The master password of every file comes on standard input.

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#include "core/Error.h"
#include "platform/VaultLock.h"
#include "store/PasswordStore.h"
#include "store/SecureMemory.h"
#include "store/SessionKey.h"

namespace {

using namespace corvella;

SecureString ReadMasterPassword() {
  SecureString master;
  char buffer[256];
  for (ssize_t got; (got = ::read(STDIN_FILENO, buffer, sizeof buffer)) > 0;) {
    master.append(buffer, static_cast<std::size_t>(got));
  }
  Cleanse(buffer, sizeof buffer);
  return master;
}

int SaveListsForever(const char* vault, const char* listA, const char* listB,
                     const SecureString& master) {
  PasswordStore lists[2];
  const char* paths[2] = {listA, listB};
  for (int i = 0; i < 2; ++i) {
    lists[i].SetMasterPassword(master.View());
    if (lists[i].LoadPasswordsFrom(paths[i]) != LoadResult::Loaded) {
      std::fprintf(stderr, "no file %s\n", paths[i]);
      return 1;
    }
  }
  const platform::VaultLock lock(vault);
  // Tells the test that saving begins.
  if (::write(STDOUT_FILENO, "s", 1) != 1) return 1;
  for (;;) {
    lists[1].SavePasswordsTo(vault);
    lists[0].SavePasswordsTo(vault);
  }
}

int AppendRounds(const std::string& name, int seconds, const std::string& vault,
                 const SecureString& master) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  int saved = 0;
  while (std::chrono::steady_clock::now() < end) {
    std::unique_ptr<platform::VaultLock> lock;
    try {
      lock = std::make_unique<platform::VaultLock>(vault);
    } catch (const Error& e) {
      std::printf("refused %s\n", e.what());
      // Not a busy loop: the other saver needs the processor too.
      std::this_thread::sleep_for(std::chrono::microseconds(200));
      continue;
    }
    PasswordStore store;
    store.SetMasterPassword(master.View());
    store.LoadPasswordsFrom(vault);
    auto entry = std::make_shared<Entry>();
    entry->SetSiteName(name + " " + std::to_string(saved + 1));
    entry->SetPassword("pw " + std::string(entry->SiteName()), store.Key());
    store.AddEntry(std::move(entry));
    store.SavePasswordsTo(vault);
    std::printf("saved %d\n", ++saved);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const bool append = argc == 5 && std::string(argv[1]) == "--append";
  if (argc != 4 && !append) {
    std::fprintf(stderr,
                 "usage: %s VAULT LIST_A LIST_B < master-password\n"
                 "       %s --append NAME SECONDS VAULT < master-password\n",
                 argv[0], argv[0]);
    return 2;
  }
  const SecureString master = ReadMasterPassword();
  try {
    return append ? AppendRounds(argv[2], std::atoi(argv[3]), argv[4], master)
                  : SaveListsForever(argv[1], argv[2], argv[3], master);
  } catch (const Error& e) {
    std::fprintf(stderr, "%s: %s\n", argv[0], e.what());
    return 1;
  }
}
