// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Application.h"

#include <QFont>

namespace corvella {

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName(QStringLiteral("Corvella"));
  setApplicationVersion(QStringLiteral("1.0"));
  setQuitOnLastWindowClosed(true);
  // The window is laid out in pixels for an 8-point font; keep the desktop's family.
  QFont font = QApplication::font();
  font.setPointSize(8);
  QApplication::setFont(font);
}

}  // namespace corvella
