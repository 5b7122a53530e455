// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Pixel checks of the side panel button's drawing, and its behaviour in a group of two.

#include <QApplication>
#include <QButtonGroup>
#include <QEnterEvent>
#include <QImage>
#include <QMouseEvent>
#include <QPixmap>
#include <QSignalSpy>
#include <QtTest>

#include "ui/Icons.h"
#include "ui/controls/SidePanelButton.h"

using corvella::PanelGlyph;
using corvella::SidePanelButton;

namespace {

enum class Mouse { Outside, Entered, EnteredAndLeft };
enum class Look { None, Raised, Sunken };
enum class Route { ReleaseInside, ReleaseOutside, OutAndBackIn };

constexpr int kWidth = 67;
constexpr int kHeight = 61;
const QRgb kPanelGray = qRgb(128, 128, 128);
const QRgb kBlack = qRgb(0, 0, 0);
const QRgb kGray = qRgb(153, 153, 153);
const QRgb kLightGray = qRgb(187, 187, 187);
const QRgb kGlyphRed = qRgb(255, 0, 0);
const QRgb kGlyphKey = qRgb(255, 0, 255);

// Opaque red; its transparent colour (bottom-left pixel) also fills a 4x4 block inside.
QPixmap OpaqueGlyph() {
  QImage image(24, 24, QImage::Format_RGB32);
  image.fill(kGlyphRed);
  image.setPixel(0, 23, kGlyphKey);
  for (int y = 10; y < 14; ++y) {
    for (int x = 10; x < 14; ++x) image.setPixel(x, y, kGlyphKey);
  }
  return QPixmap::fromImage(image);
}

// A gray side panel with the two buttons where the main window puts them, "Passwords" selected.
struct Panel {
  Panel() {
    widget.resize(103, 200);
    QPalette palette = widget.palette();
    palette.setColor(QPalette::Window, QColor(kPanelGray));
    widget.setPalette(palette);
    widget.setAutoFillBackground(true);
    first = MakeButton(QStringLiteral("Passwords"), QPoint(18, 30));
    second = MakeButton(QStringLiteral("Options"), QPoint(18, 108));
    group.addButton(first);
    group.addButton(second);
    first->setChecked(true);
  }

  SidePanelButton* MakeButton(const QString& caption, QPoint at) {
    auto* button = new SidePanelButton(&widget);
    button->setGeometry(QRect(at, QSize(kWidth, kHeight)));
    button->SetColor(QColor(kPanelGray));
    button->SetGlyph(OpaqueGlyph());
    button->setText(caption);
    return button;
  }

  QWidget widget;
  SidePanelButton* first = nullptr;
  SidePanelButton* second = nullptr;
  QButtonGroup group;
};

QImage Grab(SidePanelButton* button) {
  return button->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

void SendEnter(SidePanelButton* button) {
  const QPointF at(5, 5);
  QEnterEvent enter(at, at, button->mapToGlobal(at));
  QApplication::sendEvent(button, &enter);
}

void SendLeave(SidePanelButton* button) {
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(button, &leave);
}

// A move while the left button is held, as the button sees it during its implicit grab.
void MoveHeld(SidePanelButton* button, QPoint to) {
  QMouseEvent move(QEvent::MouseMove, QPointF(to), button->mapToGlobal(QPointF(to)), Qt::NoButton,
                   Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(button, &move);
}

QString Rgb(QRgb rgb) {
  return QStringLiteral("(%1, %2, %3)").arg(qRed(rgb)).arg(qGreen(rgb)).arg(qBlue(rgb));
}

// First pixel of the frame and of the ring just inside it that differs from the expected look.
QString FrameMismatch(const QImage& image, Look look, QRgb background) {
  struct Edges {
    QRgb top, right, bottom, left;  // without their corners
    QRgb topLeft, topRight, bottomRight, bottomLeft;
  };
  Edges e{};
  switch (look) {
    case Look::None:
      e = {background, background, background, background,
           background, background, background, background};
      break;
    case Look::Raised:  // the last line starts at (0, H-2), so (0, H-1) is never drawn
      e = {kGray, kBlack, kBlack, kLightGray, kGray, kBlack, kBlack, background};
      break;
    case Look::Sunken:
      e = {kBlack, kGray, kLightGray, kBlack, kBlack, kGray, kLightGray, kBlack};
      break;
  }
  const int w = image.width();
  const int h = image.height();
  QString mismatch;
  auto expect = [&](int x, int y, QRgb want) {
    const QRgb got = image.pixel(x, y) & 0xFFFFFF;
    if (mismatch.isEmpty() && got != (want & 0xFFFFFF)) {
      mismatch = QStringLiteral("pixel (%1, %2) is %3, expected %4")
                     .arg(x)
                     .arg(y)
                     .arg(Rgb(got), Rgb(want));
    }
  };
  expect(0, 0, e.topLeft);
  expect(w - 1, 0, e.topRight);
  expect(w - 1, h - 1, e.bottomRight);
  expect(0, h - 1, e.bottomLeft);
  for (int x = 1; x < w - 1; ++x) {
    expect(x, 0, e.top);
    expect(x, h - 1, e.bottom);
    expect(x, 1, background);  // one pixel wide
    expect(x, h - 2, background);
  }
  for (int y = 1; y < h - 1; ++y) {
    expect(0, y, e.left);
    expect(w - 1, y, e.right);
    expect(1, y, background);
    expect(w - 2, y, background);
  }
  return mismatch;
}

QRect BoundsOf(const QImage& image, const QRect& area, const std::function<bool(QRgb)>& match) {
  QRect bounds;
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) {
      if (match(image.pixel(x, y))) bounds |= QRect(x, y, 1, 1);
    }
  }
  return bounds;
}

bool IsCaptionPixel(QRgb rgb) {  // white text, antialiased over gray
  return qRed(rgb) > 140 && qGreen(rgb) > 140 && qBlue(rgb) > 140;
}

}  // namespace

