#include "Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "core/Error.h"

namespace corvella::platform {
namespace {

void SyncDirectory(const std::string& directory) {
  const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) ThrowFileError("Cannot open folder", directory, errno);
  const int result = ::fsync(fd);
  const int error = errno;
  ::close(fd);
  if (result != 0) ThrowFileError("Cannot write file", directory, error);
}

}  // namespace

bool FileExists(const std::string& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0 && !S_ISDIR(status.st_mode);
}

void CreateDirectories(const std::string& path) {
  std::error_code ignored;
  std::filesystem::create_directories(path, ignored);
}

std::string DirectoryOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
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
}

InputFile::~InputFile() {
  ::close(fd_);
  // The buffer may have held a plaintext document.
  ::explicit_bzero(buffer_.data(), buffer_.size());
}

std::span<const unsigned char> InputFile::Read(std::size_t count) {
  CORVELLA_ASSERT(count <= buffer_.size());
  const auto buffer = std::span(buffer_).first(count);
  std::size_t done = 0;
  while (done < buffer.size()) {
    const ssize_t got = ::read(fd_, buffer.data() + done, buffer.size() - done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) ThrowFileError("Cannot read file", path_, errno);
    if (got == 0) ThrowFileError("Cannot read file", path_, EIO);
    done += static_cast<std::size_t>(got);
  }
  return buffer;
}

AtomicFileWriter::AtomicFileWriter(const std::string& path)
    : path_(path), temporaryPath_(path + ".tmp") {
  // A leftover temporary file is removed rather than reused, so that a link planted there can
  // neither redirect the write nor widen its permissions.
  if (::unlink(temporaryPath_.c_str()) != 0 && errno != ENOENT) {
    ThrowFileError("Cannot create file", temporaryPath_, errno);
  }
  fd_ = ::open(temporaryPath_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd_ < 0) ThrowFileError("Cannot create file", temporaryPath_, errno);
}

AtomicFileWriter::~AtomicFileWriter() {
  if (fd_ >= 0) {
    ::close(fd_);
    ::unlink(temporaryPath_.c_str());
  }
}

std::span<unsigned char> AtomicFileWriter::Next(std::size_t count) {
  CORVELLA_ASSERT(count <= buffer_.size());
  WritePending();
  pending_ = count;
  return std::span(buffer_).first(count);
}

void AtomicFileWriter::WritePending() {
  const auto bytes = std::span(buffer_).first(pending_);
  pending_ = 0;
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t put = ::write(fd_, bytes.data() + done, bytes.size() - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) ThrowFileError("Cannot write file", temporaryPath_, put < 0 ? errno : EIO);
    done += static_cast<std::size_t>(put);
  }
}

void AtomicFileWriter::Commit() {
  WritePending();
  if (::fsync(fd_) != 0) ThrowFileError("Cannot write file", temporaryPath_, errno);
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) {
    const int error = errno;
    ::unlink(temporaryPath_.c_str());
    ThrowFileError("Cannot write file", temporaryPath_, error);
  }
  if (::rename(temporaryPath_.c_str(), path_.c_str()) != 0) {
    const int error = errno;
    ::unlink(temporaryPath_.c_str());
    ThrowFileError("Cannot replace file", path_, error);
  }
  SyncDirectory(DirectoryOf(path_));
}

}  // namespace corvella::platform
