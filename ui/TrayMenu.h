// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <functional>
#include <vector>

#include "store/Entry.h"

class QMenu;

namespace corvella {

// The characters that can be access keys, in capitals.
inline constexpr char kAccessKeys[] = "1234567890ABCDEFGHIJKLMNOPQRSTUVWXYZ";

// The caption of a menu item that shows `text` literally: every "&" is doubled and a tab becomes
// a space. The first character whose capital is an access key not yet in `takenKeys` is marked
// with "&" and its capital appended to `takenKeys`; without such a character the item has no key.
QString MenuCaption(const QString& text, QString& takenKeys);

// Refills the notification-area menu: one item per entry in list order, captioned with the site
// name (a long one cut in the middle), then a separator (hidden while there are no entries) and
// "Exit". The old items are removed and freed once control returns to the event loop. Each item
// keeps its own reference to its entry, so an entry wiped by a lock while the menu is open is still
// handed to onEntry.
void RebuildTrayMenu(QMenu& menu, const std::vector<EntryPtr>& entries,
                     const std::function<void(const EntryPtr&)>& onEntry,
                     const std::function<void()>& onExit);

}  // namespace corvella
