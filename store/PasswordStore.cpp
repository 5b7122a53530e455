// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "PasswordStore.h"

#include <algorithm>

#include "CipherFraming.h"
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

PasswordStore::~PasswordStore() { WipeEntries(); }

void PasswordStore::AddEntry(EntryPtr entry) { entries_.push_back(std::move(entry)); }

void PasswordStore::RemoveEntry(const Entry* entry) {
  const auto found = std::find_if(entries_.begin(), entries_.end(),
                                  [entry](const EntryPtr& e) { return e.get() == entry; });
  if (found != entries_.end()) entries_.erase(found);
}

void PasswordStore::WipeEntries() {
  for (const EntryPtr& entry : entries_) entry->Wipe();
  entries_.clear();
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

void PasswordStore::SavePasswords() const { SavePasswordsTo(GetPasswordFileName()); }

void PasswordStore::SavePasswordsTo(const std::string& path) const {
  Write(platform::ResolveLinks(path), Commit::Replace);
}

void PasswordStore::CreatePasswordFile(const std::string& path) const { Write(path, Commit::New); }

void PasswordStore::Write(const std::string& path, Commit commit) const {
  if (!fileKey_.IsSet()) throw Error("No master password set");
  SecureBytes stream;
  WritePasswordStream(entries_, sessionKey_, stream);
  platform::CreateDirectories(platform::DirectoryOf(path));
  platform::AtomicFileWriter file(path);
  EncryptStreamToFile(stream, file, fileKey_);
  if (commit == Commit::Replace) {
    file.Commit();
  } else {
    file.CommitNew();
  }
}

LoadResult PasswordStore::LoadPasswords() { return LoadPasswordsFrom(GetPasswordFileName()); }

LoadResult PasswordStore::LoadPasswordsFrom(const std::string& path) {
  if (!platform::FileExists(path)) return LoadResult::FileMissing;
  if (!fileKey_.IsSet()) throw InvalidPasswordError();
  platform::InputFile file(path);
  SecureBytes stream;
  DecryptFileToStream(file, stream, fileKey_);
  const std::size_t before = entries_.size();
  try {
    ReadPasswordStream(stream, sessionKey_, [this](EntryPtr entry) { AddEntry(std::move(entry)); });
  } catch (...) {
    for (auto it = entries_.begin() + static_cast<std::ptrdiff_t>(before); it != entries_.end();
         ++it) {
      (*it)->Wipe();
    }
    entries_.resize(before);
    throw;
  }
  return LoadResult::Loaded;
}

}  // namespace corvella
