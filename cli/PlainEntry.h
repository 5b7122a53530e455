// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "store/SecureMemory.h"

namespace corvella::cli {

// The columns of an exported or imported entry, in document order.
enum class Field : std::size_t { SiteName, Url, UserName, Password };
constexpr std::size_t kFieldCount = 4;
constexpr std::array<std::string_view, kFieldCount> kFieldNames = {"siteName", "url", "userName",
                                                                   "password"};

// One entry as UTF-8 text, outside the store: what an export writes and an import reads.
struct PlainEntry {
  std::array<SecureString, kFieldCount> fields;

  SecureString& operator[](Field field) { return fields[static_cast<std::size_t>(field)]; }
  const SecureString& operator[](Field field) const {
    return fields[static_cast<std::size_t>(field)];
  }
};

// The field a document key or column names, or nothing for an unknown name.
std::optional<Field> FieldNamed(std::string_view name);

// A document key or column name fit for a one-line message: quoted, control characters shown as
// '?', long names cut short.
std::string QuotedName(std::string_view name);

}  // namespace corvella::cli
