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

void WriteRecord(const Entry& entry, const SessionKey& key, SecureBytes& stream) {
  WriteString(kSiteNameTag, stream);
  WriteString(entry.siteName, stream);
  WriteString(kUrlTag, stream);
  WriteString(entry.url, stream);
  WriteString(kPasswordTag, stream);
  WriteString(entry.Password(key).View(), stream);
  WriteString(kUserNameTag, stream);
  WriteString(entry.userName, stream);
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
  if (text.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
    throw Error("A text is too long to be saved");
  }
  const auto length = static_cast<std::uint32_t>(text.size());
  const unsigned char prefix[4] = {
      static_cast<unsigned char>(length), static_cast<unsigned char>(length >> 8),
      static_cast<unsigned char>(length >> 16), static_cast<unsigned char>(length >> 24)};
  stream.insert(stream.end(), std::begin(prefix), std::end(prefix));
  stream.insert(stream.end(), text.begin(), text.end());
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
    auto entry = std::make_shared<Entry>();
    entry->siteName = record.siteName;
    entry->url = record.url;
    entry->userName = record.userName;
    entry->SetPassword(record.password, key);
    add(std::move(entry));
  });
}

}  // namespace corvella
