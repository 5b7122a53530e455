// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace corvella {

constexpr std::size_t kFileKeySize = 32;

// The key of the password file: SHA-256 of the master password's bytes. Saving and loading need
// nothing more, so the master password itself is kept no longer than it takes to derive this.
// The bytes are wiped when the key is wiped, replaced, moved from or destroyed.
class FileKey {
 public:
  using Bytes = std::array<unsigned char, kFileKeySize>;

  // No key.
  FileKey() = default;
  static FileKey FromMasterPassword(std::string_view masterPassword);

  FileKey(const FileKey& other) = default;
  FileKey& operator=(const FileKey& other);
  FileKey(FileKey&& other) noexcept;
  FileKey& operator=(FileKey&& other) noexcept;
  ~FileKey();

  bool IsSet() const { return set_; }
  // Only for a key that is set.
  const Bytes& Value() const;
  void Wipe();

  bool operator==(const FileKey& other) const;

 private:
  Bytes bytes_{};
  bool set_ = false;
};

}  // namespace corvella
