// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The reference for the desktop program's start-up time and memory: a plain Qt Widgets main
// window of the same size with a tool bar, and with --rows N a list of N short rows.
//   bench_bare_window [--rows N]

#include <QAction>
#include <QApplication>
#include <QListWidget>
#include <QMainWindow>
#include <QString>
#include <QToolBar>
#include <cstdio>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  int rows = -1;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--rows") == 0 && i + 1 < argc) {
      rows = std::stoi(argv[++i]);
    } else {
      std::fprintf(stderr, "usage: bench_bare_window [--rows N]\n");
      return 2;
    }
  }

  QMainWindow window;
  window.setWindowTitle(QStringLiteral("Bare Window"));
  auto* toolBar = window.addToolBar(QStringLiteral("Tools"));
  toolBar->setMovable(false);
  for (const char* caption : {"New", "Open", "Edit", "Delete", "Exit"}) {
    toolBar->addAction(QString::fromLatin1(caption));
  }
  if (rows >= 0) {
    auto* list = new QListWidget(&window);
    list->setUniformItemSizes(true);
    for (int i = 0; i < rows; ++i) {
      list->addItem(QStringLiteral("site%1").arg(i, 8, 10, QLatin1Char('0')));
    }
    window.setCentralWidget(list);
  }
  window.setFixedSize(690, 611);
  window.show();
  return application.exec();
}
