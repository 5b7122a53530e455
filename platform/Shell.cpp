// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Shell.h"

#include <QDesktopServices>
#include <QUrl>

namespace corvella::platform {

void OpenWebAddress(const QString& address) {
  QDesktopServices::openUrl(QUrl(address, QUrl::TolerantMode));
}

}  // namespace corvella::platform
