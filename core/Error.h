// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <stdexcept>
#include <string>

namespace corvella {

// A failure whose message is meant for the user. Every layer reports failures this way; the
// application-wide handler (or the command-line tool) shows the message.
class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A check that correct use never fails.
[[noreturn]] void AssertionFailure(const char* sourceFile, int line);

}  // namespace corvella

#define CORVELLA_ASSERT(condition) \
  ((condition) ? static_cast<void>(0) : ::corvella::AssertionFailure(__FILE__, __LINE__))
