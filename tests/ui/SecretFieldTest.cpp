// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The secret field on the offscreen platform: editing keys, paste and the refusal to copy a hidden
// text, what it draws, and what input methods and assistive technology learn of it.

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QImage>
#include <QInputMethodEvent>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>
#include <memory>
#include <string>

#include "ui/controls/SecretField.h"

using corvella::SecretField;

namespace {

enum class Echo { Hidden, Shown };

// A step of typing: a key with modifiers, or text as a keyboard layout delivers it.
struct Key {
  Qt::Key key = Qt::Key_unknown;
  Qt::KeyboardModifiers modifiers = Qt::NoModifier;
  QString text;
};

Key Press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  return {key, modifiers, {}};
}
Key Type(const QString& text) { return {Qt::Key_unknown, Qt::NoModifier, text}; }

void Send(QWidget* field, const QList<Key>& keys) {
  for (const Key& step : keys) {
    if (step.text.isNull()) {
      QTest::keyClick(field, step.key, step.modifiers);
    } else {
      QTest::sendKeyEvent(QTest::Click, field, step.key, step.text, step.modifiers);
    }
  }
}

std::string Secret(const SecretField& field) { return std::string(field.Secret().View()); }

void SetClipboard(const QString& text) { QGuiApplication::clipboard()->setText(text); }
QString ClipboardText() { return QGuiApplication::clipboard()->text(); }

QImage Picture(SecretField& field) {
  return field.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

}  // namespace

Q_DECLARE_METATYPE(Echo)
Q_DECLARE_METATYPE(QList<Key>)

class SecretFieldTest : public QObject {
  Q_OBJECT

 private slots:
  void init();

  void editingKeys_data();
  void editingKeys();
  void returnIsReportedAndGoesOnToTheWindow();
  void tabFocusSelectsTheText();
  void clickPlacesTheCursor();
  void copyOnlyWhenShown_data();
  void copyOnlyWhenShown();
  void storedBytesAreShownAsText();
  void drawsBulletsOrTheText();
  void inputMethodsLearnNothing();
  void assistiveTechnologyLearnsNoText();

 private:
  std::unique_ptr<QWidget> window_;
  SecretField* field_ = nullptr;
};

void SecretFieldTest::init() {
  window_ = std::make_unique<QWidget>();
  window_->resize(300, 60);
  auto* label = new QLabel(QStringLiteral("&Password:"), window_.get());
  field_ = new SecretField(window_.get());
  field_->setObjectName(QStringLiteral("secret"));
  field_->setGeometry(10, 20, 280, 20);
  label->setBuddy(field_);
  SetClipboard(QStringLiteral("before"));
}

void SecretFieldTest::editingKeys_data() {
  QTest::addColumn<Echo>("echo");
  QTest::addColumn<QList<Key>>("keys");
  QTest::addColumn<QString>("expected");

  const QString key = QString::fromUtf8("\xF0\x9F\x94\x91");
  const auto both = [](const char* tag, const QList<Key>& keys, const QString& expected) {
    QTest::addRow("%s, hidden", tag) << Echo::Hidden << keys << expected;
    QTest::addRow("%s, shown", tag) << Echo::Shown << keys << expected;
  };
  both("typing", {Type("a"), Type("b"), Type(QStringLiteral(u"ä")), Type(" "), Type("1")},
       QStringLiteral(u"abä 1"));
  both("backspace and delete",
       {Type("a"), Type("b"), Type("c"), Type("d"), Press(Qt::Key_Left), Press(Qt::Key_Left),
        Press(Qt::Key_Backspace), Press(Qt::Key_Delete)},
       "ad");
  both("home and end", {Type("b"), Press(Qt::Key_Home), Type("a"), Press(Qt::Key_End), Type("c")},
       "abc");
  both("shift selects, typing replaces",
       {Type("a"), Type("b"), Type("c"), Press(Qt::Key_Left, Qt::ShiftModifier),
        Press(Qt::Key_Left, Qt::ShiftModifier), Type("x")},
       "ax");
  both("select all and delete",
       {Type("a"), Type("b"), Press(Qt::Key_A, Qt::ControlModifier), Press(Qt::Key_Backspace)}, "");
  both("left ends a selection at its start",
       {Type("a"), Type("b"), Type("c"), Press(Qt::Key_Home, Qt::ShiftModifier),
        Press(Qt::Key_Right, Qt::ShiftModifier), Press(Qt::Key_Left), Type("x")},
       "axbc");
  both("a surrogate pair is one character",
       {Type("a"), Type(key), Type("b"), Press(Qt::Key_Left), Press(Qt::Key_Backspace)}, "ab");
  both("shortcuts and control characters type nothing",
       {Type("a"),
        {Qt::Key_B, Qt::ControlModifier, QStringLiteral("\x02")},
        Type("\t"),
        Press(Qt::Key_Escape)},
       "a");
  // An access key that nothing took; with Ctrl as well it may be AltGr, which types.
  both("Alt+letter types nothing",
       {Type("a"),
        {Qt::Key_Z, Qt::AltModifier, QStringLiteral("z")},
        {Qt::Key_E, Qt::AltModifier | Qt::ControlModifier, QStringLiteral(u"€")}},
       QStringLiteral(u"a€"));
  both("paste replaces the selection",
       {Type("a"), Type("b"), Press(Qt::Key_Left, Qt::ShiftModifier),
        Press(Qt::Key_V, Qt::ControlModifier), Press(Qt::Key_Insert, Qt::ShiftModifier)},
       "abeforebefore");
  // Word moves stop at blanks in a shown text and go to the ends of a hidden one.
  const QList<Key> words = {Type("a"),
                            Type("b"),
                            Type(" "),
                            Type("c"),
                            Type("d"),
                            Press(Qt::Key_Backspace, Qt::ControlModifier),
                            Type("x"),
                            Press(Qt::Key_Left, Qt::ControlModifier),
                            Press(Qt::Key_Delete, Qt::ControlModifier)};
  QTest::newRow("word keys, hidden") << Echo::Hidden << words << "";
  QTest::newRow("word keys, shown") << Echo::Shown << words << "ab ";
}

