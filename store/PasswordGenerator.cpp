// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "PasswordGenerator.h"

#include <string_view>

namespace corvella {
namespace {

// Lower-case j is left out; capital J is in.
constexpr std::string_view kAlphabet =
    "abcdefghiklmnopqrstuvwxyz"
    "ABCDEFGHIJKLMNOPQRSTUVWXYZ"
    "0123456789"
    "!\"#%&/()=@";
static_assert(kAlphabet.size() == 71);

constexpr std::uint32_t kMinLength = 12;
constexpr std::uint32_t kLengthChoices = 5;  // 12 to 16

}  // namespace

SecureString GeneratePassword(RandomSource& source) {
  const std::uint32_t length = kMinLength + source.UniformInt(kLengthChoices);
  SecureString password;
  password.reserve(length);
  for (std::uint32_t i = 0; i < length; ++i) {
    password.push_back(kAlphabet[source.UniformInt(static_cast<std::uint32_t>(kAlphabet.size()))]);
  }
  return password;
}

}  // namespace corvella
