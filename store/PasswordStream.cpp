// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "PasswordStream.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "Errors.h"
#include "Random.h"
#include "SessionKey.h"

namespace corvella {
namespace {

constexpr std::string_view kSiteNameTag = "SiteName";
constexpr std::string_view kUrlTag = "Url";
constexpr std::string_view kPasswordTag = "Password";
constexpr std::string_view kUserNameTag = "UserName";
constexpr std::string_view kEndTag = "End";

constexpr std::size_t kLengthSize = 4;
constexpr std::size_t kStringsPerRecord = 9;
constexpr std::size_t kTagBytes = kSiteNameTag.size() + kUrlTag.size() + kPasswordTag.size() +
                                  kUserNameTag.size() + kEndTag.size();

void CheckLength(std::size_t length) {
  if (length > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
    throw Error("A text is too long to be saved");
  }
}

void PutLength(std::size_t length, unsigned char* prefix) {
  for (std::size_t i = 0; i < kLengthSize; ++i)
    prefix[i] = static_cast<unsigned char>(length >> (8 * i));
}

// The most a record of `entry` can take: its password's length is known only once decrypted.
std::size_t RecordMaxSize(const Entry& entry) {
  return kStringsPerRecord * kLengthSize + kTagBytes + entry.SiteName().size() +
         entry.Url().size() + entry.UserName().size() +
         SessionKey::UnprotectedMaxSize(entry.EncryptedPassword().size());
}

// The password is decrypted straight into the stream.
void WritePassword(const Entry& entry, const SessionKey& key, SecureBytes& stream) {
  const std::size_t start = stream.size();
  stream.resize(start + kLengthSize +
                SessionKey::UnprotectedMaxSize(entry.EncryptedPassword().size()));
  const std::size_t length =
      key.UnprotectInto(entry.EncryptedPassword(), std::span(stream).subspan(start + kLengthSize));
  CheckLength(length);
  PutLength(length, stream.data() + start);
  stream.resize(start + kLengthSize + length);
}

void WriteRecord(const Entry& entry, const SessionKey& key, SecureBytes& stream) {
  WriteString(kSiteNameTag, stream);
  WriteString(entry.SiteName(), stream);
  WriteString(kUrlTag, stream);
  WriteString(entry.Url(), stream);
  WriteString(kPasswordTag, stream);
  WritePassword(entry, key, stream);
  WriteString(kUserNameTag, stream);
  WriteString(entry.UserName(), stream);
  WriteString(kEndTag, stream);
}

// Tags may come in any order and repeat; a string that is no known tag is passed over.
RecordView ReadRecord(StreamReader& reader) {
  RecordView record;
  for (std::string_view tag; tag != kEndTag;) {
    tag = reader.ReadString();
    if (tag == kSiteNameTag) {
      record.siteName = reader.ReadString();
    } else if (tag == kUrlTag) {
      record.url = reader.ReadString();
    } else if (tag == kPasswordTag) {
      record.password = reader.ReadString();
    } else if (tag == kUserNameTag) {
      record.userName = reader.ReadString();
    }
  }
  return record;
}

}  // namespace

void WriteString(std::string_view text, SecureBytes& stream) {
  CheckLength(text.size());
  const std::size_t start = stream.size();
  stream.resize(start + kLengthSize + text.size());
  PutLength(text.size(), stream.data() + start);
  std::copy(text.begin(), text.end(),
            stream.begin() + static_cast<std::ptrdiff_t>(start + kLengthSize));
}

std::span<const unsigned char> StreamReader::ReadBytes(std::size_t count) {
  if (count > stream_.size() - position_) throw StreamReadError();
  const auto bytes = stream_.subspan(position_, count);
  position_ += count;
  return bytes;
}

std::string_view StreamReader::ReadString() {
  const auto prefix = ReadBytes(4);
  const auto length =
      static_cast<std::int32_t>(std::uint32_t{prefix[0]} | std::uint32_t{prefix[1]} << 8 |
                                std::uint32_t{prefix[2]} << 16 | std::uint32_t{prefix[3]} << 24);
  if (length < 0) throw StreamReadError();
  const auto bytes = ReadBytes(static_cast<std::size_t>(length));
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

void WritePasswordStream(const std::vector<EntryPtr>& entries, const SessionKey& key,
                         SecureBytes& stream) {
  // Room for all of it at once: growing would leave copies behind, and cost a wipe each time.
  std::size_t size = stream.size() + kStreamMarker.size();
  for (const EntryPtr& entry : entries) size += RecordMaxSize(*entry);
  stream.reserve(size);
  stream.insert(stream.end(), kStreamMarker.begin(), kStreamMarker.end());
  for (const EntryPtr& entry : entries) WriteRecord(*entry, key, stream);
}

void ReadPasswordRecords(std::span<const unsigned char> stream,
                         const std::function<void(const RecordView&)>& visit) {
  StreamReader reader(stream);
  // No password makes a stream shorter than the marker: the file itself is cut short.
  if (stream.size() < kStreamMarker.size()) throw StreamReadError();
  const auto marker = reader.ReadBytes(kStreamMarker.size());
  if (!std::equal(marker.begin(), marker.end(), kStreamMarker.begin())) {
    throw InvalidPasswordError();
  }
  while (reader.Position() + 1 < reader.Size()) visit(ReadRecord(reader));
}

void ReadPasswordStream(std::span<const unsigned char> stream, const SessionKey& key,
                        const std::function<void(EntryPtr)>& add) {
  ReadPasswordRecords(stream, [&](const RecordView& record) {
    add(std::make_shared<Entry>(record.siteName, record.url, record.userName, record.password,
                                key));
  });
}

}  // namespace corvella
