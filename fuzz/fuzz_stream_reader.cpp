// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Feeds the input as a decrypted password stream to the reader. Read errors are expected; a
// stream that reads must survive a write and a second read with every field intact, and the
// written form must be stable.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "FuzzSupport.h"
#include "core/Error.h"
#include "store/PasswordStream.h"
#include "store/SessionKey.h"

using namespace corvella;

namespace {

const SessionKey key;

std::vector<EntryPtr> Read(std::span<const unsigned char> stream) {
  std::vector<EntryPtr> entries;
  ReadPasswordStream(stream, key,
                     [&entries](EntryPtr entry) { entries.push_back(std::move(entry)); });
  return entries;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<EntryPtr> entries;
  try {
    entries = Read({data, size});
  } catch (const Error&) {
    return 0;
  }

  SecureBytes written;
  WritePasswordStream(entries, key, written);
  std::vector<EntryPtr> reread;
  try {
    reread = Read(written);
  } catch (const Error&) {
    fuzz::Check(false, "a written stream does not read back");
  }
  fuzz::Check(fuzz::SameFields(entries, reread, key), "entries change on write and read");

  SecureBytes rewritten;
  WritePasswordStream(reread, key, rewritten);
  fuzz::Check(rewritten == written, "writing read-back entries gives different bytes");
  return 0;
}
