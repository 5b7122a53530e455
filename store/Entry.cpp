// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Entry.h"

#include <algorithm>
#include <limits>

#include "Random.h"
#include "SessionKey.h"
#include "core/Error.h"

namespace corvella {

Entry::Entry(std::string_view siteName, std::string_view url, std::string_view userName,
             std::string_view password, const SessionKey& key) {
  SetAll(siteName, url, userName, password, key);
}

void Entry::SetAll(std::string_view siteName, std::string_view url, std::string_view userName,
                   std::string_view password, const SessionKey& key) {
  Rebuild({siteName, url, userName, {}}, password, &key);
}

std::size_t Entry::TotalSize() const {
  std::size_t total = 0;
  for (const std::uint32_t length : lengths_) total += length;
  return total;
}

std::string_view Entry::Text(Field field) const {
  const auto index = static_cast<std::size_t>(field);
  std::size_t offset = 0;
  for (std::size_t i = 0; i < index; ++i) offset += lengths_[i];
  return {Data() + offset, lengths_[index]};
}

std::array<std::string_view, Entry::kFieldCount> Entry::Texts() const {
  return {SiteName(), Url(), UserName(), EncryptedPassword()};
}

void Entry::Rebuild(const std::array<std::string_view, kFieldCount>& texts,
                    std::string_view plaintext, const SessionKey* key) {
  std::array<std::uint32_t, kFieldCount> lengths{};
  std::size_t total = 0;
  for (std::size_t i = 0; i < kFieldCount; ++i) {
    const std::size_t length =
        key != nullptr && i == static_cast<std::size_t>(Field::EncryptedPassword)
            ? SessionKey::ProtectedSize(plaintext.size())
            : texts[i].size();
    if (length > std::numeric_limits<std::uint32_t>::max() - total) {
      throw Error("A text is too long to be kept");
    }
    lengths[i] = static_cast<std::uint32_t>(length);
    total += length;
  }
  // The texts may lie in this entry: they are put together aside, and the entry's own texts go
  // only once they are copied.
  char staged[kInlineSize];
  std::unique_ptr<char[]> block;
  if (total > kInlineSize) block = std::make_unique_for_overwrite<char[]>(total);
  char* const start = block ? block.get() : staged;
  char* out = start;
  for (std::size_t i = 0; i < kFieldCount; ++i) {
    if (key != nullptr && i == static_cast<std::size_t>(Field::EncryptedPassword)) {
      key->ProtectInto(plaintext, {out, lengths[i]});
    } else {
      std::copy(texts[i].begin(), texts[i].end(), out);
    }
    out += lengths[i];
  }
  Wipe();
  lengths_ = lengths;
  if (block) {
    heap_ = block.release();
  } else {
    std::copy(staged, staged + total, inline_);
  }
}

void Entry::SetText(Field field, std::string_view text) {
  auto texts = Texts();
  texts[static_cast<std::size_t>(field)] = text;
  Rebuild(texts);
}

SecureString Entry::Password(const SessionKey& key) const {
  return key.Unprotect(EncryptedPassword());
}

void Entry::SetPassword(std::string_view plaintext, const SessionKey& key) {
  Rebuild(Texts(), plaintext, &key);
}

void Entry::Wipe() {
  const std::size_t total = TotalSize();
  char* const data = total <= kInlineSize ? inline_ : heap_;
  for (std::size_t i = 0; i < total; ++i) data[i] = static_cast<char>(RandomInt(256));
  Cleanse(data, total);
  if (total > kInlineSize) delete[] heap_;
  lengths_ = {};
}

}  // namespace corvella
