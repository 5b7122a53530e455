// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "store/Entry.h"
#include "store/PasswordStream.h"
#include "store/SecureMemory.h"

namespace corvella::interchange {

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

// A stored entry's or record's texts as a document holds them (UTF-8), and a new entry from such
// texts, its password encrypted under `key`.
PlainEntry PlainEntryOf(const RecordView& record);
PlainEntry PlainEntryOf(const Entry& entry, const SessionKey& key);
EntryPtr NewEntry(const PlainEntry& plain, const SessionKey& key);
// The texts of `plain` as the password file holds them; valid while `plain` lives.
RecordView RecordOf(const PlainEntry& plain);

// Receives each login of a document as soon as it is read.
using LoginVisitor = std::function<void(const PlainEntry&)>;

// What a document holds for the vault: its logins, and how many of its items were not logins.
struct ImportedDocument {
  std::vector<PlainEntry> entries;
  std::size_t notLogins = 0;
};

// The entries met so far, to recognise one whose four fields equal those of an earlier one.
class SeenEntries {
 public:
  // False when an equal entry was inserted before.
  bool Insert(const PlainEntry& entry);

 private:
  struct Hash {
    std::size_t operator()(const SecureString& key) const;
  };
  std::unordered_set<SecureString, Hash> keys_;
};

// "N added, M skipped", and on a second line why, when anything was skipped.
std::string ImportReport(std::size_t added, std::size_t duplicates, std::size_t notLogins);

// The field a document key or column names, or nothing for an unknown name.
std::optional<Field> FieldNamed(std::string_view name);

// A document key or column name fit for a one-line message: quoted, control characters shown as
// '?', long names cut short.
std::string QuotedName(std::string_view name);

}  // namespace corvella::interchange