Q_DECLARE_METATYPE(Mouse)
Q_DECLARE_METATYPE(Look)
Q_DECLARE_METATYPE(Route)

class SidePanelButtonTest : public QObject {
  Q_OBJECT

 private slots:
  void Defaults();
  void Frame_data();
  void Frame();
  void GlyphPosition_data();
  void GlyphPosition();
  void CaptionPosition();
  void DownMovesGlyphAndCaptionByOnePixel();
  void CaptionIgnoresButtonFont();
  void AlphaGlyphShowsColor();
  void RenderedGlyphs_data();
  void RenderedGlyphs();
  void PanelGlyphIsNullWhenMissing();
  void Group_data();
  void Group();
  void Keyboard_data();
  void Keyboard();
};

void SidePanelButtonTest::Defaults() {
  SidePanelButton button;
  QCOMPARE(button.size(), QSize(57, 53));
  QCOMPARE(button.Color(), QColor(Qt::black));
  QVERIFY(button.isCheckable());
  QVERIFY(!button.isChecked());
  QVERIFY(!button.MouseInside());
  QCOMPARE(button.ButtonState(), SidePanelButton::State::Up);
  // Tab reaches it; a click does not take the focus.
  QCOMPARE(button.focusPolicy(), Qt::TabFocus);
  QCOMPARE(Grab(&button).pixel(1, 1) & 0xFFFFFF, kBlack & 0xFFFFFF);
}

void SidePanelButtonTest::Frame_data() {
  QTest::addColumn<bool>("checked");
  QTest::addColumn<bool>("enabled");
  QTest::addColumn<bool>("pressed");
  QTest::addColumn<Mouse>("mouse");
  QTest::addColumn<Look>("look");

  QTest::newRow("up") << false << true << false << Mouse::Outside << Look::None;
  QTest::newRow("up, mouse inside") << false << true << false << Mouse::Entered << Look::Raised;
  QTest::newRow("up, mouse entered and left")
      << false << true << false << Mouse::EnteredAndLeft << Look::None;
  // The inside flag follows only enter and leave; pressing alone does not set it.
  QTest::newRow("pressed") << false << true << true << Mouse::Outside << Look::Sunken;
  QTest::newRow("pressed, mouse inside") << false << true << true << Mouse::Entered << Look::Sunken;
  QTest::newRow("down") << true << true << false << Mouse::Outside << Look::Sunken;
  QTest::newRow("down, mouse inside") << true << true << false << Mouse::Entered << Look::Sunken;
  QTest::newRow("down, pressed again") << true << true << true << Mouse::Entered << Look::Sunken;
  QTest::newRow("disabled") << false << false << false << Mouse::Outside << Look::None;
  QTest::newRow("disabled, mouse inside")
      << false << false << false << Mouse::Entered << Look::Raised;
  // Disabled is a state of its own that replaces down.
  QTest::newRow("disabled down, mouse inside")
      << true << false << false << Mouse::Entered << Look::Raised;
}

