// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "MasterPassword.h"

#include "Errors.h"
#include "PasswordStream.h"
#include "TextCodec.h"

namespace corvella {

namespace {

// The file keys the typed text may stand for: its UTF-8 bytes', and for text with Windows-1252
// bytes of its own, theirs. Both are made at once: the texts they come from are not needed
// afterwards. An empty text is no key.
struct TypedKeys {
  FileKey typed;
  FileKey legacy;
};

TypedKeys KeysOf(std::string_view typedUtf8) {
  TypedKeys keys;
  if (typedUtf8.empty()) return keys;
  keys.typed = FileKey::FromMasterPassword(typedUtf8);
  if (const auto legacy = Utf8ToWindows1252(typedUtf8); legacy && legacy->View() != typedUtf8) {
    keys.legacy = FileKey::FromMasterPassword(legacy->View());
  }
  return keys;
}

// `open` with the typed key, and once more with the legacy key when the typed one fails the
// marker test.
template <class Open>
auto OpenWithEither(const TypedKeys& keys, Open open) {
  try {
    return open(keys.typed);
  } catch (const InvalidPasswordError&) {
    if (!keys.legacy.IsSet()) throw;
    return open(keys.legacy);
  }
}

}  // namespace

LoadResult OpenWithTypedPassword(PasswordStore& store, std::string_view typedUtf8,
                                 const std::string& path) {
  const TypedKeys keys = KeysOf(typedUtf8);
  try {
    return OpenWithEither(keys, [&](const FileKey& key) {
      store.SetFileKey(key);
      return store.LoadPasswordsFrom(path);
    });
  } catch (const InvalidPasswordError&) {
    store.SetFileKey(keys.typed);
    throw;
  }
}

std::optional<SecureBytes> ReadCheckedStream(std::string_view typedUtf8, const std::string& path) {
  return OpenWithEither(KeysOf(typedUtf8), [&](const FileKey& key) -> std::optional<SecureBytes> {
    std::optional<DecryptedFile> file = DecryptPasswordFile(path, key);
    if (!file) return std::nullopt;
    ReadPasswordRecords(file->stream, [](const RecordView&) {});
    return std::move(file->stream);
  });
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
