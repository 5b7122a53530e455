// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>

#include "store/Crypto.h"
#include "store/SecretFingerprint.h"

namespace corvella {
namespace {

template <class Bytes>
bool Holds(const SecretFingerprint& fingerprint, const Bytes& needle) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(&fingerprint);
  const auto* end = bytes + sizeof fingerprint;
  return std::search(bytes, end, needle.begin(), needle.end()) != end;
}

TEST(SecretFingerprintTest, RecognisesOnlyTheSecretRememberedLast) {
  const std::string_view first = "p\xC3\xA4sswort 1";
  const std::string_view second = "another one 2";
  SecretFingerprint fingerprint;
  EXPECT_FALSE(fingerprint.Matches(""));
  EXPECT_FALSE(fingerprint.Matches(first));

  fingerprint.Remember(first);
  EXPECT_TRUE(fingerprint.Matches(first));
  for (const std::string_view other :
       {std::string_view("p\xC3\xA4sswort 1 "), first.substr(0, first.size() - 1),
        std::string_view(""), std::string_view("P\xC3\xA4sswort 1"), second}) {
    EXPECT_FALSE(fingerprint.Matches(other)) << other.size();
  }

  fingerprint.Remember(second);
  EXPECT_TRUE(fingerprint.Matches(second));
  EXPECT_FALSE(fingerprint.Matches(first));

  fingerprint.Forget();
  EXPECT_FALSE(fingerprint.Matches(second));

  // An empty password can be copied too.
  fingerprint.Remember("");
  EXPECT_TRUE(fingerprint.Matches(""));
  EXPECT_FALSE(fingerprint.Matches(first));
}

TEST(SecretFingerprintTest, KeepsNeitherTheSecretNorItsPlainDigest) {
  const std::string secret = "a secret of 20 chars";
  SecretFingerprint fingerprint;
  fingerprint.Remember(secret);
  EXPECT_FALSE(Holds(fingerprint, secret));
  // A digest without a key of its own would let a list of guesses find the secret.
  EXPECT_FALSE(Holds(fingerprint, crypto::Sha256(crypto::AsBytes(secret))));
}

}  // namespace
}  // namespace corvella
