// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string_view>
#include <vector>

#include "PlainEntry.h"
#include "store/SecureMemory.h"

namespace corvella::cli {

// Appends the entries as RFC 4180 CSV: a header row of kFieldNames, then one row per entry, every
// row ending in CRLF. A field is quoted when it holds a comma, a quote, CR or LF.
void AppendCsv(const std::vector<PlainEntry>& entries, SecureString& out);

// Reads a UTF-8 CSV document: a header row naming some of kFieldNames in any order, then one
// row per entry with as many fields as the header. Rows may end in CRLF, LF or CR; empty lines
// are skipped. Missing columns leave their fields empty. Anything else raises an Error naming the
// line; the message never quotes a value.
std::vector<PlainEntry> ParseCsv(std::string_view document);

}  // namespace corvella::cli
