// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "PlainEntry.h"
#include "store/SecureMemory.h"

namespace corvella::interchange {

enum class DocumentFormat { Auto, Csv, Json };

// A document is at most this long, so that endless input is an error rather than exhausted memory.
constexpr std::size_t kMaxDocumentSize = std::size_t{64} << 20;

// The whole content of the regular file at `path`, at most kMaxDocumentSize bytes. Anything else
// (a FIFO, a device, a folder, more bytes) raises an Error naming the file.
SecureString ReadDocumentFile(const std::string& path);

// Reads an export (see ParseCsv and ParseJson), handing each login to `visit` as soon as it is
// read, and returns how many items were not logins. Auto tells the two formats apart by content:
// a JSON document begins with '[' or '{'.
std::size_t ReadExport(std::string_view document, DocumentFormat format, const LoginVisitor& visit);
// The same, every login collected before any is used: an error in the document leaves none.
ImportedDocument ReadExport(std::string_view document, DocumentFormat format);

}  // namespace corvella::interchange