void SidePanelButtonTest::Frame() {
  QFETCH(bool, checked);
  QFETCH(bool, enabled);
  QFETCH(bool, pressed);
  QFETCH(Mouse, mouse);
  QFETCH(Look, look);

  Panel panel;
  panel.widget.show();
  QVERIFY(QTest::qWaitForWindowExposed(&panel.widget));
  SidePanelButton* button = panel.second;
  button->setChecked(checked);
  if (mouse != Mouse::Outside) SendEnter(button);
  if (mouse == Mouse::EnteredAndLeft) SendLeave(button);
  if (pressed) QTest::mousePress(button, Qt::LeftButton, {}, QPoint(30, 30));
  button->setEnabled(enabled);

  QCOMPARE(button->MouseInside(), mouse == Mouse::Entered);
  const QImage image = Grab(button);
  QCOMPARE(image.size(), QSize(kWidth, kHeight));
  const QString mismatch = FrameMismatch(image, look, kPanelGray);
  QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
}

void SidePanelButtonTest::GlyphPosition_data() {
  QTest::addColumn<bool>("checked");
  QTest::addColumn<bool>("pressed");
  QTest::addColumn<int>("shift");

  QTest::newRow("up") << false << false << 0;
  QTest::newRow("pressed") << false << true << 0;  // pressing does not move the content
  QTest::newRow("down") << true << false << 1;
  QTest::newRow("down, pressed again") << true << true << 1;
}

void SidePanelButtonTest::GlyphPosition() {
  QFETCH(bool, checked);
  QFETCH(bool, pressed);
  QFETCH(int, shift);

  Panel panel;
  panel.widget.show();
  QVERIFY(QTest::qWaitForWindowExposed(&panel.widget));
  SidePanelButton* button = panel.second;
  button->setChecked(checked);
  if (pressed) QTest::mousePress(button, Qt::LeftButton, {}, QPoint(30, 30));
  const QImage image = Grab(button);

  // 24 x 24 on 67 x 61: (67 - 24) div 2 = 21, (61 - 24) div 2 = 18, lifted by (th + 2) div 2.
  const int th = SidePanelButton::CaptionHeight();
  const QRect expected(21 + shift, 18 - (th + 2) / 2 + shift, 24, 24);
  const QRect red = BoundsOf(image, image.rect(),
                             [](QRgb rgb) { return (rgb & 0xFFFFFF) == (kGlyphRed & 0xFFFFFF); });
  QCOMPARE(red, expected);

  // Every pixel of the transparent colour shows the button's colour instead.
  const QRect key = BoundsOf(image, image.rect(),
                             [](QRgb rgb) { return (rgb & 0xFFFFFF) == (kGlyphKey & 0xFFFFFF); });
  QVERIFY(key.isNull());
  QCOMPARE(image.pixel(expected.left(), expected.bottom()) & 0xFFFFFF, kPanelGray & 0xFFFFFF);
  QCOMPARE(image.pixel(expected.left() + 11, expected.top() + 11) & 0xFFFFFF,
           kPanelGray & 0xFFFFFF);
}

void SidePanelButtonTest::CaptionPosition() {
  Panel panel;
  SidePanelButton* button = panel.second;
  const QImage image = Grab(button);

  const QFontMetrics metrics(SidePanelButton::CaptionFont());
  const int th = metrics.height();
  const int tw = metrics.horizontalAdvance(button->text());
  const int gy = 18 - (th + 2) / 2;
  const int tx = (kWidth - tw) / 2;
  const int ty = gy + 24 + 2;

  const QRect interior(1, 1, kWidth - 2, kHeight - 2);
  const QRect caption = BoundsOf(image, interior, IsCaptionPixel);
  QVERIFY(!caption.isNull());
  // The ink lies inside the text cell (one pixel of antialiasing to either side).
  const QRect cell(tx - 1, ty, tw + 2, th);
  QVERIFY2(cell.contains(caption),
           qPrintable(QStringLiteral("caption ink (%1, %2, %3x%4) outside cell (%5, %6, %7x%8)")
                          .arg(caption.x())
                          .arg(caption.y())
                          .arg(caption.width())
                          .arg(caption.height())
                          .arg(cell.x())
                          .arg(cell.y())
                          .arg(cell.width())
                          .arg(cell.height())));
  // Centred: the ink's margins to the cell differ by at most the font's side bearings.
  QVERIFY(qAbs((caption.left() - tx) - (tx + tw - 1 - caption.right())) <= 3);
  // White, not merely light.
  QCOMPARE(
      BoundsOf(image, interior, [](QRgb rgb) { return (rgb & 0xFFFFFF) == 0xFFFFFF; }).isNull(),
      false);
}

