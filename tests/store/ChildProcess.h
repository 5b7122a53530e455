// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Runs a step in a forked child, where it may be limited (file size, user) without touching the
// test process, and brings back its exit code and message.

#include <sys/wait.h>
#include <unistd.h>

#include <string>

namespace corvella::tests {

struct ChildOutcome {
  int exitCode = -1;  // -1: the child could not be run or did not exit
  std::string message;
};

// `body(message)` runs in the child and returns its exit code; what it leaves in `message` comes
// back in the outcome.
template <class Body>
ChildOutcome RunInChild(Body body) {
  int channel[2];
  if (::pipe(channel) != 0) return {};
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(channel[0]);
    std::string message;
    const int code = body(message);
    [[maybe_unused]] const auto put = ::write(channel[1], message.data(), message.size());
    ::_exit(code);
  }
  ::close(channel[1]);
  ChildOutcome outcome;
  char buffer[512];
  for (ssize_t got; (got = ::read(channel[0], buffer, sizeof buffer)) > 0;) {
    outcome.message.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(channel[0]);
  int status = 0;
  if (child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status)) {
    outcome.exitCode = WEXITSTATUS(status);
  }
  return outcome;
}

}  // namespace corvella::tests
