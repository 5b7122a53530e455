// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Json.h"

#include <array>
#include <string>

#include "DocumentText.h"
#include "core/Error.h"
#include "store/TextCodec.h"

namespace corvella::cli {
namespace {

constexpr std::string_view kHexDigits = "0123456789abcdef";
// JSON's two-character escapes: the character, and the letter after the backslash.
constexpr std::string_view kEscapedChars = "\"\\/\b\f\n\r\t";
constexpr std::string_view kEscapeLetters = "\"\\/bfnrt";

void AppendString(std::string_view text, SecureString& out) {
  out += '"';
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (const auto escape = kEscapedChars.find(c); escape != std::string_view::npos && c != '/') {
      out += '\\';
      out += kEscapeLetters[escape];
    } else if (byte < 0x20) {
      out += "\\u00";
      out += kHexDigits[byte >> 4];
      out += kHexDigits[byte & 0x0F];
    } else {
      out += c;
    }
  }
  out += '"';
}

// A reader for the one shape of document that holds entries. It never recurses, so the depth of
// a hostile document does not matter.
class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {}

  std::vector<PlainEntry> Document() {
    std::vector<PlainEntry> entries;
    SkipSpace();
    Expect('[', "the document must be an array of entries");
    SkipSpace();
    if (!Take(']')) {
      do {
        SkipSpace();
        entries.push_back(Entry());
        SkipSpace();
      } while (Take(','));
      Expect(']', "expected ',' or ']' after an entry");
    }
    SkipSpace();
    if (pos_ != text_.size()) Fail("unexpected text after the array of entries");
    return entries;
  }

 private:
  PlainEntry Entry() {
    PlainEntry entry;
    std::array<bool, kFieldCount> seen{};
    Expect('{', "each entry must be an object");
    SkipSpace();
    if (Take('}')) return entry;
    do {
      SkipSpace();
      const std::size_t keyStart = pos_;
      if (Peek() != '"') Fail("expected a key in quotes");
      const SecureString key = String();
      const auto field = FieldNamed(key.View());
      if (!field) {
        pos_ = keyStart;
        Fail("unknown key " + QuotedName(key.View()) +
             " (the keys are siteName, url, userName and password)");
      }
      const auto index = static_cast<std::size_t>(*field);
      if (seen[index]) {
        pos_ = keyStart;
        Fail("the key " + QuotedName(key.View()) + " appears twice in one entry");
      }
      seen[index] = true;
      SkipSpace();
      Expect(':', "expected ':' after a key");
      SkipSpace();
      if (Peek() != '"') Fail("the value of " + QuotedName(key.View()) + " must be a text");
      entry[*field] = String();
      SkipSpace();
    } while (Take(','));
    Expect('}', "expected ',' or '}' after a member");
    return entry;
  }

  SecureString String() {
    Expect('"', "expected a text");
    SecureString value;
    for (;;) {
      if (pos_ == text_.size()) Fail("a text is not closed");
      const char c = text_[pos_];
      if (c == '"') {
        ++pos_;
        return value;
      }
      if (static_cast<unsigned char>(c) < 0x20) {
        Fail("a control character inside a text must be written as an escape");
      }
      if (c != '\\') {
        value += c;
        ++pos_;
        continue;
      }
      const std::size_t escapeStart = pos_++;
      if (pos_ == text_.size()) Fail("a text is not closed");
      const char letter = text_[pos_++];
      if (letter == 'u') {
        AppendUtf8(value, Unicode(escapeStart));
        continue;
      }
      const auto escape = kEscapeLetters.find(letter);
      if (escape == std::string_view::npos) {
        pos_ = escapeStart;
        Fail("invalid escape in a text");
      }
      value += kEscapedChars[escape];
    }
  }

  // The code point of a \u escape whose backslash is at `escapeStart`; the 'u' is consumed.
  char32_t Unicode(std::size_t escapeStart) {
    const char32_t first = Hex4(escapeStart);
    if (first >= 0xDC00 && first <= 0xDFFF) {
      pos_ = escapeStart;
      Fail("a \\u escape holds an unpaired surrogate");
    }
    if (first < 0xD800 || first > 0xDBFF) return first;
    const std::size_t secondStart = pos_;
    if (text_.substr(pos_, 2) != "\\u") {
      pos_ = escapeStart;
      Fail("a \\u escape holds an unpaired surrogate");
    }
    pos_ += 2;
    const char32_t second = Hex4(secondStart);
    if (second < 0xDC00 || second > 0xDFFF) {
      pos_ = escapeStart;
      Fail("a \\u escape holds an unpaired surrogate");
    }
    return 0x10000 + ((first - 0xD800) << 10) + (second - 0xDC00);
  }

  char32_t Hex4(std::size_t escapeStart) {
    char32_t value = 0;
    for (int i = 0; i < 4; ++i) {
      const char c = pos_ < text_.size() ? text_[pos_] : '\0';
      int digit = -1;
      if (c >= '0' && c <= '9') digit = c - '0';
      if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
      if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
      if (digit < 0) {
        pos_ = escapeStart;
        Fail("a \\u escape needs four hexadecimal digits");
      }
      value = value << 4 | static_cast<char32_t>(digit);
      ++pos_;
    }
    return value;
  }

  void SkipSpace() {
    while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t' ||
                                   text_[pos_] == '\n' || text_[pos_] == '\r')) {
      ++pos_;
    }
  }

  char Peek() const { return pos_ < text_.size() ? text_[pos_] : '\0'; }

  bool Take(char c) {
    if (pos_ == text_.size() || text_[pos_] != c) return false;
    ++pos_;
    return true;
  }

  void Expect(char c, const std::string& problem) {
    if (!Take(c)) Fail(pos_ == text_.size() ? "the document ends too early" : problem);
  }

  [[noreturn]] void Fail(const std::string& problem) const {
    std::size_t line = 1;
    std::size_t column = 1;
    for (std::size_t i = 0; i < pos_ && i < text_.size(); ++i) {
      if (text_[i] == '\n') {
        ++line;
        column = 1;
      } else if ((static_cast<unsigned char>(text_[i]) & 0xC0) != 0x80) {
        ++column;
      }
    }
    throw Error("line " + std::to_string(line) + ", column " + std::to_string(column) + ": " +
                problem);
  }

  std::string_view text_;
  std::size_t pos_ = 0;
};

}  // namespace

void AppendJson(const std::vector<PlainEntry>& entries, SecureString& out) {
  if (entries.empty()) {
    out += "[]\n";
    return;
  }
  out += "[\n";
  for (std::size_t i = 0; i < entries.size(); ++i) {
    out += "  {\n";
    for (std::size_t f = 0; f < kFieldCount; ++f) {
      out += "    ";
      AppendString(kFieldNames[f], out);
      out += ": ";
      AppendString(entries[i].fields[f].View(), out);
      out += f + 1 < kFieldCount ? ",\n" : "\n";
    }
    out += i + 1 < entries.size() ? "  },\n" : "  }\n";
  }
  out += "]\n";
}

std::vector<PlainEntry> ParseJson(std::string_view document) {
  return Parser(DocumentText(document)).Document();
}

}  // namespace corvella::cli
