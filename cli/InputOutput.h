// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "interchange/Import.h"
#include "store/SecureMemory.h"

namespace corvella::cli {

using interchange::kMaxDocumentSize;
// A bound on what is read, so that endless input (/dev/zero, a pipe that never ends) is an error
// rather than a hang or an exhausted memory.
constexpr std::size_t kMaxPasswordLength = std::size_t{64} << 10;

// The whole content of a regular file, or of standard input for "-", at most kMaxDocumentSize
// bytes. Anything else (a FIFO, a device, a folder, more bytes) raises an Error naming the file.
SecureString ReadDocument(const std::string& source);

// Reads one line of the master password from `fd` a byte at a time, so that what follows stays
// unread. The line break is not part of the result. Returns false at the end of input when
// nothing was read; a line longer than kMaxPasswordLength is an Error.
bool ReadLine(int fd, SecureString& line);

// Writes all of `bytes` to `fd`; a failure is an Error naming `what`.
void WriteAll(int fd, std::string_view bytes, const std::string& what);

}  // namespace corvella::cli
