// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The clipboard on the offscreen platform: a secret is served from one buffer of ours, marked for
// clipboard managers, and wiped when the clipboard lets go of it.

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QTest>
#include <string>

#include "platform/Clipboard.h"

using corvella::platform::Clipboard;

namespace {

const QString kPlainText = QStringLiteral("text/plain");
const QString kSecretHint = QStringLiteral("x-kde-passwordManagerHint");

// The text as Clipboard::ReadText hands it over.
std::string TextRead() {
  std::string seen = "<not called>";
  Clipboard::ReadText([&seen](std::string_view utf8) { seen = utf8; });
  return seen;
}

}  // namespace

class ClipboardTest : public QObject {
  Q_OBJECT

 private slots:
  void secretIsMarkedAndReadLikeText();
  void secretIsWipedWhenReplaced_data();
  void secretIsWipedWhenReplaced();
  void readTextSeesEveryKindOfContent();
};

void ClipboardTest::secretIsMarkedAndReadLikeText() {
  Clipboard::SetSecret("p\xC3\xA4ss 1");
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  QVERIFY(data != nullptr);
  QCOMPARE(data->data(kSecretHint), QByteArray("secret"));
  QVERIFY(data->hasText());
  QVERIFY(Clipboard::HasText());
  QVERIFY(Clipboard::Text() == QStringLiteral(u"päss 1"));
  QVERIFY(TextRead() == "p\xC3\xA4ss 1");

  Clipboard::SetText(QStringLiteral("user name"));
  QVERIFY(!QGuiApplication::clipboard()->mimeData()->hasFormat(kSecretHint));
  QCOMPARE(Clipboard::Text(), QStringLiteral("user name"));
}

void ClipboardTest::secretIsWipedWhenReplaced_data() {
  QTest::addColumn<bool>("byThisProgram");
  QTest::newRow("erased by the program") << true;
  QTest::newRow("replaced by another copy") << false;
}

void ClipboardTest::secretIsWipedWhenReplaced() {
  QFETCH(bool, byThisProgram);
  const std::string secret = "a secret of 20 chars";
  Clipboard::SetSecret(secret);
  // What a reader was served: the clipboard's own buffer, not a copy of it.
  const QByteArray served = QGuiApplication::clipboard()->mimeData()->data(kPlainText);
  QVERIFY(served.toStdString() == secret);

  if (byThisProgram) {
    Clipboard::SetText(QString());
  } else {
    QGuiApplication::clipboard()->setText(QStringLiteral("copied elsewhere"));
  }
  QVERIFY(served == QByteArray(static_cast<qsizetype>(secret.size()), '\0'));
  QVERIFY(TextRead() != secret);
}

void ClipboardTest::readTextSeesEveryKindOfContent() {
  QGuiApplication::clipboard()->setText(QStringLiteral(u"plain €"));
  QVERIFY(TextRead() == "plain \xE2\x82\xAC");
  // A buffer of the clipboard's data is left as it is.
  auto* bytes = new QMimeData;
  bytes->setData(kPlainText, QByteArray("bytes kept"));
  QGuiApplication::clipboard()->setMimeData(bytes);
  QVERIFY(TextRead() == "bytes kept");
  QCOMPARE(QGuiApplication::clipboard()->mimeData()->data(kPlainText), QByteArray("bytes kept"));

  auto* image = new QMimeData;
  image->setImageData(QImage(4, 4, QImage::Format_RGB32));
  QGuiApplication::clipboard()->setMimeData(image);
  QVERIFY(TextRead().empty());
  QVERIFY(!Clipboard::HasText());
  QGuiApplication::clipboard()->clear();
  QVERIFY(TextRead().empty());
}

QTEST_MAIN(ClipboardTest)
#include "ClipboardTest.moc"
