// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The failures of the store that callers tell apart. Every other failure is a plain Error.

#include "core/Error.h"

namespace corvella {

// A read past the end of the stream: a damaged record.
class StreamReadError : public Error {
 public:
  StreamReadError() : Error("Stream read error") {}
};

// The stream does not begin with the marker: the master password is wrong.
class InvalidPasswordError : public Error {
 public:
  InvalidPasswordError() : Error("Invalid password") {}
};

// A new master password shorter than kMinimumMasterPasswordLength.
class PasswordTooShortError : public Error {
 public:
  PasswordTooShortError()
      : Error(
            "The password you entered is too short. Please enter a password that is at least 6 "
            "characters long") {}
};

}  // namespace corvella
