// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string_view>
#include <vector>

#include "PlainEntry.h"
#include "store/SecureMemory.h"

namespace corvella::interchange {

// Writes the document of AppendJson one entry at a time: Begin, Add for each entry, then End, each
// appending to `out`, which the caller may empty in between.
class JsonWriter {
 public:
  void Begin(SecureString& out) const;
  void Add(const PlainEntry& entry, SecureString& out);
  void End(SecureString& out) const;

 private:
  bool anyEntry_ = false;
};

// Appends the entries as a JSON array of objects with the keys of kFieldNames, in that order. The
// texts must be UTF-8; control characters are escaped.
void AppendJson(const std::vector<PlainEntry>& entries, SecureString& out);

// Reads a UTF-8 JSON document (RFC 8259): Corvella's, an array of objects whose members are texts
// under the keys of kFieldNames (a missing key leaves the field empty), or Bitwarden's unencrypted
// export, an object whose "items" of type 1 are logins (the others are counted, not read).
// Anything else raises an Error naming line and column; the message never quotes a value. Each
// login goes to `visit` as soon as it is read; returns how many items were not logins.
std::size_t ParseJson(std::string_view document, const LoginVisitor& visit);

}  // namespace corvella::interchange
