// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

// corvella-cli: the command-line companion of the desktop program.

#include <unistd.h>

#include <exception>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "Commands.h"
#include "InputOutput.h"
#include "core/Error.h"
#include "platform/ProcessProtection.h"

namespace {

constexpr int kFailure = 1;
constexpr int kWrongUse = 2;

// A message as one line on standard error; write errors have nowhere left to go.
void Complain(std::string message) {
  for (char& c : message) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  try {
    corvella::cli::WriteAll(STDERR_FILENO, "corvella-cli: " + message + "\n", "standard error");
  } catch (const corvella::Error&) {
  }
}

}  // namespace

int main(int argc, char** argv) {
  using namespace corvella::cli;
  try {
    corvella::platform::DisableCoreDumps();
    const Options options = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (options.command == CommandKind::Help) {
      WriteAll(STDOUT_FILENO, UsageText(), "standard output");
      return 0;
    }
    BufferedOutput output(STDOUT_FILENO, "standard output");
    RunCommand(options, output);
    output.Flush();
    return 0;
  } catch (const UsageError& error) {
    Complain(error.what());
    try {
      WriteAll(STDERR_FILENO, "\n" + UsageText(), "standard error");
    } catch (const corvella::Error&) {
    }
    return kWrongUse;
  } catch (const std::exception& error) {
    Complain(error.what());
    return kFailure;
  }
}
