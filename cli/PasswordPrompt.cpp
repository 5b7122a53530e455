// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "PasswordPrompt.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>

#include "InputOutput.h"
#include "core/Error.h"

namespace corvella::cli {
namespace {

constexpr std::array<int, 4> kEndingSignals = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// What the signal handler needs to give the terminal back.
int terminalFd = -1;
termios savedMode{};

extern "C" void RestoreTerminalAndEnd(int signal) {
  ::tcsetattr(terminalFd, TCSAFLUSH, &savedMode);
  [[maybe_unused]] const ssize_t ignored = ::write(STDERR_FILENO, "\n", 1);
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

// Echo is off for the lifetime of this object.
class EchoOff {
 public:
  explicit EchoOff(int fd) {
    if (::tcgetattr(fd, &savedMode) != 0) {
      throw Error(std::string("Cannot use the terminal. ") + std::strerror(errno));
    }
    terminalFd = fd;
    struct sigaction action {};
    action.sa_handler = RestoreTerminalAndEnd;
    sigemptyset(&action.sa_mask);
    for (std::size_t i = 0; i < kEndingSignals.size(); ++i) {
      ::sigaction(kEndingSignals[i], &action, &previous_[i]);
    }
    termios quiet = savedMode;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOE | ECHOK | ECHONL);
    quiet.c_lflag |= ICANON;
    if (::tcsetattr(fd, TCSAFLUSH, &quiet) != 0) {
      const int error = errno;
      RestoreHandlers();
      throw Error(std::string("Cannot use the terminal. ") + std::strerror(error));
    }
  }
  ~EchoOff() {
    ::tcsetattr(terminalFd, TCSAFLUSH, &savedMode);
    RestoreHandlers();
  }
  EchoOff(const EchoOff&) = delete;
  EchoOff& operator=(const EchoOff&) = delete;

 private:
  void RestoreHandlers() {
    for (std::size_t i = 0; i < kEndingSignals.size(); ++i) {
      ::sigaction(kEndingSignals[i], &previous_[i], nullptr);
    }
  }

  std::array<struct sigaction, kEndingSignals.size()> previous_{};
};

class TerminalFile {
 public:
  TerminalFile() : fd_(::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC)) {
    if (fd_ < 0) {
      throw Error("There is no terminal to ask for the master password; use --password-stdin");
    }
  }
  ~TerminalFile() { ::close(fd_); }
  TerminalFile(const TerminalFile&) = delete;
  TerminalFile& operator=(const TerminalFile&) = delete;

  int Fd() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

SecureString AskPassword(std::string_view prompt) {
  TerminalFile terminal;
  SecureString password;
  password.reserve(256);
  bool answered = false;
  {
    EchoOff echoOff(terminal.Fd());
    WriteAll(STDERR_FILENO, prompt, "standard error");
    answered = ReadLine(terminal.Fd(), password);
  }
  // The line break typed at the end was not echoed.
  WriteAll(STDERR_FILENO, "\n", "standard error");
  if (!answered) throw Error("No master password entered");
  return password;
}

SecureString ReadPasswordFromStdin() {
  SecureString password;
  password.reserve(256);
  if (!ReadLine(STDIN_FILENO, password)) {
    throw Error("No master password on standard input");
  }
  if (!password.empty() && password.back() == '\r') password.pop_back();
  return password;
}

}  // namespace corvella::cli
