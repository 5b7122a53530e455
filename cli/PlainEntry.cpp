// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "PlainEntry.h"

namespace corvella::cli {

std::optional<Field> FieldNamed(std::string_view name) {
  for (std::size_t i = 0; i < kFieldCount; ++i) {
    if (kFieldNames[i] == name) return static_cast<Field>(i);
  }
  return std::nullopt;
}

std::string QuotedName(std::string_view name) {
  constexpr std::size_t kLongest = 40;
  std::string text = "\"";
  std::size_t taken = 0;
  for (const char c : name) {
    // Stops at a character boundary so that the result stays valid UTF-8.
    if (taken >= kLongest && (static_cast<unsigned char>(c) & 0xC0) != 0x80) {
      text += "...";
      break;
    }
    const auto byte = static_cast<unsigned char>(c);
    text += byte < 0x20 || byte == 0x7F ? '?' : c;
    ++taken;
  }
  return text + "\"";
}

}  // namespace corvella::cli
