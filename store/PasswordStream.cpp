#include "PasswordStream.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace corvella {

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

std::string_view StreamReader::NextString() {
  const auto prefix = ReadBytes(4);
  const auto length = static_cast<std::int32_t>(
      std::uint32_t{prefix[0]} | std::uint32_t{prefix[1]} << 8 | std::uint32_t{prefix[2]} << 16 |
      std::uint32_t{prefix[3]} << 24);
  if (length < 0) throw StreamReadError();
  const auto bytes = ReadBytes(static_cast<std::size_t>(length));
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

std::string StreamReader::ReadString() { return std::string(NextString()); }

SecureString StreamReader::ReadSecret() { return SecureString(NextString()); }

void WritePasswordStream(const std::vector<EntryPtr>& entries, SecureBytes& stream) {
  stream.insert(stream.end(), kStreamMarker.begin(), kStreamMarker.end());
  for (const EntryPtr& entry : entries) entry->SaveToStream(stream);
}

void ReadPasswordStream(std::span<const unsigned char> stream,
                        const std::function<void(EntryPtr)>& add) {
  StreamReader reader(stream);
  if (stream.size() < kStreamMarker.size()) throw InvalidPasswordError();
  const auto marker = reader.ReadBytes(kStreamMarker.size());
  if (!std::equal(marker.begin(), marker.end(), kStreamMarker.begin())) {
    throw InvalidPasswordError();
  }
  while (reader.Position() + 1 < reader.Size()) {
    auto entry = std::make_shared<TPassword>();
    entry->LoadFromStream(reader);
    add(std::move(entry));
  }
}

}  // namespace corvella
