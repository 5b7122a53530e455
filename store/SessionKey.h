// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "SecureMemory.h"

namespace corvella {

constexpr std::size_t kSessionKeySize = 32;

// The random key under which the passwords held in memory are encrypted, for as long as its
// owner lives. It is drawn from the operating system's CSPRNG on first use, so that a program
// sets up the random generator only once it protects a password.
class SessionKey {
 public:
  SessionKey() = default;
  SessionKey(const SessionKey&) = delete;
  SessionKey& operator=(const SessionKey&) = delete;

  // The text cipher under this key: Base64 text that holds no plaintext, and back.
  std::string Protect(std::string_view plaintext) const;
  SecureString Unprotect(std::string_view protectedText) const;
  // The same in the caller's memory: the protected text of `plaintextSize` bytes fills exactly
  // ProtectedSize of them; a plaintext takes at most UnprotectedMaxSize, and UnprotectInto
  // returns how many it wrote.
  static std::size_t ProtectedSize(std::size_t plaintextSize);
  static std::size_t UnprotectedMaxSize(std::size_t protectedSize);
  void ProtectInto(std::string_view plaintext, std::span<char> protectedText) const;
  std::size_t UnprotectInto(std::string_view protectedText,
                            std::span<unsigned char> plaintext) const;

  std::string_view Bytes() const;

 private:
  mutable SecureString key_;
};

}  // namespace corvella
