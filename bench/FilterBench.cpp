// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Searching 10,000 entries in the main window: from one character typed into the search field
// until the list shows the rows that match and has been painted, with the events processed as
// the running program processes them. Each round types "site12" and erases it again key by key,
// so that narrowing and widening are both measured. Prints each round and then
// "median-ms: VALUE", the median over every key.
//   bench_filter [--rounds N]

#include <QAbstractItemModel>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <vector>

#include "bench/WindowBench.h"
#include "ui/Application.h"

namespace {

using namespace corvella;

void Press(QWidget* field, Qt::Key key, const QString& text) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
  QCoreApplication::sendEvent(field, &press);
  QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
  QCoreApplication::sendEvent(field, &release);
}

}  // namespace

int main(int argc, char** argv) {
  const std::optional<int> rounds = bench::CountArgument(argc, argv, "--rounds", 15);
  if (!rounds) return 2;
  const bench::PrivateHome home;
  if (!home.IsReady()) return 1;
  Application application(argc, argv);
  bench::BenchWindow program(home, argv[0]);
  MainWindow& window = program.window;
  QCoreApplication::processEvents();
  if (program.session.Unlock(bench::kMasterPassword) != UnlockResult::Unlocked || program.failed) {
    std::fprintf(stderr, "bench_filter: the unlock failed\n");
    return 1;
  }
  auto* field = window.findChild<QLineEdit*>(QStringLiteral("searchField"));
  auto* list = window.findChild<QListView*>(QStringLiteral("entryList"));
  if (field == nullptr || list == nullptr) {
    std::fprintf(stderr, "bench_filter: no search field or list\n");
    return 1;
  }
  bench::PaintCounter counter;
  list->viewport()->installEventFilter(&counter);
  QCoreApplication::processEvents();

  const QString typed = QStringLiteral("site12");
  const int keys = 2 * static_cast<int>(typed.size());
  std::vector<double> times;
  // The first round warms caches and is not counted.
  for (int round = 0; round <= *rounds; ++round) {
    double total = 0;
    for (int key = 0; key < keys; ++key) {
      const bool typing = key < typed.size();
      counter.paints = 0;
      const auto start = std::chrono::steady_clock::now();
      if (typing) {
        Press(field, Qt::Key_unknown, typed.mid(key, 1));
      } else {
        Press(field, Qt::Key_Backspace, {});
      }
      while (counter.paints == 0) QCoreApplication::processEvents();
      const auto stop = std::chrono::steady_clock::now();
      const double ms = std::chrono::duration<double, std::milli>(stop - start).count();
      total += ms;
      if (round > 0) times.push_back(ms);
    }
    if (!field->text().isEmpty() || list->model()->rowCount() != bench::kEntries) {
      std::fprintf(stderr, "bench_filter: the search did not type or erase\n");
      return 1;
    }
    if (round > 0) std::printf("round %d: %.2f ms per key\n", round, total / keys);
  }
  std::sort(times.begin(), times.end());
  std::printf("median-ms: %.2f\n", times[times.size() / 2]);
  return 0;
}
