// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Entry.h"
#include "FileKey.h"
#include "PasswordStream.h"
#include "SecureMemory.h"
#include "SessionKey.h"
#include "platform/Files.h"

namespace corvella {

constexpr std::string_view kPasswordFileName = "Passwords.dat";

// Where the password file lives, decided afresh at every call: "Passwords.dat" beside the
// program when such a file exists there, else in the per-user data folder under "Corvella".
std::string GetPasswordFileName();
// The same rule for a given program folder and per-user data folder (both with a trailing '/').
std::string PasswordFileNameIn(const std::string& programDir, const std::string& userDataDir);

bool PasswordFileExists();

// Where the previous version of the password file at `path` is kept: "<path>.bak" beside it.
std::string BackupFileName(const std::string& path);
// Where a damaged password file goes when its backup takes its place: "<path>.damaged".
std::string DamagedFileName(const std::string& path);

enum class LoadResult { Loaded, FileMissing };

// A password file decrypted whole, and which file it was.
struct DecryptedFile {
  SecureBytes stream;
  platform::FileIdentity identity;
};

// Decrypts the password file at `path` under `key` without reading its stream; nothing when there
// is no file. Without a key that is set, an existing file is refused as InvalidPasswordError.
std::optional<DecryptedFile> DecryptPasswordFile(const std::string& path, const FileKey& key);

// The entries of the open password file with the file key derived from its master password, and
// the session key that their passwords are held under.
class PasswordStore {
 public:
  PasswordStore() = default;
  ~PasswordStore();
  PasswordStore(const PasswordStore&) = delete;
  PasswordStore& operator=(const PasswordStore&) = delete;

  const std::vector<EntryPtr>& Entries() const { return *entries_; }
  // The list without a copy of it, for a reader that keeps it between changes (a list on the
  // screen): the store changes a list so kept only in a copy of its own.
  EntryListSnapshot Snapshot() const { return entries_; }
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
  // afterwards or an error was raised and the previous file is untouched. The previous file
  // becomes the backup (BackupFileName) just before it is replaced; when that fails, nothing is
  // replaced. Where the path is a symbolic link, the file it leads to is replaced, the backup is
  // kept beside it and the link kept. Callers that may share the file with another program hold
  // its platform::VaultLock.
  void SavePasswords();
  void SavePasswordsTo(const std::string& path);
  // The same as a new file: it appears at `path` only when complete, and only while nothing
  // else is there, which is never replaced.
  void CreatePasswordFile(const std::string& path);
  // The same for records of plain texts, under `key`, without making entries of them: for a
  // program that only writes them to the file. `addRecords` adds them to the writer it is given,
  // each written as soon as it is added; when it raises an error, no file appears.
  static void CreatePasswordFile(const std::string& path, const FileKey& key,
                                 const std::function<void(PasswordStreamWriter&)>& addRecords);

  // Writes every entry under `newKey` over the file at `path`, which must still be the file last
  // loaded or saved (else an Error says it was replaced and nothing is written). No copy under
  // the previous key stays: the backup is written anew under `newKey` as a file of its own, or
  // goes. On any failure before the new file is in place, the store keeps its key and the file is
  // untouched; once it is, the store holds `newKey`, also when the backup then raises an error.
  void ChangeFileKey(const FileKey& newKey, const std::string& path);
  // Writes every entry over the damaged file at `path`, which stays as DamagedFileName(path);
  // the backup is left as it is.
  void ReplaceDamagedFile(const std::string& path);

  // Appends the entries of the password file. On any error the entries appended so far are
  // wiped and removed again, and the error propagates. Without a file key an existing file is
  // refused as InvalidPasswordError.
  LoadResult LoadPasswords();
  LoadResult LoadPasswordsFrom(const std::string& path);

 private:
  enum class Commit { Replace, ReplaceWithoutBackup, New };
  void Write(const std::string& path, Commit commit, const FileKey& key);
  // Writes the stream that `writeStream` hands on, encrypted under `key`, to `path`; the identity
  // of the file written.
  static platform::FileIdentity WriteFile(
      const std::string& path, Commit commit, const FileKey& key,
      const std::function<void(const StreamParts&)>& writeStream);

  // The list, copied before a change while a snapshot of it is kept.
  std::vector<EntryPtr>& ChangeableEntries();

  std::shared_ptr<std::vector<EntryPtr>> entries_ = std::make_shared<std::vector<EntryPtr>>();
  FileKey fileKey_;
  // The file as last loaded or saved; nothing for none.
  std::optional<platform::FileIdentity> fileIdentity_;
  SessionKey sessionKey_;
};

}  // namespace corvella
