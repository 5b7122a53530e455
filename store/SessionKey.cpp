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

std::size_t SessionKey::ProtectedSize(std::size_t plaintextSize) {
  return EncryptedTextSize(plaintextSize);
}

std::size_t SessionKey::UnprotectedMaxSize(std::size_t protectedSize) {
  return DecryptedTextMaxSize(protectedSize);
}

void SessionKey::ProtectInto(std::string_view plaintext, std::span<char> protectedText) const {
  EncryptTextInto(plaintext, Bytes(), protectedText);
}

std::size_t SessionKey::UnprotectInto(std::string_view protectedText,
                                      std::span<unsigned char> plaintext) const {
  return DecryptTextInto(protectedText, Bytes(), plaintext);
}

}  // namespace corvella
