// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/controls/SidePanelButton.h"

#include <QEnterEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPoint>
#include <QRect>

namespace corvella {
namespace {

const QColor kFrameGray(153, 153, 153);
const QColor kFrameLightGray(187, 187, 187);
const QColor kFrameBlack(0, 0, 0);
// The focus frame is drawn this far inside the button's edge.
constexpr int kFocusInset = 3;

// One pixel wide, horizontal or vertical, from `from` up to but excluding `to`; the frame is
// drawn as connected lines in this manner, so corners belong to the line that starts there.
void DrawLine(QPainter& painter, QPoint from, QPoint to, const QColor& color) {
  QRect pixels;
  if (from.y() == to.y()) {
    const int length = to.x() - from.x();
    pixels = length >= 0 ? QRect(from.x(), from.y(), length, 1)
                         : QRect(to.x() + 1, from.y(), -length, 1);
  } else {
    Q_ASSERT(from.x() == to.x());
    const int length = to.y() - from.y();
    pixels = length >= 0 ? QRect(from.x(), from.y(), 1, length)
                         : QRect(from.x(), to.y() + 1, 1, -length);
  }
  if (!pixels.isEmpty()) painter.fillRect(pixels, color);
}

}  // namespace

SidePanelButton::SidePanelButton(QWidget* parent) : QAbstractButton(parent) {
  setCheckable(true);
  // Reached by Tab; a click leaves the focus where it was.
  setFocusPolicy(Qt::TabFocus);
  setAttribute(Qt::WA_OpaquePaintEvent);  // paintEvent fills every pixel
  resize(57, 53);
}

void SidePanelButton::SetColor(const QColor& color) {
  if (color_ == color) return;
  color_ = color;
  update();
}

void SidePanelButton::SetGlyph(const QPixmap& glyph) {
  glyph_ = glyph;
  keyedGlyph_ = QPixmap();
  if (!glyph.isNull()) {
    QImage image = glyph.toImage().convertToFormat(QImage::Format_ARGB32);
    const QRgb transparentColor = image.pixel(0, image.height() - 1);
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) {
        if (image.pixel(x, y) == transparentColor) image.setPixel(x, y, qRgba(0, 0, 0, 0));
      }
    }
    keyedGlyph_ = QPixmap::fromImage(image);
    keyedGlyph_.setDevicePixelRatio(glyph.devicePixelRatio());
  }
  update();
}

SidePanelButton::State SidePanelButton::ButtonState() const {
  if (!isEnabled()) return State::Disabled;
  if (isChecked()) return State::Down;
  if (isDown()) return State::Pressed;
  return State::Up;
}

QFont SidePanelButton::CaptionFont() {
  QFont font = QGuiApplication::font();
  font.setPointSize(8);
  // A painter completes unset properties from the widget's font; mark them all as set.
  font.setResolveMask(QFont::AllPropertiesResolved);
  return font;
}

int SidePanelButton::CaptionHeight() { return QFontMetrics(CaptionFont()).height(); }

void SidePanelButton::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  painter.fillRect(event->rect(), color_);

  const int w = width();
  const int h = height();
  const QFont font = CaptionFont();
  const QFontMetrics metrics(font);
  const QSize glyphSize = glyph_.isNull() ? QSize(0, 0) : glyph_.deviceIndependentSize().toSize();
  const QString caption = text();

  // Integer division truncates toward zero, also for a glyph wider than the button.
  int gx = (w - glyphSize.width()) / 2;
  int gy = (h - glyphSize.height()) / 2 - (metrics.height() + 2) / 2;
  int tx = (w - metrics.horizontalAdvance(caption)) / 2;
  int ty = gy + glyphSize.height() + 2;  // top of the caption line

  const State state = ButtonState();
  if (state == State::Down) {
    ++gx;
    ++gy;
    ++tx;
    ++ty;
  }

  if (!keyedGlyph_.isNull()) painter.drawPixmap(gx, gy, keyedGlyph_);

  painter.setFont(font);
  painter.setPen(Qt::white);
  painter.drawText(QPoint(tx, ty + metrics.ascent()), caption);

  if (state == State::Pressed || state == State::Down) {
    DrawLine(painter, {0, 0}, {w - 1, 0}, kFrameBlack);
    DrawLine(painter, {w - 1, 0}, {w - 1, h - 1}, kFrameGray);
    DrawLine(painter, {w - 1, h - 1}, {0, h - 1}, kFrameLightGray);
    DrawLine(painter, {0, h - 1}, {0, 0}, kFrameBlack);
  } else if (mouseInside_) {
    // The last line starts one pixel up, so the bottom-left corner keeps Color.
    DrawLine(painter, {0, 0}, {w - 1, 0}, kFrameGray);
    DrawLine(painter, {w - 1, 0}, {w - 1, h - 1}, kFrameBlack);
    DrawLine(painter, {w - 1, h - 1}, {0, h - 1}, kFrameBlack);
    DrawLine(painter, {0, h - 2}, {0, 0}, kFrameLightGray);
  }
  if (hasFocus()) {
    painter.setPen(QPen(Qt::white, 1, Qt::DotLine));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(kFocusInset, kFocusInset, w - 1 - 2 * kFocusInset, h - 1 - 2 * kFocusInset);
  }
}

void SidePanelButton::keyPressEvent(QKeyEvent* event) {
  // Space presses a button already; Return and Enter do here too.
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
      event->modifiers() == Qt::NoModifier) {
    if (!event->isAutoRepeat()) click();
    return;
  }
  QAbstractButton::keyPressEvent(event);
}

void SidePanelButton::enterEvent(QEnterEvent* event) {
  mouseInside_ = true;
  update();
  QAbstractButton::enterEvent(event);
}

void SidePanelButton::leaveEvent(QEvent* event) {
  mouseInside_ = false;
  update();
  QAbstractButton::leaveEvent(event);
}

}  // namespace corvella
