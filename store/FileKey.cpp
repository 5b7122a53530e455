// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "FileKey.h"

#include <utility>

#include "Crypto.h"
#include "SecureMemory.h"
#include "core/Error.h"

namespace corvella {

FileKey FileKey::FromMasterPassword(std::string_view masterPassword) {
  FileKey key;
  key.bytes_ = crypto::Sha256(crypto::AsBytes(masterPassword));
  key.set_ = true;
  return key;
}

FileKey& FileKey::operator=(const FileKey& other) {
  if (this != &other) {
    bytes_ = other.bytes_;
    set_ = other.set_;
  }
  return *this;
}

FileKey::FileKey(FileKey&& other) noexcept : bytes_(other.bytes_), set_(other.set_) {
  other.Wipe();
}

FileKey& FileKey::operator=(FileKey&& other) noexcept {
  if (this != &other) {
    bytes_ = other.bytes_;
    set_ = other.set_;
    other.Wipe();
  }
  return *this;
}

FileKey::~FileKey() { Wipe(); }

const FileKey::Bytes& FileKey::Value() const {
  CORVELLA_ASSERT(set_);
  return bytes_;
}

void FileKey::Wipe() {
  Cleanse(bytes_.data(), bytes_.size());
  set_ = false;
}

bool FileKey::operator==(const FileKey& other) const {
  return set_ == other.set_ && bytes_ == other.bytes_;
}

}  // namespace corvella
