// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>

namespace corvella::platform {

// One program at a time per password file: an flock on "<file>.lock" beside the file that the
// path's links lead to (every save replaces the password file itself, so it cannot carry the
// lock). The kernel drops the lock when its holder ends in any way, so a lock file left by a
// crash never blocks, whatever it holds. The holder removes the file when it lets go.
class VaultLock {
 public:
  enum class Purpose {
    // Makes the folder when missing, and clears what killed saves left there.
    Write,
    // Reads see whole files in any case: where no lock file can be made (a read-only folder),
    // the read goes ahead without the lock.
    Read,
  };

  // Takes the lock of the password file at `vaultPath`, or raises
  // "The password file <vaultPath> is open in another program".
  explicit VaultLock(const std::string& vaultPath, Purpose purpose = Purpose::Write);
  ~VaultLock();
  VaultLock(const VaultLock&) = delete;
  VaultLock& operator=(const VaultLock&) = delete;

  // False only for a read in a folder that can take no lock file.
  bool Held() const { return fd_ >= 0; }
  const std::string& LockPath() const { return lockPath_; }

 private:
  void Release();

  std::string lockPath_;
  int fd_ = -1;
};

}  // namespace corvella::platform
