// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Json.h"

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "DocumentText.h"
#include "core/Error.h"
#include "store/TextCodec.h"

namespace corvella::interchange {
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

// Deeper documents are refused rather than read by ever deeper calls.
constexpr int kMaxDepth = 64;

// Any JSON value, as a Bitwarden export holds them.
struct Value {
  enum class Kind { Null, False, True, Number, Text, Array, Object };

  Kind kind = Kind::Null;
  // Where the value begins in the document, for messages.
  std::size_t position = 0;
  // A text, or a number as written.
  SecureString text;
  // The items of an array, or the values of an object's members under `keys`.
  std::vector<Value> items;
  std::vector<SecureString> keys;

  const Value* Member(std::string_view key) const {
    for (std::size_t i = 0; i < keys.size(); ++i) {
      if (keys[i].View() == key) return &items[i];
    }
    return nullptr;
  }
};

// A reader for the two shapes of document that hold entries. Corvella's array is read without
// recursion; a Bitwarden export is read to a bounded depth.
class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {}

  // Hands each login to `visit` and returns how many items were not logins.
  std::size_t Export(const LoginVisitor& visit) {
    SkipSpace();
    if (Peek() != '{') {
      Document(visit);
      return 0;
    }
    const Value root = Read(0);
    SkipSpace();
    if (pos_ != text_.size()) Fail("unexpected text after the export");
    return Bitwarden(root, visit);
  }

  void Document(const LoginVisitor& visit) {
    SkipSpace();
    Expect('[', "the document must be an array of entries");
    SkipSpace();
    if (!Take(']')) {
      do {
        SkipSpace();
        visit(Entry());
        SkipSpace();
      } while (Take(','));
      Expect(']', "expected ',' or ']' after an entry");
    }
    SkipSpace();
    if (pos_ != text_.size()) Fail("unexpected text after the array of entries");
  }

 private:
  std::size_t Bitwarden(const Value& root, const LoginVisitor& visit) {
    if (const Value* encrypted = root.Member("encrypted");
        encrypted && encrypted->kind == Value::Kind::True) {
      throw Error(
          "the document is an encrypted Bitwarden export; export the vault again as JSON without "
          "encryption");
    }
    const Value* items = root.Member("items");
    if (!items || items->kind != Value::Kind::Array) {
      FailAt(root.position,
             "the document must be an array of entries or a Bitwarden export with \"items\"");
    }
    std::size_t notLogins = 0;
    for (const Value& item : items->items) {
      if (item.kind != Value::Kind::Object) FailAt(item.position, "each item must be an object");
      const Value* type = item.Member("type");
      if (!type || type->kind != Value::Kind::Number) {
        FailAt(item.position, "an item has no number under \"type\"");
      }
      // 1 is a login; notes, cards, identities and keys are not.
      if (type->text != "1") {
        ++notLogins;
        continue;
      }
      visit(BitwardenLogin(item));
    }
    return notLogins;
  }

  PlainEntry BitwardenLogin(const Value& item) {
    PlainEntry entry;
    entry[Field::SiteName] = TextOf(item, "name");
    const Value* login = item.Member("login");
    if (!login || login->kind == Value::Kind::Null) return entry;
    if (login->kind != Value::Kind::Object) {
      FailAt(login->position, "the value of \"login\" must be an object");
    }
    entry[Field::UserName] = TextOf(*login, "username");
    entry[Field::Password] = TextOf(*login, "password");
    const Value* uris = login->Member("uris");
    if (uris && uris->kind == Value::Kind::Array && !uris->items.empty()) {
      entry[Field::Url] = TextOf(uris->items.front(), "uri");
    }
    return entry;
  }

  // The text under `key` in `object`; empty when it is missing or null.
  SecureString TextOf(const Value& object, std::string_view key) {
    const Value* value = object.Member(key);
    if (!value || value->kind == Value::Kind::Null) return {};
    if (value->kind != Value::Kind::Text) {
      FailAt(value->position, "the value of " + QuotedName(key) + " must be a text");
    }
    return value->text;
  }

  Value Read(int depth) {
    if (depth > kMaxDepth) Fail("the document is nested too deeply");
    Value value;
    value.position = pos_;
    const char c = Peek();
    if (Take('{')) {
      value.kind = Value::Kind::Object;
      SkipSpace();
      if (Take('}')) return value;
      do {
        SkipSpace();
        if (Peek() != '"') Fail("expected a key in quotes");
        SecureString key = String();
        SkipSpace();
        Expect(':', "expected ':' after a key");
        SkipSpace();
        value.items.push_back(Read(depth + 1));
        value.keys.push_back(std::move(key));
        SkipSpace();
      } while (Take(','));
      Expect('}', "expected ',' or '}' after a member");
    } else if (Take('[')) {
      value.kind = Value::Kind::Array;
      SkipSpace();
      if (Take(']')) return value;
      do {
        SkipSpace();
        value.items.push_back(Read(depth + 1));
        SkipSpace();
      } while (Take(','));
      Expect(']', "expected ',' or ']' after a value");
    } else if (c == '"') {
      value.kind = Value::Kind::Text;
      value.text = String();
    } else if (TakeWord("true")) {
      value.kind = Value::Kind::True;
    } else if (TakeWord("false")) {
      value.kind = Value::Kind::False;
    } else if (TakeWord("null")) {
      value.kind = Value::Kind::Null;
    } else if (c == '-' || (c >= '0' && c <= '9')) {
      value.kind = Value::Kind::Number;
      Take('-');
      TakeDigits();
      if (Take('.')) TakeDigits();
      if (Take('e') || Take('E')) {
        if (!Take('+')) Take('-');
        TakeDigits();
      }
      value.text = SecureString(text_.substr(value.position, pos_ - value.position));
    } else {
      Fail(pos_ == text_.size() ? "the document ends too early" : "expected a value");
    }
    return value;
  }

  bool TakeWord(std::string_view word) {
    if (text_.substr(pos_, word.size()) != word) return false;
    pos_ += word.size();
    return true;
  }

  void TakeDigits() {
    if (Peek() < '0' || Peek() > '9') Fail("invalid number");
    while (Peek() >= '0' && Peek() <= '9') ++pos_;
  }

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

  [[noreturn]] void FailAt(std::size_t position, const std::string& problem) {
    pos_ = position;
    Fail(problem);
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

void JsonWriter::Begin(SecureString& out) const { out += '['; }

// The separator goes before an entry, so that the last one need not be known in advance.
void JsonWriter::Add(const PlainEntry& entry, SecureString& out) {
  out += anyEntry_ ? ",\n  {\n" : "\n  {\n";
  anyEntry_ = true;
  for (std::size_t f = 0; f < kFieldCount; ++f) {
    out += "    ";
    AppendString(kFieldNames[f], out);
    out += ": ";
    AppendString(entry.fields[f].View(), out);
    out += f + 1 < kFieldCount ? ",\n" : "\n";
  }
  out += "  }";
}

void JsonWriter::End(SecureString& out) const { out += anyEntry_ ? "\n]\n" : "]\n"; }

void AppendJson(const std::vector<PlainEntry>& entries, SecureString& out) {
  JsonWriter writer;
  writer.Begin(out);
  for (const PlainEntry& entry : entries) writer.Add(entry, out);
  writer.End(out);
}

std::size_t ParseJson(std::string_view document, const LoginVisitor& visit) {
  return Parser(DocumentText(document)).Export(visit);
}

}  // namespace corvella::interchange
