// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// What the benchmarks of the main window share: a private home holding the 10,000-entry vault,
// the window over its session with every message box taken as a failure, and a paint counter.

#include <stdlib.h>

#include <QEvent>
#include <QObject>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>

#include "bench/TenThousandEntries.h"
#include "platform/Autostart.h"
#include "platform/Settings.h"
#include "store/PasswordStore.h"
#include "ui/MainWindow.h"
#include "ui/MessageDialog.h"
#include "ui/VaultSession.h"

namespace corvella::bench {

// The count given as `flag N`, `fallback` without arguments; nothing, after a usage line on
// standard error, for any other arguments.
inline std::optional<int> CountArgument(int argc, char** argv, const char* flag, int fallback) {
  int count = fallback;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], flag) == 0 && i + 1 < argc) {
      count = std::max(1, std::stoi(argv[++i]));
    } else {
      std::fprintf(stderr, "usage: %s [%s N]\n", argv[0], flag);
      return std::nullopt;
    }
  }
  return count;
}

// A temporary home with its data, config and runtime folders, named by the XDG variables, and the
// 10,000-entry vault in place; removed again at the end.
class PrivateHome {
 public:
  PrivateHome() {
    char pattern[] = "/tmp/corvella-bench-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
      std::perror("mkdtemp");
      return;
    }
    path_ = pattern;
    for (const char* folder : {"data", "config", "runtime"}) {
      std::filesystem::create_directory(path_ / folder);
    }
    std::filesystem::permissions(path_ / "runtime", std::filesystem::perms::owner_all);
    setenv("HOME", path_.c_str(), 1);
    setenv("XDG_DATA_HOME", (path_ / "data").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (path_ / "config").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (path_ / "runtime").c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    std::filesystem::create_directory(path_ / "data" / "Corvella");
    PasswordStore store;
    store.SetMasterPassword(kMasterPassword);
    AddTenThousandEntries(store);
    store.SavePasswordsTo(GetPasswordFileName());
  }
  ~PrivateHome() {
    if (!path_.empty()) std::filesystem::remove_all(path_);
  }
  PrivateHome(const PrivateHome&) = delete;
  PrivateHome& operator=(const PrivateHome&) = delete;

  bool IsReady() const { return !path_.empty(); }
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// The main window over its session in `home`, shown and activated; any message box sets
// `failed` and is answered instead of waiting for a click.
struct BenchWindow {
  BenchWindow(const PrivateHome& home, const char* program)
      : responder([this](MessageKind, const QString& text, MessageButtons) {
          std::fprintf(stderr, "message: %s\n", qPrintable(text));
          failed = true;
          return MessageAnswer::Ok;
        }),
        settings((home.Path() / "config" / "Corvella" / "Corvella.conf").string()),
        autostart((home.Path() / "config").string(), program),
        session(settings),
        window(session, settings, autostart) {
    window.show();
    window.OnFirstActivation();
  }

  bool failed = false;
  MessageDialogResponder responder;
  platform::Settings settings;
  platform::Autostart autostart;
  VaultSession session;
  MainWindow window;
};

// Counts the paint events of a widget.
class PaintCounter final : public QObject {
 public:
  int paints = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
};

}  // namespace corvella::bench
