// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The plaintext password stream: the marker "QVZ", then one record per entry. A record is nine
// length-prefixed strings (4-byte signed little-endian length, then the bytes): the tags
// "SiteName", "Url", "Password" and "UserName" each followed by its value, then "End".

#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "Entry.h"
#include "SecureMemory.h"

namespace corvella {

constexpr std::string_view kStreamMarker = "QVZ";

void WriteString(std::string_view text, SecureBytes& stream);

// Reads strings from a stream held in memory. It never allocates more than the bytes that
// remain, so an absurd length is a read error.
class StreamReader {
 public:
  explicit StreamReader(std::span<const unsigned char> stream) : stream_(stream) {}

  std::string ReadString();
  SecureString ReadSecret();
  std::span<const unsigned char> ReadBytes(std::size_t count);

  std::size_t Position() const { return position_; }
  std::size_t Size() const { return stream_.size(); }

 private:
  std::string_view NextString();

  std::span<const unsigned char> stream_;
  std::size_t position_ = 0;
};

class SessionKey;

// Appends the marker and one record per entry; the passwords are decrypted under `key`.
void WritePasswordStream(const std::vector<EntryPtr>& entries, const SessionKey& key,
                         SecureBytes& stream);

// Reads every record, handing each entry to `add` as soon as it is complete. Raises
// InvalidPasswordError without the marker, and StreamReadError for a stream shorter than the
// marker or a damaged record. A single
// stray byte after the last record is ignored.
// Each password is encrypted under `key` as soon as it is read.
void ReadPasswordStream(std::span<const unsigned char> stream, const SessionKey& key,
                        const std::function<void(EntryPtr)>& add);

}  // namespace corvella
