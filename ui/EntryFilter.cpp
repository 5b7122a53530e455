// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/EntryFilter.h"

#include <algorithm>

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
  for (const QChar c : folded_) {
    if (c.unicode() >= 0x80) {
      isAscii_ = false;
      ascii_.clear();
      break;
    }
    ascii_ += static_cast<char>(c.unicode());
  }
}

bool EntryFilter::Matches(std::string_view storedText) const {
  if (folded_.isEmpty()) return true;
  if (isAscii_) {
    switch (FindAscii(storedText, ascii_)) {
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
  return FoldForSearch(FromBytes(storedText)).contains(folded_);
}

bool EntryFilter::Matches(const Entry& entry) const {
  return Matches(entry.siteName) || Matches(entry.userName) || Matches(entry.url);
}

}  // namespace corvella
