// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "VaultLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "Files.h"
#include "core/Error.h"

namespace corvella::platform {
namespace {

// Each round loses only to a holder that removed the file just as we opened it.
constexpr int kMaxAttempts = 100;

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace

VaultLock::VaultLock(const std::string& vaultPath, Purpose purpose) {
  const std::string target = ResolveLinks(vaultPath);
  lockPath_ = target + ".lock";
  if (purpose == Purpose::Write) CreateDirectories(DirectoryOf(target));
  for (int attempt = 1;; ++attempt) {
    const int fd = ::open(lockPath_.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
      const int error = errno;
      if (purpose == Purpose::Read &&
          (error == EROFS || error == EACCES || error == EPERM || error == ENOENT)) {
        return;
      }
      ThrowFileError("Cannot lock file", lockPath_, error);
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const int error = errno;
      ::close(fd);
      if (error == EWOULDBLOCK) {
        throw Error("The password file " + vaultPath + " is open in another program");
      }
      ThrowFileError("Cannot lock file", lockPath_, error);
    }
    // A holder removes the file as it lets go; if it did so after we opened it, the lock we hold
    // is on a file that nobody else finds, and the one at the path is tried instead.
    struct stat locked {};
    struct stat named {};
    if (::fstat(fd, &locked) != 0) {
      const int error = errno;
      ::close(fd);
      ThrowFileError("Cannot lock file", lockPath_, error);
    }
    const bool found = ::lstat(lockPath_.c_str(), &named) == 0;
    const int error = found ? EAGAIN : errno;
    if (found && SameFile(locked, named)) {
      fd_ = fd;
      break;
    }
    ::close(fd);
    if ((error != ENOENT && error != EAGAIN) || attempt == kMaxAttempts) {
      ThrowFileError("Cannot lock file", lockPath_, error);
    }
  }
  if (purpose == Purpose::Write) {
    try {
      RemoveLeftoverTemporaries(target);
    } catch (...) {
      Release();
      throw;
    }
  }
}

VaultLock::~VaultLock() { Release(); }

void VaultLock::Release() {
  if (fd_ < 0) return;
  // Removed while still locked, and only while the path still names our file.
  struct stat locked {};
  struct stat named {};
  if (::fstat(fd_, &locked) == 0 && ::lstat(lockPath_.c_str(), &named) == 0 &&
      SameFile(locked, named)) {
    ::unlink(lockPath_.c_str());
  }
  ::close(fd_);
  fd_ = -1;
}

}  // namespace corvella::platform
