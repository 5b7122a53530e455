// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "PasswordStream.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <utility>

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

void CheckLength(std::size_t length) {
  if (length > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
    throw Error("A text is too long to be saved");
  }
}

void PutLength(std::size_t length, unsigned char* prefix) {
  for (std::size_t i = 0; i < kLengthSize; ++i)
    prefix[i] = static_cast<unsigned char>(length >> (8 * i));
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

// `writePassword` appends the password string.
template <class PasswordWriter>
void WriteRecord(std::string_view siteName, std::string_view url, std::string_view userName,
                 const PasswordWriter& writePassword, SecureBytes& stream) {
  WriteString(kSiteNameTag, stream);
  WriteString(siteName, stream);
  WriteString(kUrlTag, stream);
  WriteString(url, stream);
  WriteString(kPasswordTag, stream);
  writePassword();
  WriteString(kUserNameTag, stream);
  WriteString(userName, stream);
  WriteString(kEndTag, stream);
}

// Tags may come in any order and repeat; a string that is no known tag is passed over. False
// where the stream ends before the record does.
bool TryReadRecord(StreamReader& reader, RecordView& record) {
  record = {};
  for (std::string_view tag; tag != kEndTag;) {
    if (!reader.TryReadString(tag)) return false;
    std::string_view* field = tag == kSiteNameTag   ? &record.siteName
                              : tag == kUrlTag      ? &record.url
                              : tag == kPasswordTag ? &record.password
                              : tag == kUserNameTag ? &record.userName
                                                    : nullptr;
    if (field != nullptr && !reader.TryReadString(*field)) return false;
  }
  return true;
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

bool StreamReader::TryReadString(std::string_view& text) {
  if (stream_.size() - position_ < kLengthSize) return false;
  const auto prefix = stream_.subspan(position_, kLengthSize);
  const auto length =
      static_cast<std::int32_t>(std::uint32_t{prefix[0]} | std::uint32_t{prefix[1]} << 8 |
                                std::uint32_t{prefix[2]} << 16 | std::uint32_t{prefix[3]} << 24);
  if (length < 0) throw StreamReadError();
  if (stream_.size() - position_ - kLengthSize < static_cast<std::size_t>(length)) return false;
  text = {reinterpret_cast<const char*>(stream_.data() + position_ + kLengthSize),
          static_cast<std::size_t>(length)};
  position_ += kLengthSize + static_cast<std::size_t>(length);
  return true;
}

std::string_view StreamReader::ReadString() {
  std::string_view text;
  if (!TryReadString(text)) throw StreamReadError();
  return text;
}

namespace {

void WriteEntryRecord(const Entry& entry, const SessionKey& key, SecureBytes& stream) {
  WriteRecord(
      entry.SiteName(), entry.Url(), entry.UserName(), [&] { WritePassword(entry, key, stream); },
      stream);
}

void WritePlainRecord(const RecordView& record, SecureBytes& stream) {
  WriteRecord(
      record.siteName, record.url, record.userName, [&] { WriteString(record.password, stream); },
      stream);
}

}  // namespace

PasswordStreamWriter::PasswordStreamWriter(std::size_t partSize, StreamParts emit)
    : partSize_(partSize), emit_(std::move(emit)) {
  buffer_.assign(kStreamMarker.begin(), kStreamMarker.end());
  buffer_.reserve(2 * partSize);
}

void PasswordStreamWriter::Add(const RecordView& record) {
  WritePlainRecord(record, buffer_);
  EmitWholeParts();
}

void PasswordStreamWriter::Add(const Entry& entry, const SessionKey& key) {
  WriteEntryRecord(entry, key, buffer_);
  EmitWholeParts();
}

void PasswordStreamWriter::Finish() { emit_(buffer_, true); }

void PasswordStreamWriter::EmitWholeParts() {
  if (buffer_.size() < partSize_) return;
  const std::size_t whole = buffer_.size() / partSize_ * partSize_;
  emit_(std::span<const unsigned char>(buffer_).first(whole), false);
  buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(whole));
}

void WritePasswordStream(const std::vector<EntryPtr>& entries, const SessionKey& key,
                         SecureBytes& stream) {
  constexpr std::size_t kPartSize = std::size_t{64} << 10;
  WritePasswordStream(entries, key, kPartSize,
                      [&stream](std::span<const unsigned char> part, bool /*last*/) {
                        stream.insert(stream.end(), part.begin(), part.end());
                      });
}

void WritePasswordStream(const std::vector<EntryPtr>& entries, const SessionKey& key,
                         std::size_t partSize, const StreamParts& emit) {
  PasswordStreamWriter writer(partSize, emit);
  for (const EntryPtr& entry : entries) writer.Add(*entry, key);
  writer.Finish();
}

namespace {

// Raises InvalidPasswordError when the stream does not begin with the marker. No password makes a
// stream shorter than the marker: then the file itself is cut short.
void CheckMarker(std::span<const unsigned char> stream) {
  if (stream.size() < kStreamMarker.size()) throw StreamReadError();
  if (!std::equal(kStreamMarker.begin(), kStreamMarker.end(), stream.begin())) {
    throw InvalidPasswordError();
  }
}

}  // namespace

void ReadPasswordRecords(std::span<const unsigned char> stream,
                         const std::function<void(const RecordView&)>& visit) {
  CheckMarker(stream);
  StreamReader reader(stream);
  reader.ReadBytes(kStreamMarker.size());
  while (reader.Position() + 1 < reader.Size()) {
    RecordView record;
    if (!TryReadRecord(reader, record)) throw StreamReadError();
    visit(record);
  }
}

void ReadPasswordRecords(std::uint64_t size, std::size_t pieceSize,
                         const std::function<void(SecureBytes&)>& appendNext,
                         const std::function<void(const RecordView&)>& visit) {
  // Room for a piece beside the rest of a usual record, so that the window keeps its memory as
  // it moves on: only a longer record makes it grow.
  constexpr std::size_t kRecordRoom = 4096;
  SecureBytes window;
  window.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(size, pieceSize + kRecordRoom)));
  std::uint64_t passed = 0;  // the bytes of the stream before the window
  std::size_t start = 0;     // where in the window the next record begins
  // Drops the bytes read, and appends the next piece; false at the end of the stream.
  const auto more = [&] {
    if (passed + window.size() >= size) return false;
    window.erase(window.begin(), window.begin() + static_cast<std::ptrdiff_t>(start));
    passed += start;
    start = 0;
    appendNext(window);
    return true;
  };
  while (window.size() < kStreamMarker.size() && more()) {
  }
  CheckMarker(window);
  start = kStreamMarker.size();
  while (passed + start + 1 < size) {
    RecordView record;
    for (;;) {
      StreamReader reader(std::span<const unsigned char>(window).subspan(start));
      if (TryReadRecord(reader, record)) {
        start += reader.Position();
        break;
      }
      // The record goes on in the next piece.
      if (!more()) throw StreamReadError();
    }
    visit(record);
  }
}

void ReadPasswordStream(std::span<const unsigned char> stream, const SessionKey& key,
                        const std::function<void(EntryPtr)>& add) {
  ReadPasswordRecords(stream, [&](const RecordView& record) {
    add(std::make_shared<Entry>(record.siteName, record.url, record.userName, record.password,
                                key));
  });
}

}  // namespace corvella
