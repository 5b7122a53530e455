// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/EntryFilter.h"

#include <QByteArray>
#include <algorithm>
#include <array>
#include <string>

#include "ui/Text.h"

namespace corvella {
namespace {

// Letters that neither decomposition nor case folding turns into Latin ones.
QString SpelledOut(QChar c) {
  switch (c.unicode()) {
    case 0x00DF:  // ß
      return QStringLiteral("ss");
    case 0x00E6:  // æ
      return QStringLiteral("ae");
    case 0x0153:  // œ
      return QStringLiteral("oe");
    case 0x00F8:  // ø
      return QStringLiteral("o");
    case 0x0142:  // ł
      return QStringLiteral("l");
    case 0x0111:  // đ
      return QStringLiteral("d");
    default:
      return {};
  }
}

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; }

enum class AsciiResult { Found, NotFound, NotAscii };

// Searches folded ASCII `needle` in `text` while `text` is ASCII.
AsciiResult FindAscii(std::string_view text, std::string_view needle) {
  if (!std::all_of(text.begin(), text.end(), [](char c) { return (c & 0x80) == 0; })) {
    return AsciiResult::NotAscii;
  }
  const auto hit = std::search(text.begin(), text.end(), needle.begin(), needle.end(),
                               [](char a, char b) { return AsciiLower(a) == b; });
  return hit != text.end() || needle.empty() ? AsciiResult::Found : AsciiResult::NotFound;
}

// Code points below this are folded by table: Latin, the combining marks, Greek and Cyrillic.
constexpr char32_t kTableEnd = 0x500;

const std::array<std::string, kTableEnd>& FoldTable() {
  static const auto table = [] {
    std::array<std::string, kTableEnd> folded;
    for (char32_t c = 0; c < kTableEnd; ++c) {
      const QByteArray utf8 = FoldForSearch(QString(QChar(static_cast<char16_t>(c)))).toUtf8();
      folded[c] = std::string(utf8.constData(), static_cast<std::size_t>(utf8.size()));
    }
    return folded;
  }();
  return table;
}

// Appends the folded form of `text` to `out` when it is UTF-8 of characters in the table; false
// otherwise.
bool FoldByTable(std::string_view text, std::string& out) {
  const auto& table = FoldTable();
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) {
      out += AsciiLower(static_cast<char>(lead));
      ++i;
      continue;
    }
    if ((lead & 0xE0) != 0xC0 || i + 1 >= text.size() ||
        (static_cast<unsigned char>(text[i + 1]) & 0xC0) != 0x80) {
      return false;
    }
    const char32_t c = static_cast<char32_t>((lead & 0x1F) << 6 | (text[i + 1] & 0x3F));
    if (c < 0x80 || c >= kTableEnd) return false;  // overlong, or beyond the table
    out += table[c];
    i += 2;
  }
  return true;
}

}  // namespace

QString FoldForSearch(const QString& text) {
  const QString decomposed = text.normalized(QString::NormalizationForm_KD).toCaseFolded();
  QString folded;
  folded.reserve(decomposed.size());
  for (const QChar c : decomposed) {
    if (c.isMark()) continue;
    const QString spelled = SpelledOut(c);
    if (spelled.isEmpty()) {
      folded += c;
    } else {
      folded += spelled;
    }
  }
  return folded;
}

EntryFilter::EntryFilter(const QString& text) : folded_(FoldForSearch(text)) {
  const QByteArray utf8 = folded_.toUtf8();
  utf8_.assign(utf8.constData(), static_cast<std::size_t>(utf8.size()));
  isAscii_ = std::all_of(utf8_.begin(), utf8_.end(), [](char c) { return (c & 0x80) == 0; });
}

bool EntryFilter::Matches(std::string_view storedText) const {
  if (folded_.isEmpty()) return true;
  if (isAscii_) {
    switch (FindAscii(storedText, utf8_)) {
      case AsciiResult::Found:
        return true;
      case AsciiResult::NotFound:
        return false;
      case AsciiResult::NotAscii:
        break;
    }
  } else if (std::all_of(storedText.begin(), storedText.end(),
                         [](char c) { return (c & 0x80) == 0; })) {
    // Folded ASCII stays ASCII: it cannot hold a character beyond it.
    return false;
  }
  // Most other texts fold character by character into one reused buffer.
  thread_local std::string folded;
  folded.clear();
  if (FoldByTable(storedText, folded)) return folded.find(utf8_) != std::string::npos;
  return FoldForSearch(FromBytes(storedText)).contains(folded_);
}

bool EntryFilter::Matches(const Entry& entry) const {
  return Matches(entry.SiteName()) || Matches(entry.UserName()) || Matches(entry.Url());
}

}  // namespace corvella
