// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Reads the input as an export of any known kind. A document is either refused with a one-line
// message or read; the logins read come back unchanged through Corvella's own CSV.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "core/Error.h"
#include "interchange/Csv.h"
#include "interchange/Import.h"

using namespace corvella;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view document(reinterpret_cast<const char*>(data), size);
  interchange::ImportedDocument imported;
  try {
    imported = interchange::ReadExport(document, interchange::DocumentFormat::Auto);
  } catch (const Error& error) {
    fuzz::Check(std::string_view(error.what()).find_first_of("\r\n") == std::string_view::npos,
                "a refusal is one line");
    return 0;
  }
  SecureString csv;
  interchange::AppendCsv(imported.entries, csv);
  const interchange::ImportedDocument again =
      interchange::ReadExport(csv.View(), interchange::DocumentFormat::Csv);
  fuzz::Check(again.notLogins == 0 && again.entries.size() == imported.entries.size(),
              "every login comes back through CSV");
  for (std::size_t i = 0; i < again.entries.size(); ++i) {
    fuzz::Check(again.entries[i].fields == imported.entries[i].fields,
                "a login comes back through CSV unchanged");
  }
  return 0;
}