void SecretFieldTest::editingKeys() {
  QFETCH(Echo, echo);
  QFETCH(QList<Key>, keys);
  QFETCH(QString, expected);

  field_->SetEchoMode(echo == Echo::Hidden ? QLineEdit::Password : QLineEdit::Normal);
  Send(field_, keys);
  QVERIFY(Secret(*field_) == expected.toStdString());
}

void SecretFieldTest::returnIsReportedAndGoesOnToTheWindow() {
  // In a dialog, Return also presses the default button; Escape closes it.
  QDialog dialog;
  auto* field = new SecretField(&dialog);
  auto* ok = new QPushButton(QStringLiteral("OK"), &dialog);
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
  QSignalSpy returns(field, &SecretField::ReturnPressed);
  int accepted = 0;
  connect(&dialog, &QDialog::accepted, [&accepted] { ++accepted; });
  dialog.show();
  QTest::keyClick(field, Qt::Key_A);
  QTest::keyClick(field, Qt::Key_Return);
  QCOMPARE(returns.count(), 1);
  QCOMPARE(accepted, 1);
  QVERIFY(field->Secret().View() == "a");

  field->Clear();
  QVERIFY(field->IsEmpty());
  QVERIFY(field->Secret().empty());
}

void SecretFieldTest::tabFocusSelectsTheText() {
  auto* before = new QLineEdit(window_.get());
  QWidget::setTabOrder(before, field_);
  field_->SetSecret("old");
  window_->show();
  QVERIFY(QTest::qWaitForWindowActive(window_.get()));
  before->setFocus();
  QTest::keyClick(before, Qt::Key_Tab);
  QCOMPARE(QApplication::focusWidget(), field_);
  QTest::keyClick(field_, Qt::Key_N);
  QVERIFY(Secret(*field_) == "n");
}

void SecretFieldTest::clickPlacesTheCursor() {
  field_->SetEchoMode(QLineEdit::Password);
  field_->SetSecret("middle");
  window_->show();
  QTest::mouseClick(field_, Qt::LeftButton, {}, QPoint(2, 10));
  QTest::keyClick(field_, Qt::Key_A);
  QTest::mouseClick(field_, Qt::LeftButton, {}, QPoint(270, 10));
  QTest::keyClick(field_, Qt::Key_Z);
  QVERIFY(Secret(*field_) == "amiddlez");
}

void SecretFieldTest::copyOnlyWhenShown_data() {
  QTest::addColumn<Echo>("echo");
  QTest::newRow("hidden") << Echo::Hidden;
  QTest::newRow("shown") << Echo::Shown;
}

void SecretFieldTest::copyOnlyWhenShown() {
  QFETCH(Echo, echo);
  field_->SetEchoMode(echo == Echo::Hidden ? QLineEdit::Password : QLineEdit::Normal);
  field_->SetSecret("pw 1");
  Send(field_, {Press(Qt::Key_A, Qt::ControlModifier), Press(Qt::Key_C, Qt::ControlModifier)});
  if (echo == Echo::Hidden) {
    QVERIFY(ClipboardText() == QStringLiteral("before"));
    Send(field_, {Press(Qt::Key_X, Qt::ControlModifier)});
    QVERIFY(ClipboardText() == QStringLiteral("before"));
    QVERIFY(Secret(*field_) == "pw 1");
    return;
  }
  QVERIFY(ClipboardText() == QStringLiteral("pw 1"));
  QVERIFY(QGuiApplication::clipboard()->mimeData()->hasFormat(
      QStringLiteral("x-kde-passwordManagerHint")));
  SetClipboard(QStringLiteral("before"));
  Send(field_, {Press(Qt::Key_X, Qt::ControlModifier)});
  QVERIFY(ClipboardText() == QStringLiteral("pw 1"));
  QVERIFY(field_->IsEmpty());
}

