// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "SessionKey.h"

#include "CipherFraming.h"
#include "Crypto.h"

namespace corvella {

std::string_view SessionKey::Bytes() const {
  if (key_.empty()) {
    key_.resize(kSessionKeySize);
    crypto::RandomBytes({reinterpret_cast<unsigned char*>(key_.data()), key_.size()});
  }
  return key_.View();
}

std::string SessionKey::Protect(std::string_view plaintext) const {
  return EncryptText(plaintext, Bytes());
}

SecureString SessionKey::Unprotect(std::string_view protectedText) const {
  return DecryptText(protectedText, Bytes());
}

}  // namespace corvella
