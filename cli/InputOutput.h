#pragma once

#include <string>
#include <string_view>

#include "store/SecureMemory.h"

namespace corvella::cli {

// The whole content of a file, or of standard input for "-".
SecureString ReadDocument(const std::string& source);

// Reads one line from `fd` a byte at a time, so that what follows stays unread. The line break is
// not part of the result. Returns false at the end of input when nothing was read.
bool ReadLine(int fd, SecureString& line);

// Writes all of `bytes` to `fd`; a failure is an Error naming `what`.
void WriteAll(int fd, std::string_view bytes, const std::string& what);

}  // namespace corvella::cli
