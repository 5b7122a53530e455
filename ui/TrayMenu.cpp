// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/TrayMenu.h"

#include <QAction>
#include <QMenu>

#include "ui/Text.h"

namespace corvella {
namespace {

// In average character widths.
constexpr int kMaxItemTextWidth = 48;

bool IsFreeKey(QChar key, const QString& takenKeys) {
  return QLatin1String(kAccessKeys).contains(key) && !takenKeys.contains(key);
}

}  // namespace

QString MenuCaption(const QString& text, QString& takenKeys) {
  QString caption;
  caption.reserve(text.size() + text.count(u'&') + 1);
  bool marked = false;
  for (const QChar c : text) {
    if (!marked) {
      const QChar key = c.toUpper();
      if (IsFreeKey(key, takenKeys)) {
        caption += u'&';
        takenKeys += key;
        marked = true;
      }
    }
    if (c == u'&') {
      caption += u"&&";
    } else if (c == u'\t') {
      // A tab would start the shortcut column.
      caption += u' ';
    } else {
      caption += c;
    }
  }
  return caption;
}

void RebuildTrayMenu(QMenu& menu, const std::vector<EntryPtr>& entries,
                     const std::function<void(const EntryPtr&)>& onEntry,
                     const std::function<void()>& onExit) {
  // This runs while the menu opens; an item of the previous opening may still be handling its
  // click further up the stack, so the old items are freed later, not here.
  for (QAction* action : menu.actions()) {
    menu.removeAction(action);
    if (action->parent() == &menu) action->deleteLater();
  }

  QString takenKeys;
  bool hasItems = false;
  const QFontMetrics metrics = menu.fontMetrics();
  const int maxTextWidth = kMaxItemTextWidth * metrics.averageCharWidth();
  for (const EntryPtr& entry : entries) {
    if (entry == nullptr) continue;
    // A long name is cut in the middle so that the menu stays narrow.
    const QString name =
        metrics.elidedText(FromBytes(entry->SiteName()), Qt::ElideMiddle, maxTextWidth);
    QAction* item = menu.addAction(MenuCaption(name, takenKeys));
    QObject::connect(item, &QAction::triggered, item, [onEntry, entry] {
      if (onEntry) onEntry(entry);
    });
    hasItems = true;
  }
  // Site names never make separators: this is the menu's only one.
  QAction* separator = menu.addSeparator();
  separator->setVisible(hasItems);
  QAction* exit = menu.addAction(MenuCaption(QObject::tr("Exit"), takenKeys));
  QObject::connect(exit, &QAction::triggered, exit, [onExit] {
    if (onExit) onExit();
  });
}

}  // namespace corvella
