// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "Entry.h"
#include "FileKey.h"
#include "SecureMemory.h"
#include "SessionKey.h"

namespace corvella {

constexpr std::string_view kPasswordFileName = "Passwords.dat";

// Where the password file lives, decided afresh at every call: "Passwords.dat" beside the
// program when such a file exists there, else in the per-user data folder under "Corvella".
std::string GetPasswordFileName();
// The same rule for a given program folder and per-user data folder (both with a trailing '/').
std::string PasswordFileNameIn(const std::string& programDir, const std::string& userDataDir);

bool PasswordFileExists();

enum class LoadResult { Loaded, FileMissing };

// The entries of the open password file with the file key derived from its master password, and
// the session key that their passwords are held under.
class PasswordStore {
 public:
  PasswordStore() = default;
  ~PasswordStore();
  PasswordStore(const PasswordStore&) = delete;
  PasswordStore& operator=(const PasswordStore&) = delete;

  const std::vector<EntryPtr>& Entries() const { return entries_; }
  const SessionKey& Key() const { return sessionKey_; }
  void AddEntry(EntryPtr entry);
  // Removes this very object (not an equal one); nothing when it is not in the list.
  void RemoveEntry(const Entry* entry);
  // Wipes every entry and empties the list. Others holding an entry keep a valid, empty object.
  void WipeEntries();

  // Keeps the file key of `password`, not the password. An empty master password is none: it
  // leaves the store without a key.
  void SetMasterPassword(std::string_view password);
  void SetFileKey(const FileKey& key);
  const FileKey& CurrentFileKey() const { return fileKey_; }
  bool HasFileKey() const { return fileKey_.IsSet(); }
  void WipeFileKey();

  // Writes every entry, in order, under the file key. Either the whole new file is in place
  // afterwards or an error was raised and the previous file is untouched. Where the path is a
  // symbolic link, the file it leads to is replaced and the link kept. Callers that may share the
  // file with another program hold its platform::VaultLock.
  void SavePasswords() const;
  void SavePasswordsTo(const std::string& path) const;
  // The same as a new file: it appears at `path` only when complete, and only while nothing
  // else is there, which is never replaced.
  void CreatePasswordFile(const std::string& path) const;

  // Appends the entries of the password file. On any error the entries appended so far are
  // wiped and removed again, and the error propagates. Without a file key an existing file is
  // refused as InvalidPasswordError.
  LoadResult LoadPasswords();
  LoadResult LoadPasswordsFrom(const std::string& path);

 private:
  enum class Commit { Replace, New };
  void Write(const std::string& path, Commit commit) const;

  std::vector<EntryPtr> entries_;
  FileKey fileKey_;
  SessionKey sessionKey_;
};

}  // namespace corvella
