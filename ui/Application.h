// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QApplication>

namespace corvella {

// The application object: the program's name and version, and the font that the windows are
// laid out for.
class Application final : public QApplication {
 public:
  Application(int& argc, char** argv);
};

}  // namespace corvella