void SecretFieldTest::storedBytesAreShownAsText() {
  // UTF-8 as it is; other bytes as Windows-1252 (files made on Windows).
  field_->SetSecret("p\xC3\xA4ss \xF0\x9F\x94\x91");
  QVERIFY(Secret(*field_) == "p\xC3\xA4ss \xF0\x9F\x94\x91");
  field_->SetSecret("\xE9l\xE8ve\x80");
  QVERIFY(Secret(*field_) == "\xC3\xA9l\xC3\xA8ve\xE2\x82\xAC");
  // The cursor is at the end.
  QTest::keyClick(field_, Qt::Key_S);
  QVERIFY(Secret(*field_) ==
          "\xC3\xA9l\xC3\xA8ve\xE2\x82\xAC"
          "s");
}

void SecretFieldTest::drawsBulletsOrTheText() {
  // Not shown, so that no blinking cursor takes part.
  const auto picture = [this](QLineEdit::EchoMode echo, const char* text) {
    field_->SetEchoMode(echo);
    field_->SetSecret(text);
    return Picture(*field_);
  };
  const QImage empty = picture(QLineEdit::Password, "");
  const QImage hiddenA = picture(QLineEdit::Password, "abcdef");
  const QImage hiddenB = picture(QLineEdit::Password, "uvwxyz");
  const QImage shownA = picture(QLineEdit::Normal, "abcdef");
  const QImage shownB = picture(QLineEdit::Normal, "uvwxyz");
  QVERIFY(hiddenA != empty);
  // Hidden, texts of one length look alike; shown, they differ, and differ from the bullets.
  QCOMPARE(hiddenA, hiddenB);
  QVERIFY(shownA != shownB);
  QVERIFY(shownA != hiddenA);
  // Framed like a line edit of the same size.
  QLineEdit edit(window_.get());
  edit.setGeometry(field_->geometry());
  edit.show();
  field_->Clear();
  const QImage frame = Picture(*field_);
  const QImage editFrame = edit.grab().toImage().convertToFormat(QImage::Format_RGB32);
  QCOMPARE(frame.pixel(0, 0), editFrame.pixel(0, 0));
  QCOMPARE(frame.pixel(frame.width() / 2, frame.height() / 2),
           editFrame.pixel(editFrame.width() / 2, editFrame.height() / 2));
  QCOMPARE(field_->sizeHint().height(), edit.sizeHint().height());
}

void SecretFieldTest::inputMethodsLearnNothing() {
  field_->SetEchoMode(QLineEdit::Password);
  const Qt::InputMethodHints hidden = field_->inputMethodHints();
  QVERIFY(hidden & Qt::ImhHiddenText);
  QVERIFY(hidden & Qt::ImhSensitiveData);
  QVERIFY(hidden & Qt::ImhNoPredictiveText);
  field_->SetEchoMode(QLineEdit::Normal);
  QVERIFY(!(field_->inputMethodHints() & Qt::ImhHiddenText));
  QVERIFY(field_->inputMethodHints() & Qt::ImhSensitiveData);
  QVERIFY(field_->testAttribute(Qt::WA_InputMethodEnabled));

  // Composed text arrives committed; the field tells nothing of what it holds.
  QInputMethodEvent compose;
  compose.setCommitString(QStringLiteral(u"é"));
  QApplication::sendEvent(field_, &compose);
  QVERIFY(Secret(*field_) == "\xC3\xA9");
  for (const Qt::InputMethodQuery query : {Qt::ImSurroundingText, Qt::ImCurrentSelection,
                                           Qt::ImTextBeforeCursor, Qt::ImTextAfterCursor}) {
    QVERIFY(field_->inputMethodQuery(query).toString().isEmpty());
  }
}

void SecretFieldTest::assistiveTechnologyLearnsNoText() {
  field_->SetEchoMode(QLineEdit::Password);
  field_->SetSecret("pw 1");
  QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(field_);
  QVERIFY(accessible != nullptr);
  QCOMPARE(accessible->role(), QAccessible::EditableText);
  QCOMPARE(accessible->text(QAccessible::Name), QStringLiteral("Password:"));
  QVERIFY(accessible->text(QAccessible::Value).isEmpty());
  QVERIFY(accessible->state().passwordEdit);
  field_->SetEchoMode(QLineEdit::Normal);
  QVERIFY(!accessible->state().passwordEdit);
  QVERIFY(accessible->text(QAccessible::Value).isEmpty());
}

QTEST_MAIN(SecretFieldTest)
#include "SecretFieldTest.moc"
