// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "SecureMemory.h"

namespace corvella {

// Stored texts are bytes. New texts are written as UTF-8; files made on Windows hold
// Windows-1252 bytes, which are shown decoded as such.

bool IsValidUtf8(std::string_view bytes);

// Appends the UTF-16 encoding of a code point (at most U+10FFFF).
template <class String>
void AppendUtf16(String& out, char32_t c) {
  if (c < 0x10000) {
    out.push_back(static_cast<char16_t>(c));
  } else {
    out.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
  }
}

// Appends the UTF-8 encoding of a code point (at most U+10FFFF).
template <class String>
void AppendUtf8(String& out, char32_t c) {
  const auto byte = [&out](char32_t value) { out += static_cast<char>(value); };
  if (c < 0x80) {
    byte(c);
  } else if (c < 0x800) {
    byte(0xC0 | c >> 6);
    byte(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    byte(0xE0 | c >> 12);
    byte(0x80 | (c >> 6 & 0x3F));
    byte(0x80 | (c & 0x3F));
  } else {
    byte(0xF0 | c >> 18);
    byte(0x80 | (c >> 12 & 0x3F));
    byte(0x80 | (c >> 6 & 0x3F));
    byte(0x80 | (c & 0x3F));
  }
}

// The bytes as UTF-8 text: unchanged when they are valid UTF-8, else decoded as Windows-1252.
std::string DisplayText(std::string_view bytes);
// The same for a secret, in memory that is wiped; and as UTF-16 text.
SecureString SecretDisplayText(std::string_view bytes);
SecureUtf16 SecretDisplayUtf16(std::string_view bytes);

// The UTF-8 bytes of UTF-16 text, in memory that is wiped. An unpaired surrogate becomes U+FFFD.
SecureString Utf16ToUtf8(std::u16string_view text);

// The Windows-1252 bytes of UTF-8 text, or nothing when a character has no such byte.
std::optional<SecureString> Utf8ToWindows1252(std::string_view utf8);

}  // namespace corvella
