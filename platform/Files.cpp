// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Files.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>  // renameat2
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <utility>

#include "core/Error.h"

namespace corvella::platform {
namespace {

// As the kernel's own limit on a chain of links.
constexpr int kMaxLinks = 40;
// Names of temporary files: ".<name>." + kSuffixLength random characters + ".tmp".
constexpr std::size_t kSuffixLength = 6;
constexpr std::string_view kSuffixCharacters =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr std::string_view kTemporaryEnd = ".tmp";
// A clash of random names is rare; this many in a row means something else is wrong.
constexpr int kMaxNameAttempts = 100;

std::string BaseNameOf(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

std::string RandomSuffix() {
  unsigned char bytes[kSuffixLength];
  std::size_t got = 0;
  while (got < sizeof bytes) {
    const ssize_t count = ::getrandom(bytes + got, sizeof bytes - got, 0);
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) throw Error(std::string("Cannot draw random bytes. ") + std::strerror(errno));
    got += static_cast<std::size_t>(count);
  }
  std::string suffix;
  for (const unsigned char byte : bytes) {
    suffix += kSuffixCharacters[byte % kSuffixCharacters.size()];
  }
  return suffix;
}

// True when `name` is the name of a temporary file of a save to a file named `fileName`.
bool IsTemporaryNameOf(std::string_view name, std::string_view fileName) {
  const std::size_t length = 1 + fileName.size() + 1 + kSuffixLength + kTemporaryEnd.size();
  if (name.size() != length || name[0] != '.' || name.substr(1, fileName.size()) != fileName ||
      name[1 + fileName.size()] != '.' || !name.ends_with(kTemporaryEnd)) {
    return false;
  }
  const std::string_view suffix = name.substr(2 + fileName.size(), kSuffixLength);
  return std::all_of(suffix.begin(), suffix.end(),
                     [](char c) { return kSuffixCharacters.find(c) != std::string_view::npos; });
}

bool IsDirectory(const std::string& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

void SyncDirectory(const std::string& directory) {
  const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) ThrowFileError("Cannot open folder", directory, errno);
  const int result = ::fsync(fd);
  const int error = errno;
  ::close(fd);
  if (result != 0) ThrowFileError("Cannot write file", directory, error);
}

FileIdentity IdentityFrom(const struct stat& status) {
  return {
      static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino),
      static_cast<std::uint64_t>(status.st_size),
      static_cast<std::int64_t>(status.st_mtim.tv_sec) * 1'000'000'000 + status.st_mtim.tv_nsec};
}

// A fresh name beside `path` for a file of this writer's own: ".<name>.XXXXXX.tmp".
std::string TemporaryNameFor(const std::string& path) {
  return DirectoryOf(path) + "/." + BaseNameOf(path) + '.' + RandomSuffix() +
         std::string(kTemporaryEnd);
}

// Gives the file at `path` the name `otherPath` too: a second name under a fresh temporary name,
// renamed over `otherPath`. False when no link can be made (the error is in errno).
bool LinkOver(const std::string& path, const std::string& otherPath) {
  for (int attempt = 1;; ++attempt) {
    // Named as a temporary file of `path`, so that the holder of its lock clears a leftover.
    const std::string linkPath = TemporaryNameFor(DirectoryOf(otherPath) + '/' + BaseNameOf(path));
    if (::link(path.c_str(), linkPath.c_str()) != 0) {
      if (errno == EEXIST && attempt < kMaxNameAttempts) continue;
      return false;
    }
    // Renaming a name over another name of the same file does nothing, and would leave the
    // temporary name behind.
    struct stat linked {
    }, there{};
    const bool same = ::stat(linkPath.c_str(), &linked) == 0 &&
                      ::stat(otherPath.c_str(), &there) == 0 && linked.st_dev == there.st_dev &&
                      linked.st_ino == there.st_ino;
    if (same || ::rename(linkPath.c_str(), otherPath.c_str()) != 0) {
      const int error = errno;
      ::unlink(linkPath.c_str());
      if (!same) ThrowFileError("Cannot replace file", otherPath, error);
    }
    return true;
  }
}

}  // namespace

bool FileExists(const std::string& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0 && !S_ISDIR(status.st_mode);
}

void CreateDirectories(const std::string& path) {
  if (path.empty() || IsDirectory(path)) return;
  // Each folder from the top down, so that the first one that cannot be made is the one named.
  std::size_t end = 0;
  while (end < path.size()) {
    end = std::min(path.find('/', end + 1), path.size());
    const std::string folder = path.substr(0, end);
    if (folder == "/" || folder.ends_with('/')) continue;
    if (::mkdir(folder.c_str(), 0700) == 0) continue;
    const int error = errno;
    if (error != EEXIST) ThrowFileError("Cannot create folder", folder, error);
    if (!IsDirectory(folder)) ThrowFileError("Cannot create folder", folder, ENOTDIR);
  }
}

std::string DirectoryOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string ResolveLinks(const std::string& path) {
  std::string current = path;
  for (int links = 0;; ++links) {
    struct stat status {};
    // Whatever keeps the file from being found here, the step that uses it reports.
    if (::lstat(current.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) return current;
    if (links == kMaxLinks) ThrowFileError("Cannot open file", path, ELOOP);
    std::string target(static_cast<std::size_t>(std::max<off_t>(status.st_size, 0)) + 1, '\0');
    while (true) {
      const ssize_t length = ::readlink(current.c_str(), target.data(), target.size());
      if (length < 0) ThrowFileError("Cannot open file", current, errno);
      if (static_cast<std::size_t>(length) < target.size()) {
        target.resize(static_cast<std::size_t>(length));
        break;
      }
      target.resize(target.size() * 2);  // the link changed meanwhile
    }
    if (target.empty()) ThrowFileError("Cannot open file", current, ENOENT);
    current = target.front() == '/' ? target : DirectoryOf(current) + '/' + target;
  }
}

void RemoveLeftoverTemporaries(const std::string& path) {
  const std::string directory = DirectoryOf(path);
  const std::string fileName = BaseNameOf(path);
  const std::unique_ptr<DIR, int (*)(DIR*)> folder(::opendir(directory.c_str()), &::closedir);
  if (!folder) ThrowFileError("Cannot open folder", directory, errno);
  const uid_t user = ::geteuid();
  while (true) {
    errno = 0;
    const dirent* item = ::readdir(folder.get());
    if (item == nullptr) {
      if (errno != 0) ThrowFileError("Cannot open folder", directory, errno);
      return;
    }
    if (!IsTemporaryNameOf(item->d_name, fileName)) continue;
    // Another user's file (in a shared folder such as /tmp) is not ours to remove.
    struct stat status {};
    if (::fstatat(::dirfd(folder.get()), item->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISREG(status.st_mode) || status.st_uid != user) {
      continue;
    }
    if (::unlinkat(::dirfd(folder.get()), item->d_name, 0) != 0 && errno != ENOENT) {
      ThrowFileError("Cannot remove file", directory + '/' + item->d_name, errno);
    }
  }
}

std::optional<FileIdentity> IdentityOf(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return std::nullopt;
  return IdentityFrom(status);
}

bool KeepCopy(const std::string& path, const std::string& copyPath) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) {
    if (errno == ENOENT) return false;
    ThrowFileError("Cannot open file", path, errno);
  }
  // A second name costs nothing, but shares the mode: only a private file is linked.
  if (S_ISREG(status.st_mode) && (status.st_mode & 07777) == 0600 && status.st_uid == ::geteuid()) {
    if (LinkOver(path, copyPath)) return true;
    if (errno == ENOENT) ThrowFileError("Cannot open file", path, errno);
    // Written out below.
  }
  InputFile source(path);
  AtomicFileWriter copy(copyPath);
  for (std::uint64_t left = source.Size(); left > 0;) {
    const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(left, kMaxWriteSize));
    source.ReadInto(copy.Next(count));
    left -= count;
  }
  copy.Commit();
  return true;
}

