// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "MasterPassword.h"

#include "Errors.h"
#include "TextCodec.h"

namespace corvella {

LoadResult OpenWithTypedPassword(PasswordStore& store, std::string_view typedUtf8,
                                 const std::string& path) {
  // Both candidate keys are made at once: the texts they come from are not needed afterwards.
  FileKey legacyKey;
  if (const auto legacy = Utf8ToWindows1252(typedUtf8); legacy && legacy->View() != typedUtf8) {
    legacyKey = FileKey::FromMasterPassword(legacy->View());
  }
  store.SetMasterPassword(typedUtf8);
  const FileKey typedKey = store.CurrentFileKey();
  try {
    return store.LoadPasswordsFrom(path);
  } catch (const InvalidPasswordError&) {
    if (!legacyKey.IsSet()) throw;
    store.SetFileKey(legacyKey);
    try {
      return store.LoadPasswordsFrom(path);
    } catch (const InvalidPasswordError&) {
      store.SetFileKey(typedKey);
      throw;
    }
  }
}

bool IsCurrentMasterPassword(const PasswordStore& store, std::string_view typedUtf8) {
  if (!store.HasFileKey()) return false;
  if (FileKey::FromMasterPassword(typedUtf8) == store.CurrentFileKey()) return true;
  const auto legacy = Utf8ToWindows1252(typedUtf8);
  return legacy && FileKey::FromMasterPassword(legacy->View()) == store.CurrentFileKey();
}

void ChangeMasterPassword(PasswordStore& store, std::string_view currentUtf8,
                          std::string_view newUtf8, const std::string& path) {
  if (!IsCurrentMasterPassword(store, currentUtf8)) throw InvalidPasswordError();
  if (newUtf8.size() < kMinimumMasterPasswordLength) throw PasswordTooShortError();
  store.ChangeFileKey(FileKey::FromMasterPassword(newUtf8), path);
}

}  // namespace corvella
