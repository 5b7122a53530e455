// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "SecureMemory.h"

namespace corvella {

class SessionKey;

// One login. Texts are stored bytes; the password is held only encrypted under the session key.
// The four texts lie back to back: in the entry itself when they fit, as those of most logins do,
// else in a block of their own. Either is wiped before it goes.
class Entry {
 public:
  Entry() = default;
  // All four texts at once; `password` is the plaintext, encrypted under `key`.
  Entry(std::string_view siteName, std::string_view url, std::string_view userName,
        std::string_view password, const SessionKey& key);
  ~Entry() { Wipe(); }
  Entry(const Entry&) = delete;
  Entry& operator=(const Entry&) = delete;

  std::string_view SiteName() const { return Text(Field::SiteName); }
  std::string_view Url() const { return Text(Field::Url); }
  std::string_view UserName() const { return Text(Field::UserName); }
  std::string_view EncryptedPassword() const { return Text(Field::EncryptedPassword); }

  // All four texts at once, as the constructor.
  void SetAll(std::string_view siteName, std::string_view url, std::string_view userName,
              std::string_view password, const SessionKey& key);
  void SetSiteName(std::string_view text) { SetText(Field::SiteName, text); }
  void SetUrl(std::string_view text) { SetText(Field::Url, text); }
  void SetUserName(std::string_view text) { SetText(Field::UserName, text); }

  SecureString Password(const SessionKey& key) const;
  void SetPassword(std::string_view plaintext, const SessionKey& key);

  // Overwrites every text with random bytes, then wipes and releases the block; every text is
  // empty afterwards.
  void Wipe();

 private:
  enum class Field { SiteName, Url, UserName, EncryptedPassword };
  static constexpr std::size_t kFieldCount = 4;

  static constexpr std::size_t kInlineSize = 88;  // an entry of 104 bytes

  std::size_t TotalSize() const;
  const char* Data() const { return TotalSize() <= kInlineSize ? inline_ : heap_; }
  std::string_view Text(Field field) const;
  // Makes the block anew from `texts`; the encrypted password is made in its room by `key` from
  // `plaintext` when `key` is given, else copied from `texts`.
  void Rebuild(const std::array<std::string_view, kFieldCount>& texts,
               std::string_view plaintext = {}, const SessionKey* key = nullptr);
  std::array<std::string_view, kFieldCount> Texts() const;
  void SetText(Field field, std::string_view text);

  std::array<std::uint32_t, kFieldCount> lengths_{};
  union {
    char inline_[kInlineSize];
    char* heap_;
  };
};

// Entries are shared: a list row, an open menu or a pending question may still reach an entry
// after it has left the list.
using EntryPtr = std::shared_ptr<Entry>;

// A list of entries as it was when taken; whoever changes the list afterwards changes a copy.
using EntryListSnapshot = std::shared_ptr<const std::vector<EntryPtr>>;

}  // namespace corvella
