// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "TextCodec.h"

#include <array>
#include <cstdint>

namespace corvella {
namespace {

// Code points of the bytes 0x80..0x9F; the five bytes Windows-1252 leaves undefined map to the
// C1 control with the same number, as Windows does.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char32_t Windows1252ToCodePoint(unsigned char byte) {
  return byte >= 0x80 && byte < 0xA0 ? kHighControls[byte - 0x80] : char32_t{byte};
}

std::optional<unsigned char> CodePointToWindows1252(char32_t codePoint) {
  if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF)) {
    return static_cast<unsigned char>(codePoint);
  }
  for (std::size_t i = 0; i < kHighControls.size(); ++i) {
    if (kHighControls[i] == codePoint) return static_cast<unsigned char>(0x80 + i);
  }
  return std::nullopt;
}

// Decodes the code point at `pos` and advances past it; nothing for an invalid sequence
// (overlong forms, surrogates and values above U+10FFFF included).
std::optional<char32_t> NextCodePoint(std::string_view text, std::size_t& pos) {
  const auto lead = static_cast<unsigned char>(text[pos]);
  std::size_t length = 0;
  char32_t c = 0;
  char32_t minimum = 0;
  if (lead < 0x80) {
    ++pos;
    return lead;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2, c = lead & 0x1F, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, c = lead & 0x0F, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, c = lead & 0x07, minimum = 0x10000;
  } else {
    return std::nullopt;
  }
  if (text.size() - pos < length) return std::nullopt;
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[pos + i]);
    if ((next & 0xC0) != 0x80) return std::nullopt;
    c = c << 6 | (next & 0x3F);
  }
  if (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return std::nullopt;
  pos += length;
  return c;
}

// Calls `emit` with each code point of the bytes as DisplayText reads them.
template <class Emit>
void ForEachDisplayCodePoint(std::string_view bytes, Emit emit) {
  if (IsValidUtf8(bytes)) {
    for (std::size_t pos = 0; pos < bytes.size();) emit(*NextCodePoint(bytes, pos));
  } else {
    for (const char byte : bytes) emit(Windows1252ToCodePoint(static_cast<unsigned char>(byte)));
  }
}

template <class String>
String DisplayTextAs(std::string_view bytes) {
  if (IsValidUtf8(bytes)) return String(bytes);
  String text;
  text.reserve(bytes.size() * 3);  // the longest decoding: three UTF-8 bytes per byte
  ForEachDisplayCodePoint(bytes, [&text](char32_t c) { AppendUtf8(text, c); });
  return text;
}

}  // namespace

bool IsValidUtf8(std::string_view bytes) {
  for (std::size_t pos = 0; pos < bytes.size();) {
    if (!NextCodePoint(bytes, pos)) return false;
  }
  return true;
}

std::string DisplayText(std::string_view bytes) { return DisplayTextAs<std::string>(bytes); }

SecureString SecretDisplayText(std::string_view bytes) {
  return DisplayTextAs<SecureString>(bytes);
}

SecureUtf16 SecretDisplayUtf16(std::string_view bytes) {
  SecureUtf16 text;
  text.reserve(bytes.size());
  ForEachDisplayCodePoint(bytes, [&text](char32_t c) { AppendUtf16(text, c); });
  return text;
}

SecureString Utf16ToUtf8(std::u16string_view text) {
  constexpr char32_t kReplacement = 0xFFFD;
  SecureString bytes;
  bytes.reserve(text.size() * 3);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    char32_t c = unit;
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((char32_t{unit} - 0xD800) << 10) + (char32_t{text[++i]} - 0xDC00);
    } else if (unit >= 0xD800 && unit <= 0xDFFF) {
      c = kReplacement;
    }
    AppendUtf8(bytes, c);
  }
  return bytes;
}

std::optional<SecureString> Utf8ToWindows1252(std::string_view utf8) {
  SecureString bytes;
  bytes.reserve(utf8.size());
  for (std::size_t pos = 0; pos < utf8.size();) {
    const auto c = NextCodePoint(utf8, pos);
    const auto byte = c ? CodePointToWindows1252(*c) : std::nullopt;
    if (!byte) return std::nullopt;
    bytes += static_cast<char>(*byte);
  }
  return bytes;
}

}  // namespace corvella