void SidePanelButtonTest::DownMovesGlyphAndCaptionByOnePixel() {
  Panel panel;
  SidePanelButton* button = panel.second;
  const QImage up = Grab(button);
  button->setChecked(true);
  const QImage down = Grab(button);

  for (int y = 1; y < kHeight - 2; ++y) {
    for (int x = 1; x < kWidth - 2; ++x) {
      if (down.pixel(x + 1, y + 1) != up.pixel(x, y)) {
        QFAIL(qPrintable(QStringLiteral("down (%1, %2) differs from up (%3, %4)")
                             .arg(x + 1)
                             .arg(y + 1)
                             .arg(x)
                             .arg(y)));
      }
    }
  }
}

void SidePanelButtonTest::CaptionIgnoresButtonFont() {
  Panel panel;
  SidePanelButton* button = panel.second;
  const QImage before = Grab(button);
  button->setFont(QFont(QStringLiteral("DejaVu Serif"), 20, QFont::Bold));
  QCOMPARE(Grab(button), before);
}

void SidePanelButtonTest::AlphaGlyphShowsColor() {
  QImage glyph(24, 24, QImage::Format_ARGB32);
  glyph.fill(Qt::transparent);
  for (int y = 8; y < 16; ++y) {
    for (int x = 8; x < 16; ++x) glyph.setPixel(x, y, qRgba(0, 0, 255, 255));
  }
  glyph.setPixel(20, 4, qRgba(0, 0, 255, 128));

  SidePanelButton button;
  button.resize(kWidth, kHeight);
  button.SetColor(QColor(kPanelGray));
  button.SetGlyph(QPixmap::fromImage(glyph));
  const QImage image = Grab(&button);

  const int th = SidePanelButton::CaptionHeight();
  const QPoint origin(21, 18 - (th + 2) / 2);
  for (int y = 0; y < 24; ++y) {
    for (int x = 0; x < 24; ++x) {
      const QRgb got = image.pixel(origin + QPoint(x, y));
      if (x >= 8 && x < 16 && y >= 8 && y < 16) {
        QCOMPARE(got & 0xFFFFFF, qRgb(0, 0, 255) & 0xFFFFFF);
      } else if (x == 20 && y == 4) {  // half blue over gray
        QVERIFY(qAbs(qRed(got) - 64) <= 2 && qAbs(qGreen(got) - 64) <= 2 &&
                qAbs(qBlue(got) - 191) <= 2);
      } else {
        QCOMPARE(got & 0xFFFFFF, kPanelGray & 0xFFFFFF);
      }
    }
  }
}

void SidePanelButtonTest::RenderedGlyphs_data() {
  QTest::addColumn<QByteArray>("name");
  QTest::newRow("passwords") << QByteArray("passwords-glyph");
  QTest::newRow("options") << QByteArray("options-glyph");
}

void SidePanelButtonTest::RenderedGlyphs() {
  QFETCH(QByteArray, name);
  const QPixmap glyph = PanelGlyph(name.constData());
  QCOMPARE(glyph.size(), QSize(24, 24));
  const QImage image = glyph.toImage().convertToFormat(QImage::Format_ARGB32);
  QCOMPARE(qAlpha(image.pixel(0, 23)), 0);  // the transparent colour is "transparent"
  int opaque = 0;
  for (int y = 0; y < 24; ++y) {
    for (int x = 0; x < 24; ++x) opaque += qAlpha(image.pixel(x, y)) == 255 ? 1 : 0;
  }
  QVERIFY2(opaque >= 60, qPrintable(QStringLiteral("only %1 opaque pixels").arg(opaque)));

  // On the button, the glyph's transparent corner shows the panel colour.
  SidePanelButton button;
  button.resize(kWidth, kHeight);
  button.SetColor(QColor(kPanelGray));
  button.SetGlyph(glyph);
  const int th = SidePanelButton::CaptionHeight();
  QCOMPARE(Grab(&button).pixel(21, 18 - (th + 2) / 2 + 23) & 0xFFFFFF, kPanelGray & 0xFFFFFF);
}

void SidePanelButtonTest::PanelGlyphIsNullWhenMissing() {
  QVERIFY(PanelGlyph("missing-glyph").isNull());
}

void SidePanelButtonTest::Group_data() {
  QTest::addColumn<int>("target");  // 1: "Passwords" (selected at start), 2: "Options"
  QTest::addColumn<Route>("route");
  QTest::addColumn<int>("selectedAfter");
  QTest::addColumn<int>("firstClicks");
  QTest::addColumn<int>("secondClicks");

  QTest::newRow("click the selected button") << 1 << Route::ReleaseInside << 1 << 1 << 0;
  QTest::newRow("click the other button") << 2 << Route::ReleaseInside << 2 << 0 << 1;
  QTest::newRow("release outside the other button") << 2 << Route::ReleaseOutside << 1 << 0 << 0;
  QTest::newRow("release outside the selected button") << 1 << Route::ReleaseOutside << 1 << 0 << 0;
  QTest::newRow("out and back in on the other button") << 2 << Route::OutAndBackIn << 2 << 0 << 1;
}

