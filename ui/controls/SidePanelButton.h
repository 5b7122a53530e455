// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QSize>
#include <QString>

namespace corvella {

// The side panel's page button: a glyph above a white caption, drawn flat on Color, with a raised
// one-pixel frame while the mouse is over an up button and a sunken frame while it is pressed or
// selected. The selected (checked) button draws glyph and caption one pixel right and down. Tab
// reaches it, which then shows a dotted white focus frame; Space, Return or Enter press it.
// Put the buttons of a panel into an exclusive QButtonGroup so that exactly one stays selected.
class SidePanelButton : public QAbstractButton {
  Q_OBJECT
  Q_PROPERTY(QColor color READ Color WRITE SetColor)
  Q_PROPERTY(QPixmap glyph READ Glyph WRITE SetGlyph)

 public:
  enum class State { Up, Disabled, Pressed, Down };

  explicit SidePanelButton(QWidget* parent = nullptr);

  // Background colour; black until the owner sets it to its own background colour.
  QColor Color() const { return color_; }
  void SetColor(const QColor& color);

  // Drawn at its own size. Pixels of its transparent colour (the colour of its bottom-left
  // pixel) show Color; so do the transparent pixels of a glyph with an alpha channel.
  QPixmap Glyph() const { return glyph_; }
  void SetGlyph(const QPixmap& glyph);

  bool MouseInside() const { return mouseInside_; }
  // Disabled wins over selected, selected over pressed.
  State ButtonState() const;

  // The caption is drawn in the application's default UI font at 8 pt; the button's own font
  // is not used.
  static QFont CaptionFont();
  // Line height of CaptionFont() (ascent + descent), the "th" that lifts the glyph so that glyph
  // and caption sit centred together.
  static int CaptionHeight();

  QSize sizeHint() const override { return QSize(57, 53); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QColor color_{Qt::black};
  QPixmap glyph_;
  QPixmap keyedGlyph_;  // glyph_ with its transparent colour made transparent
  bool mouseInside_ = false;
};

}  // namespace corvella
