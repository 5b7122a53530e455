// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QIcon>
#include <QPixmap>

namespace corvella {

// The program's images, rendered at build time from the SVG artwork in resources/icons.

// A tool-bar or list image by name (e.g. "lock"): 16 x 16, crisp at 1x and 2x.
QIcon ToolImage(const char* name);

// A side-panel glyph by name (e.g. "passwords-glyph"): 24 x 24 device-independent pixels at the
// application's device pixel ratio. Null when there is no such glyph.
QPixmap PanelGlyph(const char* name);

// The program icon at every rendered size, for the notification area.
QIcon ProgramIcon();

// The program icon at 16 and 32 pixels only: every size of a window icon is sent to the window
// system while the window is first shown.
QIcon WindowIcon();

}  // namespace corvella
