// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string_view>
#include <vector>

#include "PlainEntry.h"
#include "store/SecureMemory.h"

namespace corvella::interchange {

// Writes the document of AppendCsv one entry at a time: Begin, Add for each entry, then End, each
// appending to `out`, which the caller may empty in between.
class CsvWriter {
 public:
  void Begin(SecureString& out) const;
  void Add(const PlainEntry& entry, SecureString& out) const;
  void End(SecureString& /*out*/) const {}
};

// Appends the entries as RFC 4180 CSV: a header row of kFieldNames, then one row per entry, every
// row ending in CRLF. A field is quoted when it holds a comma, a quote, CR or LF.
void AppendCsv(const std::vector<PlainEntry>& entries, SecureString& out);

// Reads a UTF-8 CSV document: a header row, then one row per item with as many fields as the
// header. The header tells whose export it is: Corvella's (some of kFieldNames in any order;
// missing columns leave their fields empty), KeePassXC's, Bitwarden's, or a browser's (Chrome and
// its kin, Firefox); the columns of each may come in any order. Rows may end in CRLF, LF or CR;
// empty lines are skipped. Items that are not logins are counted, not read. Anything else raises
// an Error naming the line; the message never quotes a value. Each login goes to `visit` as soon
// as it is read; returns how many items were not logins.
std::size_t ParseCsv(std::string_view document, const LoginVisitor& visit);

}  // namespace corvella::interchange
