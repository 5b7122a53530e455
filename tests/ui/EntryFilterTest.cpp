// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

// What the search field finds: case and accents folded on both sides, stored bytes in either
// encoding, and the three searched fields, never the password.

#include <QtTest>
#include <string>

#include "store/Entry.h"
#include "store/SessionKey.h"
#include "ui/EntryFilter.h"

namespace corvella {

class EntryFilterTest : public QObject {
  Q_OBJECT

 private slots:
  void storedText_data();
  void storedText();
  void entryFields_data();
  void entryFields();
  void everyTwoByteCharacterFindsItself();
};

void EntryFilterTest::storedText_data() {
  QTest::addColumn<QString>("typed");
  QTest::addColumn<QByteArray>("stored");
  QTest::addColumn<bool>("found");

  const QByteArray cafe = QStringLiteral(u"Café Noir").toUtf8();
  QTest::newRow("accent stored, not typed") << "cafe" << cafe << true;
  QTest::newRow("accent typed, not stored")
      << QStringLiteral(u"café") << QByteArray("CAFE") << true;
  QTest::newRow("accent both") << QStringLiteral(u"CAFÉ N") << cafe << true;
  QTest::newRow("decomposed accent stored")
      << "cafe" << QStringLiteral(u"Cafe\u0301").toUtf8() << true;
  QTest::newRow("case, ASCII") << "GiTHub" << QByteArray("my github.com") << true;
  QTest::newRow("middle of the text") << "hub.c" << QByteArray("github.com") << true;
  QTest::newRow("no hit, ASCII") << "gitlab" << QByteArray("github.com") << false;
  QTest::newRow("no hit, accented") << "cafes" << cafe << false;
  QTest::newRow("longer than the text") << "github.com/x" << QByteArray("github.com") << false;
  QTest::newRow("empty text finds all") << "" << QByteArray("anything") << true;
  QTest::newRow("empty stored text") << "a" << QByteArray() << false;
  QTest::newRow("sharp s typed as ss") << "strasse" << QStringLiteral(u"Straße").toUtf8() << true;
  QTest::newRow("sharp s typed, ss stored")
      << QStringLiteral(u"STRAßE") << QByteArray("strasse") << true;
  QTest::newRow("ligature") << "file" << QStringLiteral(u"\uFB01le").toUtf8() << true;
  QTest::newRow("Windows-1252 bytes") << "zurich" << QByteArray("Z\xFCrich Bank") << true;
  QTest::newRow("not Latin, ASCII stored")
      << QStringLiteral(u"東京") << QByteArray("tokyo") << false;
  QTest::newRow("not Latin") << QStringLiteral(u"東京") << QStringLiteral(u"東京駅").toUtf8()
                             << true;
  QTest::newRow("Cyrillic, diaeresis stored")
      << QStringLiteral(u"елка") << QStringLiteral(u"Ёлка").toUtf8() << true;
  QTest::newRow("not UTF-8 and not found") << "zurichx" << QByteArray("Z\xFCrich Bank") << false;
  QTest::newRow("Greek case") << QStringLiteral(u"σοφία") << QStringLiteral(u"ΣΟΦΊΑ").toUtf8()
                              << true;
}

void EntryFilterTest::storedText() {
  QFETCH(QString, typed);
  QFETCH(QByteArray, stored);
  QFETCH(bool, found);

  const EntryFilter filter(typed);
  QCOMPARE(filter.Matches(std::string_view(stored.constData(), stored.size())), found);
}

void EntryFilterTest::entryFields_data() {
  QTest::addColumn<QString>("typed");
  QTest::addColumn<bool>("found");

  QTest::newRow("site name") << "bank" << true;
  QTest::newRow("user name") << "jdoe" << true;
  QTest::newRow("address") << "example.org" << true;
  QTest::newRow("password never") << "hunter" << false;
}

void EntryFilterTest::entryFields() {
  QFETCH(QString, typed);
  QFETCH(bool, found);

  const SessionKey key;
  Entry entry;
  entry.SetSiteName("My Bank");
  entry.SetUserName("jdoe");
  entry.SetUrl("https://example.org/login");
  entry.SetPassword("hunter2-fake", key);
  QCOMPARE(EntryFilter(typed).Matches(entry), found);
}

void EntryFilterTest::everyTwoByteCharacterFindsItself() {
  // Stored texts of these characters are folded by table, typed ones by Qt's normalisation: both
  // must agree, and a character must not find its neighbour.
  QStringList misses;
  for (char16_t c = 0x80; c < 0x800; ++c) {
    const QString text = QStringLiteral("x") + QChar(c) + QStringLiteral("y");
    const QByteArray stored = text.toUtf8();
    const std::string_view bytes(stored.constData(), static_cast<std::size_t>(stored.size()));
    const EntryFilter itself(text);
    const EntryFilter neighbour(QStringLiteral("x") + QChar(c + 1) + QStringLiteral("y"));
    const bool neighbourFolds = FoldForSearch(QString(QChar(c + 1))) != FoldForSearch(QChar(c));
    if (!itself.Matches(bytes) || (neighbourFolds && neighbour.Matches(bytes))) {
      misses << QString::number(c, 16);
    }
  }
  QCOMPARE(misses.join(u' '), QString());
}

}  // namespace corvella

QTEST_GUILESS_MAIN(corvella::EntryFilterTest)
#include "EntryFilterTest.moc"
