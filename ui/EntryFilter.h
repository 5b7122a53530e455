// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <string>
#include <string_view>

#include "store/Entry.h"

namespace corvella {

// `text` as the search compares it: compatibility-decomposed, without combining marks, case
// folded, and "ß", "æ", "œ", "ø", "ł", "đ" written as their Latin letters ("Straße" reads
// "strasse", "Café" reads "cafe", "ﬁ" reads "fi").
QString FoldForSearch(const QString& text);

// What the search field finds: entries whose site name, user name or address contains the typed
// text, folded alike. Texts are folded on the fly and kept nowhere: stored texts of plain ASCII,
// the common case, are compared in place, Latin, Greek and Cyrillic ones folded by a table, and
// only the rest through Qt's normalisation. Passwords are never looked at.
class EntryFilter {
 public:
  EntryFilter() = default;
  explicit EntryFilter(const QString& text);

  // An empty filter matches every entry.
  bool IsEmpty() const { return folded_.isEmpty(); }
  bool Matches(const Entry& entry) const;
  bool Matches(std::string_view storedText) const;
  // True when every entry this filter matches is matched by `wider` too (the text was typed on).
  bool Narrows(const EntryFilter& wider) const { return folded_.contains(wider.folded_); }

 private:
  QString folded_;
  std::string utf8_;  // folded_ as UTF-8
  // Then ASCII texts are searched byte by byte.
  bool isAscii_ = true;
};

}  // namespace corvella
