#include "InputOutput.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "core/Error.h"
#include "platform/Files.h"

namespace corvella::cli {
namespace {

// Appends everything left in `fd`; returns 0 or the errno of a failed read.
int AppendAll(int fd, SecureString& out) {
  constexpr std::size_t kChunk = 65536;
  for (;;) {
    const std::size_t size = out.size();
    if (out.capacity() - size < kChunk) out.reserve(size + std::max(size, kChunk));
    out.resize(size + kChunk);
    const ssize_t got = ::read(fd, out.data() + size, kChunk);
    out.resize(size + static_cast<std::size_t>(got > 0 ? got : 0));
    if (got == 0) return 0;
    if (got < 0 && errno != EINTR) return errno;
  }
}

}  // namespace

SecureString ReadDocument(const std::string& source) {
  SecureString content;
  if (source == "-") {
    if (const int error = AppendAll(STDIN_FILENO, content); error != 0) {
      throw Error(std::string("Cannot read standard input. ") + std::strerror(error));
    }
    return content;
  }
  const int fd = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) platform::ThrowFileError("Cannot open file", source, errno);
  const int error = AppendAll(fd, content);
  ::close(fd);
  if (error != 0) platform::ThrowFileError("Cannot read file", source, error);
  return content;
}

bool ReadLine(int fd, SecureString& line) {
  line.clear();
  bool any = false;
  for (;;) {
    char c = 0;
    const ssize_t got = ::read(fd, &c, 1);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0)
      throw Error(std::string("Cannot read the master password. ") + std::strerror(errno));
    if (got == 0) return any;
    any = true;
    if (c == '\n') return true;
    line += c;
  }
}

void WriteAll(int fd, std::string_view bytes, const std::string& what) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t put = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      throw Error("Cannot write to " + what + ". " + std::strerror(put < 0 ? errno : EIO));
    }
    done += static_cast<std::size_t>(put);
  }
}

}  // namespace corvella::cli
