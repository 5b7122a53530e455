// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "SecretFingerprint.h"

#include "SecureMemory.h"

namespace corvella {

SecretFingerprint::~SecretFingerprint() {
  Forget();
  Cleanse(key_.data(), key_.size());
}

void SecretFingerprint::Remember(std::string_view secret) {
  if (!keyed_) {
    crypto::RandomBytes(key_);
    keyed_ = true;
  }
  digest_ = Digest(secret);
  remembered_ = true;
}

bool SecretFingerprint::Matches(std::string_view text) const {
  if (!remembered_) return false;
  crypto::Key256 digest = Digest(text);
  const bool same = digest == digest_;
  Cleanse(digest.data(), digest.size());
  return same;
}

void SecretFingerprint::Forget() {
  Cleanse(digest_.data(), digest_.size());
  remembered_ = false;
}

crypto::Key256 SecretFingerprint::Digest(std::string_view text) const {
  return crypto::HmacSha256(key_, crypto::AsBytes(text));
}

}  // namespace corvella
