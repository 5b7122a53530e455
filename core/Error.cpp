// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Error.h"

#include <filesystem>

namespace corvella {

void AssertionFailure(const char* sourceFile, int line) {
  const std::string unit = std::filesystem::path(sourceFile).stem().string();
  throw Error("Assertion failure (" + unit + ", line " + std::to_string(line) + ")");
}

}  // namespace corvella
