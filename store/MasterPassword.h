// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "PasswordStore.h"
#include "SecureMemory.h"

namespace corvella {

// The minimum length, in bytes, of a new master password.
constexpr std::size_t kMinimumMasterPasswordLength = 6;

// Makes the typed text (UTF-8) the master password and loads the password file at `path`.
// Files made on Windows are keyed by the Windows-1252 bytes of the same text: when the UTF-8
// bytes fail the marker test and the text has such bytes, they are tried once more, and the store
// keeps the file key of whichever bytes opened the file. Errors of the load propagate.
LoadResult OpenWithTypedPassword(PasswordStore& store, std::string_view typedUtf8,
                                 const std::string& path);

// The password stream of the file at `path`, opened with the typed text (UTF-8) as by
// OpenWithTypedPassword, and read through once as a check; nothing when there is no file. A
// wrong password raises InvalidPasswordError, a damaged stream StreamReadError.
std::optional<SecureBytes> ReadCheckedStream(std::string_view typedUtf8, const std::string& path);

// True when the typed text (UTF-8), or its Windows-1252 bytes, make the store's file key.
bool IsCurrentMasterPassword(const PasswordStore& store, std::string_view typedUtf8);

// Rewrites the password file at `path` under a new master password (UTF-8), after checking the
// current one: a wrong one raises InvalidPasswordError, a new one shorter than
// kMinimumMasterPasswordLength raises PasswordTooShortError, both before anything is written.
// Otherwise as PasswordStore::ChangeFileKey.
void ChangeMasterPassword(PasswordStore& store, std::string_view currentUtf8,
                          std::string_view newUtf8, const std::string& path);

}  // namespace corvella
