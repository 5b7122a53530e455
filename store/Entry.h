// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "SecureMemory.h"

namespace corvella {

class SessionKey;

// One login. Texts are stored bytes; the password is held only encrypted under the session key.
class Entry {
 public:
  std::string siteName;
  std::string url;
  std::string userName;
  std::string encryptedPassword;

  SecureString Password(const SessionKey& key) const;
  void SetPassword(std::string_view plaintext, const SessionKey& key);

  // Overwrites every field with random bytes and empties it.
  void Wipe();
};

// Entries are shared: a list row, an open menu or a pending question may still reach an entry
// after it has left the list.
using EntryPtr = std::shared_ptr<Entry>;

}  // namespace corvella
