// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Build tool: renders the program icon into the PNG files of the icon theme.
//   corvella_render_png SVG SIDE OUTPUT.png [SIDE OUTPUT.png]...
// renders SVG at SIDE x SIDE pixels into each OUTPUT.png.

#include <QImage>
#include <QPainter>
#include <QString>
#include <QSvgRenderer>
#include <cstdio>

namespace {

int Fail(const QString& message) {
  std::fprintf(stderr, "corvella_render_png: %s\n", qPrintable(message));
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4 || argc % 2 != 0) {
    std::fprintf(stderr, "usage: corvella_render_png SVG SIDE OUTPUT.png [SIDE OUTPUT.png]...\n");
    return 2;
  }
  const QString svg = QString::fromLocal8Bit(argv[1]);
  QSvgRenderer renderer(svg);
  if (!renderer.isValid()) return Fail("cannot read " + svg);
  for (int i = 2; i < argc; i += 2) {
    bool isNumber = false;
    const int side = QString::fromLocal8Bit(argv[i]).toInt(&isNumber);
    if (!isNumber || side <= 0 || side > 1024) {
      return Fail(QStringLiteral("bad size '%1'").arg(QString::fromLocal8Bit(argv[i])));
    }
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter);
    painter.end();
    const QString output = QString::fromLocal8Bit(argv[i + 1]);
    if (!image.save(output, "PNG")) return Fail("cannot write " + output);
  }
  return 0;
}
