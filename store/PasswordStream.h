// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The plaintext password stream: the marker "QVZ", then one record per entry. A record is nine
// length-prefixed strings (4-byte signed little-endian length, then the bytes): the tags
// "SiteName", "Url", "Password" and "UserName" each followed by its value, then "End".

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "Entry.h"
#include "SecureMemory.h"

namespace corvella {

constexpr std::string_view kStreamMarker = "QVZ";
// A record with all four tags and empty values; most are longer.
constexpr std::size_t kEmptyRecordSize = 66;

void WriteString(std::string_view text, SecureBytes& stream);

// Reads strings from a stream held in memory. It never allocates more than the bytes that
// remain, so an absurd length is a read error.
class StreamReader {
 public:
  explicit StreamReader(std::span<const unsigned char> stream) : stream_(stream) {}

  // The next string, as a view into the stream.
  std::string_view ReadString();
  // The same, but false where the stream ends first. A negative length raises StreamReadError.
  bool TryReadString(std::string_view& text);
  std::span<const unsigned char> ReadBytes(std::size_t count);

  std::size_t Position() const { return position_; }
  std::size_t Size() const { return stream_.size(); }

 private:
  std::span<const unsigned char> stream_;
  std::size_t position_ = 0;
};

class SessionKey;

// One record as read: views into the stream, valid while it lives. A tag missing from the record
// leaves its field empty; a repeated one counts with its last value.
struct RecordView {
  std::string_view siteName;
  std::string_view url;
  std::string_view userName;
  std::string_view password;  // plaintext
};

// Checks the marker and reads every record, handing each to `visit` as soon as it is complete.
// Raises InvalidPasswordError without the marker, and StreamReadError for a stream shorter than
// the marker or a damaged record. A single stray byte after the last record is ignored.
void ReadPasswordRecords(std::span<const unsigned char> stream,
                         const std::function<void(const RecordView&)>& visit);

// The same for a stream of `size` bytes that arrives in pieces of at most `pieceSize` bytes:
// `appendNext` appends the next piece to the buffer it is given. Only the pieces that the record
// being read spans are held.
void ReadPasswordRecords(std::uint64_t size, std::size_t pieceSize,
                         const std::function<void(SecureBytes&)>& appendNext,
                         const std::function<void(const RecordView&)>& visit);

// Receives a stream in order as it is written: every part but the `last` one a whole number of
// the part size.
using StreamParts = std::function<void(std::span<const unsigned char> part, bool last)>;
// Writes the marker, then a record for each entry or record added, handing the stream to `emit`
// in parts as soon as they are complete, so that only about two parts are in memory at a time.
// Finish hands on the last part.
class PasswordStreamWriter {
 public:
  PasswordStreamWriter(std::size_t partSize, StreamParts emit);

  void Add(const RecordView& record);
  // The password is decrypted under `key` straight into the stream.
  void Add(const Entry& entry, const SessionKey& key);
  void Finish();

 private:
  void EmitWholeParts();

  std::size_t partSize_;
  StreamParts emit_;  // its own copy: a writer may outlive the function it was given
  SecureBytes buffer_;
};

// A PasswordStreamWriter's stream of the entries.
void WritePasswordStream(const std::vector<EntryPtr>& entries, const SessionKey& key,
                         std::size_t partSize, const StreamParts& emit);
// The stream of the entries, appended whole to `stream`.
void WritePasswordStream(const std::vector<EntryPtr>& entries, const SessionKey& key,
                         SecureBytes& stream);

// ReadPasswordRecords, making each record an entry for `add`; its password is encrypted under
// `key` as soon as it is read.
void ReadPasswordStream(std::span<const unsigned char> stream, const SessionKey& key,
                        const std::function<void(EntryPtr)>& add);

}  // namespace corvella
