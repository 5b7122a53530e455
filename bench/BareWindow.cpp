// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The reference for the desktop program's start-up time and memory: a plain Qt Widgets main
// window of the same size with a tool bar, and with --rows N a list widget of N short rows. With
// --rows-on-return N the list is the leanest Qt list, a list view over a string list model, which
// starts empty and gets its N rows when Return is pressed, as the desktop program gets its entries
// on the unlock. Row i is the site name of the benchmarks' entry i: "site<i>" padded with 'x' to
// 12 characters.
//   bench_bare_window [--rows N | --rows-on-return N]

#include <QAction>
#include <QApplication>
#include <QKeySequence>
#include <QListView>
#include <QListWidget>
#include <QMainWindow>
#include <QShortcut>
#include <QString>
#include <QStringList>
#include <QStringListModel>
#include <QToolBar>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

QString Row(int i) {
  return QStringLiteral("site%1").arg(i).leftJustified(12, QLatin1Char('x'), true);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  int rows = -1;
  bool onReturn = false;
  for (int i = 1; i < argc; ++i) {
    const bool later = std::strcmp(argv[i], "--rows-on-return") == 0;
    if ((later || std::strcmp(argv[i], "--rows") == 0) && i + 1 < argc && rows < 0) {
      rows = std::stoi(argv[++i]);
      onReturn = later;
    } else {
      std::fprintf(stderr, "usage: bench_bare_window [--rows N | --rows-on-return N]\n");
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
  if (onReturn) {
    auto* list = new QListView(&window);
    list->setUniformItemSizes(true);
    auto* model = new QStringListModel(list);
    list->setModel(model);
    auto* fill = new QShortcut(QKeySequence(Qt::Key_Return), &window);
    QObject::connect(fill, &QShortcut::activated, list, [model, rows] {
      if (model->rowCount() != 0) return;
      QStringList names;
      names.reserve(rows);
      for (int i = 0; i < rows; ++i) names.append(Row(i));
      model->setStringList(names);
    });
    window.setCentralWidget(list);
  } else if (rows >= 0) {
    auto* list = new QListWidget(&window);
    list->setUniformItemSizes(true);
    for (int i = 0; i < rows; ++i) list->addItem(Row(i));
    window.setCentralWidget(list);
  }
  window.setFixedSize(690, 611);
  window.show();
  return application.exec();
}
