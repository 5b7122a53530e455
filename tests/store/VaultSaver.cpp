// Saves a password file over and over until it is killed: the entries of LIST_B, then those of
// LIST_A, then LIST_B again, and so on. The crash safety test kills it at random moments.
//
// Usage: store_vault_saver VAULT LIST_A LIST_B
// The master password of all three files comes on standard input. One byte on standard output
// tells that the lists are loaded and saving begins.

#include <unistd.h>

#include <cstdio>

#include "core/Error.h"
#include "store/PasswordStore.h"
#include "store/SecureMemory.h"
#include "store/SessionKey.h"

int main(int argc, char** argv) {
  using namespace corvella;
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s VAULT LIST_A LIST_B < master-password\n", argv[0]);
    return 2;
  }
  SecureString master;
  char buffer[256];
  for (ssize_t got; (got = ::read(STDIN_FILENO, buffer, sizeof buffer)) > 0;) {
    master.append(buffer, static_cast<std::size_t>(got));
  }
  Cleanse(buffer, sizeof buffer);

  try {
    PasswordStore lists[2];
    for (int i = 0; i < 2; ++i) {
      lists[i].SetMasterPassword(master.View());
      if (lists[i].LoadPasswordsFrom(argv[2 + i]) != LoadResult::Loaded) {
        std::fprintf(stderr, "%s: no file %s\n", argv[0], argv[2 + i]);
        return 1;
      }
    }
    // Tells the test that saving begins.
    if (::write(STDOUT_FILENO, "s", 1) != 1) return 1;
    for (;;) {
      lists[1].SavePasswordsTo(argv[1]);
      lists[0].SavePasswordsTo(argv[1]);
    }
  } catch (const Error& e) {
    std::fprintf(stderr, "%s: %s\n", argv[0], e.what());
    return 1;
  }
}
