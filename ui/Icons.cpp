// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/Icons.h"

#include <QGuiApplication>
#include <QImage>
#include <QSize>
#include <cstring>
#include <initializer_list>

#include "ui/IconImages.h"

namespace corvella {
namespace {

// The rendering of `name` at side x side pixels shown at the given device pixel ratio; null
// when there is none.
QPixmap Rendering(const char* name, int side, qreal devicePixelRatio = 1) {
  for (const IconImage& image : IconImages()) {
    if (image.side != side || std::strcmp(image.name, name) != 0) continue;
    // The image only borrows the compiled-in pixels; the pixmap gets its own copy.
    QPixmap pixmap = QPixmap::fromImage(QImage(reinterpret_cast<const uchar*>(image.pixels), side,
                                               side, QImage::Format_ARGB32_Premultiplied));
    pixmap.setDevicePixelRatio(devicePixelRatio);
    return pixmap;
  }
  return {};
}

// `name` drawn at side x side device-independent pixels, crisp at 1x and 2x.
QIcon FixedSizeIcon(const char* name, int side) {
  QIcon icon;
  for (const int scale : {1, 2}) {
    const QPixmap pixmap = Rendering(name, side * scale, scale);
    if (!pixmap.isNull()) icon.addPixmap(pixmap);
  }
  return icon;
}

QIcon ProgramIconAt(std::initializer_list<int> sides) {
  QIcon icon;
  for (const int side : sides) icon.addPixmap(Rendering("corvella", side));
  return icon;
}

}  // namespace

QIcon ToolImage(const char* name) { return FixedSizeIcon(name, 16); }

QPixmap PanelGlyph(const char* name) {
  return FixedSizeIcon(name, 24).pixmap(QSize(24, 24), qApp->devicePixelRatio());
}

QIcon ProgramIcon() { return ProgramIconAt({16, 24, 32, 48, 64}); }

QIcon WindowIcon() { return ProgramIconAt({16, 32}); }

}  // namespace corvella