void SidePanelButtonTest::Group() {
  QFETCH(int, target);
  QFETCH(Route, route);
  QFETCH(int, selectedAfter);
  QFETCH(int, firstClicks);
  QFETCH(int, secondClicks);

  Panel panel;
  panel.widget.show();
  QVERIFY(QTest::qWaitForWindowExposed(&panel.widget));
  QSignalSpy firstSpy(panel.first, &QAbstractButton::clicked);
  QSignalSpy secondSpy(panel.second, &QAbstractButton::clicked);
  SidePanelButton* button = target == 1 ? panel.first : panel.second;
  const bool wasDown = button->isChecked();
  const QPoint inside = button->rect().center();
  const QPoint outside(button->width() + 5, button->height() / 2);

  QTest::mousePress(button, Qt::LeftButton, {}, inside);
  QCOMPARE(button->ButtonState(),
           wasDown ? SidePanelButton::State::Down : SidePanelButton::State::Pressed);
  QPoint releaseAt = inside;
  if (route != Route::ReleaseInside) {
    MoveHeld(button, outside);
    // Outside while following: up again, or still down.
    QCOMPARE(button->ButtonState(),
             wasDown ? SidePanelButton::State::Down : SidePanelButton::State::Up);
    const QString mismatch =
        FrameMismatch(Grab(button), wasDown ? Look::Sunken : Look::None, kPanelGray);
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
    releaseAt = outside;
  }
  if (route == Route::OutAndBackIn) {
    MoveHeld(button, inside);
    QCOMPARE(button->ButtonState(),
             wasDown ? SidePanelButton::State::Down : SidePanelButton::State::Pressed);
    releaseAt = inside;
  }
  QTest::mouseRelease(button, Qt::LeftButton, {}, releaseAt);

  QCOMPARE(panel.first->isChecked(), selectedAfter == 1);
  QCOMPARE(panel.second->isChecked(), selectedAfter == 2);
  QCOMPARE(firstSpy.count(), firstClicks);
  QCOMPARE(secondSpy.count(), secondClicks);
  QVERIFY(!button->isDown());
  // The one left up draws flat again.
  SidePanelButton* other = selectedAfter == 1 ? panel.second : panel.first;
  const QString mismatch = FrameMismatch(Grab(other), Look::None, kPanelGray);
  QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
}

void SidePanelButtonTest::Keyboard_data() {
  QTest::addColumn<int>("focused");  // the button that has the focus
  QTest::addColumn<int>("key");
  QTest::addColumn<bool>("selectsSecond");

  QTest::newRow("Space") << 2 << int(Qt::Key_Space) << true;
  QTest::newRow("Return") << 2 << int(Qt::Key_Return) << true;
  QTest::newRow("Enter") << 2 << int(Qt::Key_Enter) << true;
  QTest::newRow("a letter") << 2 << int(Qt::Key_A) << false;
  QTest::newRow("Down from the first") << 1 << int(Qt::Key_Down) << true;
}

void SidePanelButtonTest::Keyboard() {
  QFETCH(int, focused);
  QFETCH(int, key);
  QFETCH(bool, selectsSecond);

  Panel panel;
  panel.widget.show();
  QVERIFY(QTest::qWaitForWindowActive(&panel.widget));
  // A dotted white line three pixels inside the edge marks the focus.
  const auto focusFrame = [](SidePanelButton* button) {
    const QImage image = Grab(button);
    int white = 0;
    for (int x = 4; x < image.width() - 4; ++x) white += (image.pixel(x, 3) & 0xFFFFFF) == 0xFFFFFF;
    return white;
  };
  SidePanelButton* button = focused == 1 ? panel.first : panel.second;
  SidePanelButton* other = focused == 1 ? panel.second : panel.first;
  button->setFocus(Qt::TabFocusReason);
  QVERIFY(focusFrame(button) > kWidth / 4);
  QCOMPARE(focusFrame(other), 0);

  QSignalSpy clicks(panel.second, &QAbstractButton::clicked);
  QTest::keyClick(button, Qt::Key(key));
  QCOMPARE(clicks.count(), selectsSecond ? 1 : 0);
  QCOMPARE(panel.second->isChecked(), selectsSecond);
  QCOMPARE(panel.first->isChecked(), !selectsSecond);
}

QTEST_MAIN(SidePanelButtonTest)
#include "SidePanelButtonTest.moc"
