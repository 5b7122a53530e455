// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Import.h"

#include <string>

#include "Csv.h"
#include "Json.h"
#include "core/Error.h"
#include "platform/Files.h"

namespace corvella::interchange {
namespace {

bool LooksLikeJson(std::string_view document) {
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  if (document.starts_with(kByteOrderMark)) document.remove_prefix(kByteOrderMark.size());
  const auto first = document.find_first_not_of(" \t\r\n");
  return first != std::string_view::npos && (document[first] == '[' || document[first] == '{');
}

}  // namespace

SecureString ReadDocumentFile(const std::string& path) {
  // The file reader refuses what is not a regular file, without blocking on a FIFO.
  platform::InputFile file(path);
  if (file.Size() > kMaxDocumentSize) {
    throw Error("The document \"" + path + "\" is larger than " +
                std::to_string(kMaxDocumentSize >> 20) + " MiB");
  }
  SecureString content(static_cast<std::size_t>(file.Size()), '\0');
  file.ReadInto({reinterpret_cast<unsigned char*>(content.data()), content.size()});
  return content;
}

std::size_t ReadExport(std::string_view document, DocumentFormat format,
                       const LoginVisitor& visit) {
  if (format == DocumentFormat::Auto) {
    format = LooksLikeJson(document) ? DocumentFormat::Json : DocumentFormat::Csv;
  }
  return format == DocumentFormat::Json ? ParseJson(document, visit) : ParseCsv(document, visit);
}

ImportedDocument ReadExport(std::string_view document, DocumentFormat format) {
  ImportedDocument imported;
  imported.notLogins = ReadExport(
      document, format, [&](const PlainEntry& login) { imported.entries.push_back(login); });
  return imported;
}

}  // namespace corvella::interchange
