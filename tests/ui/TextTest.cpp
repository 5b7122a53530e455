// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Wiping a QString: it overwrites the text it owns and refuses one it shares.

#include <QtTest>

#include "core/Error.h"
#include "ui/Text.h"

using corvella::Error;
using corvella::WipeQString;

class TextTest : public QObject {
  Q_OBJECT

 private slots:
  void wipesTheTextItOwns();
  void refusesASharedText();
};

void TextTest::wipesTheTextItOwns() {
  QString owned = QStringLiteral("fake secret 1").repeated(3);
  owned.remove(0, 13);  // characters before data() belong to the buffer as well
  WipeQString(owned);
  QVERIFY(owned.isEmpty());

  // A literal owns no buffer: nothing to overwrite, and nothing read-only written to.
  QString literal = QStringLiteral("fake literal");
  WipeQString(literal);
  QVERIFY(literal.isEmpty());
  QString empty;
  WipeQString(empty);
  QVERIFY(empty.isNull());
}

void TextTest::refusesASharedText() {
  QString text = QStringLiteral("fake secret 2").repeated(2);
  const QString other = text;
  // Emptying `text` alone would leave the characters with `other`, unwiped.
  QVERIFY_THROWS_EXCEPTION(Error, WipeQString(text));
  QVERIFY(text == other);
  QVERIFY(other == QStringLiteral("fake secret 2fake secret 2"));
}

QTEST_GUILESS_MAIN(TextTest)
#include "TextTest.moc"
