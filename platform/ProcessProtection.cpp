// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ProcessProtection.h"

#include <sys/prctl.h>
#include <sys/resource.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "core/Error.h"

namespace corvella::platform {
namespace {

[[noreturn]] void ThrowRefused(const char* call, int error) {
  throw Error(std::string("Cannot switch off core dumps, which could hold passwords (") + call +
              "). " + std::strerror(error));
}

}  // namespace

void DisableCoreDumps() {
  const rlimit none{0, 0};
  if (::setrlimit(RLIMIT_CORE, &none) != 0) ThrowRefused("setrlimit", errno);
  if (::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0) != 0) ThrowRefused("prctl", errno);
}

}  // namespace corvella::platform
