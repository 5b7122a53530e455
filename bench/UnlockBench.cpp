// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Unlocking a password file of 10,000 entries in the main window: from the click on OK in the
// unlock panel until the list holds every row and has been painted, with the events processed
// as the running program processes them. Prints each time and then "median-ms: VALUE".
//   bench_unlock [--iterations N]

#include <QAbstractItemModel>
#include <QAction>
#include <QCoreApplication>
#include <QListView>
#include <QPushButton>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <vector>

#include "bench/WindowBench.h"
#include "ui/Application.h"
#include "ui/controls/SecretField.h"

namespace {

using namespace corvella;

using bench::kEntries;
using bench::kMasterPassword;

template <typename T>
T* Find(QObject* parent, const char* name) {
  T* child = parent->findChild<T*>(QLatin1String(name));
  if (child == nullptr) std::fprintf(stderr, "bench_unlock: no %s\n", name);
  return child;
}

}  // namespace

int main(int argc, char** argv) {
  const std::optional<int> iterations = bench::CountArgument(argc, argv, "--iterations", 15);
  if (!iterations) return 2;
  const bench::PrivateHome home;
  if (!home.IsReady()) return 1;
  Application application(argc, argv);
  bench::BenchWindow program(home, argv[0]);
  MainWindow& window = program.window;
  const bool& failed = program.failed;
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
  bench::PaintCounter counter;
  list->viewport()->installEventFilter(&counter);

  std::vector<double> times;
  // The first round warms caches and is not counted.
  for (int round = 0; round <= *iterations; ++round) {
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
    if (!program.session.IsLocked() || list->model()->rowCount() != 0) {
      std::fprintf(stderr, "bench_unlock: the lock did not take\n");
      return 1;
    }
  }
  std::sort(times.begin(), times.end());
  std::printf("median-ms: %.2f\n", times[times.size() / 2]);
  return 0;
}
