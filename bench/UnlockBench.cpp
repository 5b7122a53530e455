// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Unlocking a password file of 10,000 entries in the main window: from the click on OK in the
// unlock panel until the list holds every row and has been painted, with the events processed
// as the running program processes them. Prints each time and then "median-ms: VALUE".
//   bench_unlock [--iterations N]

#include <stdlib.h>

#include <QAbstractItemModel>
#include <QAbstractItemView>
#include <QAction>
#include <QCoreApplication>
#include <QEvent>
#include <QListView>
#include <QPushButton>
#include <QScopeGuard>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "bench/TenThousandEntries.h"
#include "platform/Autostart.h"
#include "platform/Settings.h"
#include "store/Entry.h"
#include "store/PasswordStore.h"
#include "ui/Application.h"
#include "ui/MainWindow.h"
#include "ui/MessageDialog.h"
#include "ui/VaultSession.h"
#include "ui/controls/SecretField.h"

namespace {

using namespace corvella;

using bench::kEntries;
using bench::kMasterPassword;

void WriteVault(const std::string& path) {
  PasswordStore store;
  store.SetMasterPassword(kMasterPassword);
  bench::AddTenThousandEntries(store);
  store.SavePasswordsTo(path);
}

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

template <typename T>
T* Find(QObject* parent, const char* name) {
  T* child = parent->findChild<T*>(QLatin1String(name));
  if (child == nullptr) std::fprintf(stderr, "bench_unlock: no %s\n", name);
  return child;
}

}  // namespace

int main(int argc, char** argv) {
  int iterations = 15;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--iterations") == 0 && i + 1 < argc) {
      iterations = std::max(1, std::stoi(argv[++i]));
    } else {
      std::fprintf(stderr, "usage: bench_unlock [--iterations N]\n");
      return 2;
    }
  }

  char pattern[] = "/tmp/corvella-unlock-XXXXXX";
  if (mkdtemp(pattern) == nullptr) {
    std::perror("bench_unlock: mkdtemp");
    return 1;
  }
  const std::filesystem::path home = pattern;
  const auto cleanup = qScopeGuard([&home] { std::filesystem::remove_all(home); });
  for (const char* folder : {"data", "config", "runtime"}) {
    std::filesystem::create_directory(home / folder);
  }
  std::filesystem::permissions(home / "runtime", std::filesystem::perms::owner_all);
  setenv("HOME", home.c_str(), 1);
  setenv("XDG_DATA_HOME", (home / "data").c_str(), 1);
  setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
  setenv("XDG_RUNTIME_DIR", (home / "runtime").c_str(), 1);
  setenv("QT_QPA_PLATFORM", "offscreen", 0);

  std::filesystem::create_directory(home / "data" / "Corvella");
  WriteVault(GetPasswordFileName());

  Application application(argc, argv);
  // Any message box means the unlock failed; it is answered instead of waiting for a click.
  bool failed = false;
  const MessageDialogResponder responder(
      [&failed](MessageKind, const QString& text, MessageButtons) {
        std::fprintf(stderr, "bench_unlock: message: %s\n", qPrintable(text));
        failed = true;
        return MessageAnswer::Ok;
      });
  platform::Settings settings((home / "config" / "Corvella" / "Corvella.conf").string());
  platform::Autostart autostart((home / "config").string(), argv[0]);
  VaultSession session(settings);
  MainWindow window(session, settings, autostart);
  window.show();
  window.OnFirstActivation();
  QCoreApplication::processEvents();

  QWidget* unlockPanel = Find<QWidget>(&window, "unlockPanel");
  if (unlockPanel == nullptr) return 1;
  auto* passwordEdit = Find<SecretField>(unlockPanel, "passwordEdit");
  auto* okButton = Find<QPushButton>(unlockPanel, "okButton");
  auto* list = Find<QListView>(&window, "entryList");
  auto* lockAction = Find<QAction>(&window, "lockAction");
  if (passwordEdit == nullptr || okButton == nullptr || list == nullptr || lockAction == nullptr) {
    return 1;
  }
  PaintCounter counter;
  list->viewport()->installEventFilter(&counter);

  std::vector<double> times;
  // The first round warms caches and is not counted.
  for (int round = 0; round <= iterations; ++round) {
    passwordEdit->SetSecret(kMasterPassword);
    QCoreApplication::processEvents();
    counter.paints = 0;
    const auto start = std::chrono::steady_clock::now();
    okButton->click();
    while (!failed && (list->model()->rowCount() != kEntries || counter.paints == 0)) {
      QCoreApplication::processEvents();
    }
    const auto stop = std::chrono::steady_clock::now();
    if (failed) return 1;
    if (round > 0) {
      times.push_back(std::chrono::duration<double, std::milli>(stop - start).count());
      std::printf("unlock %d: %.2f ms\n", round, times.back());
    }
    lockAction->trigger();
    QCoreApplication::processEvents();
    if (!session.IsLocked() || list->model()->rowCount() != 0) {
      std::fprintf(stderr, "bench_unlock: the lock did not take\n");
      return 1;
    }
  }
  std::sort(times.begin(), times.end());
  std::printf("median-ms: %.2f\n", times[times.size() / 2]);
  return 0;
}
