// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Searching 10,000 entries in the main window: from one character typed into the search field
// until the list shows the rows that match and has been painted, with the events processed as
// the running program processes them. Each round types "site12" and erases it again key by key,
// so that narrowing and widening are both measured. Prints each round and then
// "median-ms: VALUE", the median over every key.
//   bench_filter [--rounds N]

#include <stdlib.h>

#include <QAbstractItemModel>
#include <QCoreApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QScopeGuard>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/TenThousandEntries.h"
#include "platform/Autostart.h"
#include "platform/Settings.h"
#include "store/PasswordStore.h"
#include "ui/Application.h"
#include "ui/MainWindow.h"
#include "ui/MessageDialog.h"
#include "ui/VaultSession.h"

namespace {

using namespace corvella;

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

void Press(QWidget* field, Qt::Key key, const QString& text) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
  QCoreApplication::sendEvent(field, &press);
  QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
  QCoreApplication::sendEvent(field, &release);
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = 15;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--rounds") == 0 && i + 1 < argc) {
      rounds = std::max(1, std::stoi(argv[++i]));
    } else {
      std::fprintf(stderr, "usage: bench_filter [--rounds N]\n");
      return 2;
    }
  }

  char pattern[] = "/tmp/corvella-filter-XXXXXX";
  if (mkdtemp(pattern) == nullptr) {
    std::perror("bench_filter: mkdtemp");
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
  {
    PasswordStore store;
    store.SetMasterPassword(bench::kMasterPassword);
    bench::AddTenThousandEntries(store);
    store.SavePasswordsTo(GetPasswordFileName());
  }

  Application application(argc, argv);
  bool failed = false;
  const MessageDialogResponder responder(
      [&failed](MessageKind, const QString& text, MessageButtons) {
        std::fprintf(stderr, "bench_filter: message: %s\n", qPrintable(text));
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
  if (session.Unlock(bench::kMasterPassword) != UnlockResult::Unlocked || failed) {
    std::fprintf(stderr, "bench_filter: the unlock failed\n");
    return 1;
  }
  auto* field = window.findChild<QLineEdit*>(QStringLiteral("searchField"));
  auto* list = window.findChild<QListView*>(QStringLiteral("entryList"));
  if (field == nullptr || list == nullptr) {
    std::fprintf(stderr, "bench_filter: no search field or list\n");
    return 1;
  }
  PaintCounter counter;
  list->viewport()->installEventFilter(&counter);
  QCoreApplication::processEvents();

  const QString typed = QStringLiteral("site12");
  const int keys = 2 * static_cast<int>(typed.size());
  std::vector<double> times;
  // The first round warms caches and is not counted.
  for (int round = 0; round <= rounds; ++round) {
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
