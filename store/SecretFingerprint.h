// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string_view>

#include "Crypto.h"

namespace corvella {

// Recognises a secret seen before without keeping it: it holds an HMAC-SHA-256 of the secret
// under a random key of its own, drawn from the operating system's CSPRNG when the first secret
// is remembered. Key and digest are wiped when it goes.
class SecretFingerprint {
 public:
  SecretFingerprint() = default;
  ~SecretFingerprint();
  SecretFingerprint(const SecretFingerprint&) = delete;
  SecretFingerprint& operator=(const SecretFingerprint&) = delete;

  // Takes the place of the secret remembered before.
  void Remember(std::string_view secret);
  // True while a secret is remembered and `text` is exactly it.
  bool Matches(std::string_view text) const;
  void Forget();

 private:
  crypto::Key256 Digest(std::string_view text) const;

  crypto::Key256 key_{};
  crypto::Key256 digest_{};
  bool keyed_ = false;
  bool remembered_ = false;
};

}  // namespace corvella