bool KeepUnderName(const std::string& path, const std::string& otherPath) {
  if (LinkOver(path, otherPath)) {
    SyncDirectory(DirectoryOf(otherPath));
    return true;
  }
  if (errno == ENOENT) return false;
  if (::rename(path.c_str(), otherPath.c_str()) != 0) {
    if (errno == ENOENT) return false;
    ThrowFileError("Cannot replace file", otherPath, errno);
  }
  SyncDirectory(DirectoryOf(otherPath));
  return true;
}

bool RemoveFile(const std::string& path) {
  if (::unlink(path.c_str()) == 0) {
    SyncDirectory(DirectoryOf(path));
    return true;
  }
  if (errno == ENOENT) return false;
  ThrowFileError("Cannot remove file", path, errno);
}

void ThrowFileError(const char* what, const std::string& path, int error) {
  throw Error(std::string(what) + " \"" + path + "\". " + std::strerror(error));
}

namespace {

// What a file that is not a regular file is, for a message.
std::string KindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  if (S_ISSOCK(mode)) return "a socket";
  return "a special file";
}

}  // namespace

InputFile::InputFile(const std::string& path) : path_(path) {
  // Non-blocking, so that a FIFO planted under the name cannot hold the open; the check below
  // then refuses it.
  fd_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd_ < 0) ThrowFileError("Cannot open file", path, errno);
  struct stat status {};
  if (::fstat(fd_, &status) != 0) {
    const int error = errno;
    ::close(fd_);
    ThrowFileError("Cannot open file", path, error);
  }
  if (!S_ISREG(status.st_mode)) {
    ::close(fd_);
    throw Error("Cannot open file \"" + path + "\". It is " + KindOf(status.st_mode) +
                ", not a regular file");
  }
  size_ = static_cast<std::uint64_t>(status.st_size);
  identity_ = IdentityFrom(status);
}

