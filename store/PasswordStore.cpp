// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "PasswordStore.h"

#include <algorithm>
#include <memory>

#include "CipherFraming.h"
#include "EntryArena.h"
#include "Errors.h"
#include "PasswordStream.h"
#include "core/Error.h"
#include "platform/Files.h"
#include "platform/Paths.h"

namespace corvella {

std::string PasswordFileNameIn(const std::string& programDir, const std::string& userDataDir) {
  if (!programDir.empty()) {
    const std::string besideProgram = programDir + std::string(kPasswordFileName);
    if (platform::FileExists(besideProgram)) return besideProgram;
  }
  return userDataDir + "Corvella/" + std::string(kPasswordFileName);
}

std::string GetPasswordFileName() {
  return PasswordFileNameIn(platform::ProgramDir(), platform::UserDataDir());
}

bool PasswordFileExists() { return platform::FileExists(GetPasswordFileName()); }

std::string BackupFileName(const std::string& path) { return path + ".bak"; }

std::string DamagedFileName(const std::string& path) { return path + ".damaged"; }

PasswordStore::~PasswordStore() { WipeEntries(); }

std::vector<EntryPtr>& PasswordStore::ChangeableEntries() {
  if (entries_.use_count() > 1) entries_ = std::make_shared<std::vector<EntryPtr>>(*entries_);
  return *entries_;
}

void PasswordStore::AddEntry(EntryPtr entry) { ChangeableEntries().push_back(std::move(entry)); }

void PasswordStore::RemoveEntry(const Entry* entry) {
  const auto found = std::find_if(entries_->begin(), entries_->end(),
                                  [entry](const EntryPtr& e) { return e.get() == entry; });
  if (found == entries_->end()) return;
  const auto index = found - entries_->begin();
  auto& entries = ChangeableEntries();
  entries.erase(entries.begin() + index);
}

void PasswordStore::WipeEntries() {
  for (const EntryPtr& entry : *entries_) entry->Wipe();
  if (entries_.use_count() > 1) {
    entries_ = std::make_shared<std::vector<EntryPtr>>();
  } else {
    entries_->clear();
  }
}

void PasswordStore::SetMasterPassword(std::string_view password) {
  if (password.empty()) {
    fileKey_.Wipe();
  } else {
    fileKey_ = FileKey::FromMasterPassword(password);
  }
}

void PasswordStore::SetFileKey(const FileKey& key) { fileKey_ = key; }

void PasswordStore::WipeFileKey() { fileKey_.Wipe(); }

void PasswordStore::SavePasswords() { SavePasswordsTo(GetPasswordFileName()); }

void PasswordStore::SavePasswordsTo(const std::string& path) {
  Write(platform::ResolveLinks(path), Commit::Replace, fileKey_);
}

void PasswordStore::CreatePasswordFile(const std::string& path) {
  Write(path, Commit::New, fileKey_);
}

void PasswordStore::ChangeFileKey(const FileKey& newKey, const std::string& path) {
  const std::string target = platform::ResolveLinks(path);
  if (platform::IdentityOf(target) != fileIdentity_) {
    throw Error("The password file " + target +
                " was replaced by another program since it was opened. Lock the program and "
                "unlock it again to load that file first.");
  }
  Write(target, Commit::ReplaceWithoutBackup, newKey);
  fileKey_ = newKey;
  // The backup is written as a file of its own, not a second name of the new file: damage to
  // one must not reach the other.
  const std::string backup = BackupFileName(target);
  const auto written = fileIdentity_;
  try {
    Write(backup, Commit::ReplaceWithoutBackup, newKey);
    fileIdentity_ = written;
  } catch (const Error& error) {
    try {
      platform::RemoveFile(backup);
      return;
    } catch (const Error&) {
    }
    throw Error("The master password was changed, but the backup " + backup +
                " still opens with the old one and could not be replaced or removed. Remove it "
                "yourself. " +
                error.what());
  }
}

void PasswordStore::ReplaceDamagedFile(const std::string& path) {
  const std::string target = platform::ResolveLinks(path);
  // Not read: a file that cannot be read is kept all the same.
  platform::KeepUnderName(target, DamagedFileName(target));
  Write(target, Commit::ReplaceWithoutBackup, fileKey_);
}

void PasswordStore::CreatePasswordFile(
    const std::string& path, const FileKey& key,
    const std::function<void(PasswordStreamWriter&)>& addRecords) {
  WriteFile(path, Commit::New, key, [&](const StreamParts& emit) {
    PasswordStreamWriter writer(kCipherPieceSize, emit);
    addRecords(writer);
    writer.Finish();
  });
}

void PasswordStore::Write(const std::string& path, Commit commit, const FileKey& key) {
  fileIdentity_ = WriteFile(path, commit, key, [&](const StreamParts& emit) {
    WritePasswordStream(*entries_, sessionKey_, kCipherPieceSize, emit);
  });
}

platform::FileIdentity PasswordStore::WriteFile(
    const std::string& path, Commit commit, const FileKey& key,
    const std::function<void(const StreamParts&)>& writeStream) {
  if (!key.IsSet()) throw Error("No master password set");
  platform::CreateDirectories(platform::DirectoryOf(path));
  platform::AtomicFileWriter file(path);
  // The stream is encrypted as it is written: its plaintext is never in memory whole.
  FileEncryptor encryptor(file, key);
  writeStream([&encryptor](std::span<const unsigned char> part, bool last) {
    encryptor.Encrypt(part, last);
  });
  switch (commit) {
    case Commit::Replace:
      // The previous file is kept only once the new one is complete, and is replaced only
      // once it is kept.
      file.Complete();
      try {
        platform::KeepCopy(path, BackupFileName(path));
      } catch (const Error& error) {
        throw Error("The password file was not replaced: its backup could not be made. " +
                    std::string(error.what()));
      }
      file.Commit();
      break;
    case Commit::ReplaceWithoutBackup:
      file.Commit();
      break;
    case Commit::New:
      file.CommitNew();
      break;
  }
  return file.Identity();
}

namespace {

// The password file at `path`, opened to be read under `key`; none when there is no file.
std::unique_ptr<platform::InputFile> OpenPasswordFile(const std::string& path, const FileKey& key) {
  if (!platform::FileExists(path)) return nullptr;
  if (!key.IsSet()) throw InvalidPasswordError();
  return std::make_unique<platform::InputFile>(path);
}

}  // namespace

std::optional<DecryptedFile> DecryptPasswordFile(const std::string& path, const FileKey& key) {
  const auto file = OpenPasswordFile(path, key);
  if (!file) return std::nullopt;
  DecryptedFile decrypted{{}, file->Identity()};
  DecryptFileToStream(*file, decrypted.stream, key);
  return decrypted;
}

LoadResult PasswordStore::LoadPasswords() { return LoadPasswordsFrom(GetPasswordFileName()); }

LoadResult PasswordStore::LoadPasswordsFrom(const std::string& path) {
  const auto file = OpenPasswordFile(path, fileKey_);
  if (!file) {
    fileIdentity_.reset();
    return LoadResult::FileMissing;
  }
  // Piece by piece: the plaintext is never in memory whole, and its memory is used again.
  FileDecryptor decryptor(*file, fileKey_);
  std::vector<EntryPtr>& entries = ChangeableEntries();
  const std::size_t before = entries.size();
  // Room for as many entries as the file can hold in full records, so that the list is not
  // copied as it grows: the room no entry reaches is never written and costs no memory.
  const std::size_t room = decryptor.Size() / kEmptyRecordSize;
  entries.reserve(before + room);
  EntryArena arena(room);
  try {
    ReadPasswordRecords(
        decryptor.Size(), kCipherPieceSize,
        [&decryptor](SecureBytes& window) { decryptor.AppendNext(window); },
        [&](const RecordView& record) {
          entries.push_back(arena.Make(record.siteName, record.url, record.userName,
                                       record.password, sessionKey_));
        });
  } catch (...) {
    for (auto it = entries.begin() + static_cast<std::ptrdiff_t>(before); it != entries.end();
         ++it) {
      (*it)->Wipe();
    }
    entries.resize(before);
    throw;
  }
  fileIdentity_ = file->Identity();
  return LoadResult::Loaded;
}

}  // namespace corvella
