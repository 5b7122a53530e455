// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Entry.h"

#include "Random.h"
#include "SessionKey.h"

namespace corvella {

SecureString Entry::Password(const SessionKey& key) const {
  return key.Unprotect(encryptedPassword);
}

void Entry::SetPassword(std::string_view plaintext, const SessionKey& key) {
  encryptedPassword = key.Protect(plaintext);
}

void Entry::Wipe() {
  WipeString(url);
  WipeString(encryptedPassword);
  WipeString(siteName);
  WipeString(userName);
}

}  // namespace corvella