InputFile::~InputFile() { ::close(fd_); }

void InputFile::ReadInto(std::span<unsigned char> destination) {
  std::size_t done = 0;
  while (done < destination.size()) {
    const ssize_t got = ::read(fd_, destination.data() + done, destination.size() - done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) ThrowFileError("Cannot read file", path_, errno);
    if (got == 0) ThrowFileError("Cannot read file", path_, EIO);
    done += static_cast<std::size_t>(got);
  }
}

AtomicFileWriter::AtomicFileWriter(const std::string& path) : path_(path) {
  // A name of its own for every writer, made anew: a concurrent writer's file is never touched,
  // and a link planted at a name can neither redirect the write nor widen its permissions.
  for (int attempt = 1; fd_ < 0; ++attempt) {
    temporaryPath_ = TemporaryNameFor(path);
    fd_ = ::open(temporaryPath_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd_ < 0 && (errno != EEXIST || attempt == kMaxNameAttempts)) {
      ThrowFileError("Cannot write file", path_, errno);
    }
  }
}

AtomicFileWriter::~AtomicFileWriter() {
  if (fd_ >= 0) ::close(fd_);
  Discard();
}

void AtomicFileWriter::Discard() {
  if (std::exchange(temporaryExists_, false)) ::unlink(temporaryPath_.c_str());
}

std::span<unsigned char> AtomicFileWriter::Next(std::size_t count) {
  CORVELLA_ASSERT(count <= buffer_.size());
  WritePending();
  pending_ = count;
  return std::span(buffer_).first(count);
}

void AtomicFileWriter::Write(std::string_view bytes) {
  while (!bytes.empty()) {
    const std::size_t count = std::min(bytes.size(), kMaxWriteSize);
    std::memcpy(Next(count).data(), bytes.data(), count);
    bytes.remove_prefix(count);
  }
}

void AtomicFileWriter::WritePending() {
  const auto bytes = std::span(buffer_).first(pending_);
  pending_ = 0;
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t put = ::write(fd_, bytes.data() + done, bytes.size() - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) ThrowFileError("Cannot write file", path_, put < 0 ? errno : EIO);
    done += static_cast<std::size_t>(put);
  }
}

void AtomicFileWriter::Complete() {
  if (fd_ < 0) return;
  WritePending();
  struct stat status {};
  if (::fsync(fd_) != 0 || ::fstat(fd_, &status) != 0) {
    ThrowFileError("Cannot write file", path_, errno);
  }
  identity_ = IdentityFrom(status);
  if (::close(std::exchange(fd_, -1)) != 0) {
    const int error = errno;
    Discard();
    ThrowFileError("Cannot write file", path_, error);
  }
}

void AtomicFileWriter::Commit() {
  Complete();
  CORVELLA_ASSERT(temporaryExists_);
  if (::rename(temporaryPath_.c_str(), path_.c_str()) != 0) {
    const int error = errno;
    Discard();
    ThrowFileError("Cannot replace file", path_, error);
  }
  temporaryExists_ = false;
  SyncDirectory(DirectoryOf(path_));
}

void AtomicFileWriter::CommitNew() {
  Complete();
  CORVELLA_ASSERT(temporaryExists_);
  int error = 0;
  if (::renameat2(AT_FDCWD, temporaryPath_.c_str(), AT_FDCWD, path_.c_str(), RENAME_NOREPLACE) !=
      0) {
    error = errno;
    // A file system without that kind of rename: a hard link refuses an existing name as well.
    if (error == EINVAL || error == ENOSYS) {
      error = ::link(temporaryPath_.c_str(), path_.c_str()) == 0 ? 0 : errno;
    }
    // After a link the temporary name is a second name of the new file; a leftover one is
    // harmless, and the next holder of the file's lock removes it.
    Discard();
  }
  temporaryExists_ = false;
  if (error != 0) ThrowFileError("Cannot create file", path_, error);
  SyncDirectory(DirectoryOf(path_));
}

}  // namespace corvella::platform
