// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The options file: what stored INI values read as, what writing leaves in the file, failures.

#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTest>
#include <QThread>
#include <string>

#include "TestSupport.h"
#include "platform/Settings.h"

using corvella::platform::BoolToSetting;
using corvella::platform::DefaultSettingsPath;
using corvella::platform::Option;
using corvella::platform::Settings;
using corvella::platform::SettingToBool;
using corvella::test::ErrorText;
using corvella::test::ReadFile;
using corvella::test::WriteFile;

Q_DECLARE_METATYPE(Option)

namespace {

// The value as parsed from the file on disk: a copy under a path that this process has not
// read before, so that no settings cached in memory can answer.
std::string ReadFromDisk(const QString& path, const char* name) {
  static int copies = 0;
  const QString copy = path + ".copy" + QString::number(++copies);
  QFile::copy(path, copy);
  return Settings(copy.toStdString()).ReadSetting(name);
}

}  // namespace

class SettingsTest : public QObject {
  Q_OBJECT

 private slots:
  void init();

  void ReadStoredValue_data();
  void ReadStoredValue();
  void ReadNonString_data();
  void ReadNonString();
  void InvalidOptionIsResetAndToldOfOnce();
  void UnreadableLinesAreToldOfAndTheValueSaved();
  void WriteRoundTrip_data();
  void WriteRoundTrip();
  void WriteLeavesPlainLines();
  void WriteKeepsOtherValues();
  void ReadSeesChangeByAnotherTool();
  void WriteFailsWhenFolderIsBlocked();
  void BoolSettings();
  void OptionKeys_data();
  void OptionKeys();
  void DefaultPathFollowsXdgConfigHome();

 private:
  corvella::test::TestFolders folders_;
  QString path_;
};

void SettingsTest::init() {
  QVERIFY(folders_.SetUp());
  path_ = folders_.FilePath("Corvella/Corvella.conf");
}

void SettingsTest::ReadStoredValue_data() {
  QTest::addColumn<QByteArray>("content");  // null: no file at all
  QTest::addColumn<QString>("name");
  QTest::addColumn<std::string>("expected");
  QTest::addColumn<bool>("flag");

  QTest::newRow("1") << QByteArray("[General]\nCopyToClipboard=1\n") << "CopyToClipboard"
                     << std::string("1") << true;
  QTest::newRow("0") << QByteArray("[General]\nCopyToClipboard=0\n") << "CopyToClipboard"
                     << std::string("0") << false;
  QTest::newRow("01") << QByteArray("[General]\nLockProgram=01\n") << "LockProgram"
                      << std::string("01") << false;
  QTest::newRow("true") << QByteArray("[General]\nLockProgram=true\n") << "LockProgram"
                        << std::string("true") << false;
  QTest::newRow("empty value") << QByteArray("[General]\nLockProgram=\n") << "LockProgram"
                               << std::string() << false;
  QTest::newRow("15") << QByteArray("[General]\nLockTime=15\n") << "LockTime" << std::string("15")
                      << false;
  QTest::newRow("quoted leading blank")
      << QByteArray("[General]\nLockTime=\" 10\"\n") << "LockTime" << std::string(" 10") << false;
  QTest::newRow("blanks around = are not part of the value")
      << QByteArray("[General]\nLockTime = 10 \n") << "LockTime" << std::string("10") << false;
  QTest::newRow("quoted comma is a string")
      << QByteArray("[General]\nLockTime=\"a, b\"\n") << "LockTime" << std::string("a, b") << false;
  QTest::newRow("UTF-8") << QByteArray("[General]\nLockTime=\xc3\xa9\n") << "LockTime"
                         << std::string("\xc3\xa9") << false;
  QTest::newRow("no group header")
      << QByteArray("CopyToClipboard=1\n") << "CopyToClipboard" << std::string("1") << true;
  QTest::newRow("CRLF lines") << QByteArray("[General]\r\nCopyToClipboard=1\r\n")
                              << "CopyToClipboard" << std::string("1") << true;
  QTest::newRow("missing value") << QByteArray("[General]\nLockProgram=1\n") << "CopyToClipboard"
                                 << std::string() << false;
  QTest::newRow("only in another group")
      << QByteArray("[Window]\nCopyToClipboard=1\n") << "CopyToClipboard" << std::string() << false;
  QTest::newRow("commented out") << QByteArray("[General]\n;CopyToClipboard=1\n")
                                 << "CopyToClipboard" << std::string() << false;
  QTest::newRow("name is case-sensitive") << QByteArray("[General]\ncopytoclipboard=1\n")
                                          << "CopyToClipboard" << std::string() << false;
  QTest::newRow("empty file") << QByteArray("") << "LockTime" << std::string() << false;
  QTest::newRow("missing file") << QByteArray() << "LockTime" << std::string() << false;
}

void SettingsTest::ReadStoredValue() {
  QFETCH(QByteArray, content);
  QFETCH(QString, name);
  QFETCH(std::string, expected);
  QFETCH(bool, flag);

  if (!content.isNull()) WriteFile(path_, content);
  const std::string value = Settings(path_.toStdString()).ReadSetting(name.toStdString());
  QCOMPARE(value, expected);
  QCOMPARE(SettingToBool(value), flag);
  // Reading creates nothing.
  QCOMPARE(QFileInfo::exists(path_), !content.isNull());
}

void SettingsTest::ReadNonString_data() {
  QTest::addColumn<QByteArray>("line");
  QTest::newRow("list") << QByteArray("LockTime=a, b");
  QTest::newRow("list of one and an empty") << QByteArray("LockTime=10,");
  QTest::newRow("byte array") << QByteArray("LockTime=@ByteArray(10)");
  QTest::newRow("invalid") << QByteArray("LockTime=@Invalid()");
}

void SettingsTest::ReadNonString() {
  QFETCH(QByteArray, line);
  WriteFile(path_, "[General]\nCopyToClipboard=1\n" + line + "\n");
  const Settings settings(path_.toStdString());
  QCOMPARE(ErrorText([&] { settings.ReadSetting("LockTime"); }),
           QStringLiteral("Invalid data type for 'LockTime'"));
  // Only that value is refused.
  QCOMPARE(settings.ReadSetting("CopyToClipboard"), std::string("1"));
}

void SettingsTest::InvalidOptionIsResetAndToldOfOnce() {
  WriteFile(path_, "[General]\nCopyToClipboard=a, b\nLockTime=20\n");
  Settings settings(path_.toStdString());
  QStringList notices;
  settings.SetNoticeHandler(
      [&notices](const std::string& notice) { notices << QString::fromStdString(notice); });
  for (int read = 0; read < 3; ++read) QVERIFY(!settings.ReadFlag(Option::CopyToClipboard));
  QCOMPARE(notices, QStringList{"The settings file " + path_ +
                                " held an invalid value for 'CopyToClipboard'; it was reset to "
                                "\"0\"."});
  QCOMPARE(ReadFromDisk(path_, "CopyToClipboard"), std::string("0"));
  QCOMPARE(settings.Read(Option::LockTime), std::string("20"));
}

void SettingsTest::UnreadableLinesAreToldOfAndTheValueSaved() {
  // Read for the first time by this write: Qt finds the line it cannot read.
  WriteFile(path_, "[General]\nLockTime=20\nsome text that is no setting\n");
  Settings settings(path_.toStdString());
  QStringList notices;
  settings.SetNoticeHandler(
      [&notices](const std::string& notice) { notices << QString::fromStdString(notice); });
  settings.WriteSetting("CopyToClipboard", "1");
  QCOMPARE(notices, QStringList{"The settings file " + path_ +
                                " had lines that could not be read; they were removed when "
                                "'CopyToClipboard' was saved."});
  QCOMPARE(settings.ReadSetting("CopyToClipboard"), std::string("1"));
  QCOMPARE(settings.ReadSetting("LockTime"), std::string("20"));
  QVERIFY(!ReadFile(path_).contains("some text"));
}

void SettingsTest::WriteRoundTrip_data() {
  QTest::addColumn<std::string>("data");
  QTest::newRow("10") << std::string("10");
  QTest::newRow("empty") << std::string();
  QTest::newRow("leading blank") << std::string(" 10");
  QTest::newRow("trailing blank") << std::string("10 ");
  QTest::newRow("comma") << std::string("a, b");
  QTest::newRow("semicolon") << std::string("x;y");
  QTest::newRow("looks like a typed value") << std::string("@Invalid()");
  QTest::newRow("quotes and backslash") << std::string("say \"hi\" \\ there");
  QTest::newRow("line break") << std::string("one\ntwo");
  QTest::newRow("equals and brackets") << std::string("[General]=x");
  QTest::newRow("UTF-8") << std::string("caf\xc3\xa9");
}

void SettingsTest::WriteRoundTrip() {
  QFETCH(std::string, data);
  Settings(path_.toStdString()).WriteSetting("LockTime", data);
  QCOMPARE(ReadFromDisk(path_, "LockTime"), data);
  QCOMPARE(Settings(path_.toStdString()).ReadSetting("LockTime"), data);
}

void SettingsTest::WriteLeavesPlainLines() {
  // The folder does not exist yet.
  Settings settings(path_.toStdString());
  settings.WriteSetting("CopyToClipboard", BoolToSetting(true));
  settings.WriteSetting("LockProgram", BoolToSetting(false));
  settings.WriteSetting("LockTime", "10");

  const QList<QByteArray> lines = ReadFile(path_).trimmed().split('\n');
  const QSet<QByteArray> expected = {"[General]", "CopyToClipboard=1", "LockProgram=0",
                                     "LockTime=10"};
  QCOMPARE(QSet<QByteArray>(lines.begin(), lines.end()), expected);
  QCOMPARE(lines.size(), expected.size());
}

void SettingsTest::WriteKeepsOtherValues() {
  WriteFile(path_, "[General]\nCopyToClipboard=1\nLockTime=5\n[Window]\nWidth=690\n");
  Settings(path_.toStdString()).WriteSetting("LockTime", "20");
  QCOMPARE(ReadFromDisk(path_, "LockTime"), std::string("20"));
  QCOMPARE(ReadFromDisk(path_, "CopyToClipboard"), std::string("1"));
  QCOMPARE(ReadFromDisk(path_, "Window/Width"), std::string("690"));
}

void SettingsTest::ReadSeesChangeByAnotherTool() {
  const Settings settings(path_.toStdString());
  WriteFile(path_, "[General]\nCopyToClipboard=0\n");
  QCOMPARE(settings.ReadSetting("CopyToClipboard"), std::string("0"));
  // Same size, so only the modification time tells the files apart; the other tool is not
  // faster than the clock.
  QThread::msleep(20);
  WriteFile(path_, "[General]\nCopyToClipboard=1\n");
  QCOMPARE(settings.ReadSetting("CopyToClipboard"), std::string("1"));
}

void SettingsTest::WriteFailsWhenFolderIsBlocked() {
  // A file where the folder should be: the folder cannot be created, even by root.
  const QString blocker = folders_.FilePath("Corvella");
  WriteFile(blocker, "not a folder");
  Settings settings(path_.toStdString());
  QCOMPARE(ErrorText([&] { settings.WriteSetting("LockTime", "5"); }),
           "Failed to set data for 'LockTime' in the settings file " + path_);
  QCOMPARE(ErrorText([&] { settings.WriteSetting("CopyToClipboard", "1"); }),
           "Failed to set data for 'CopyToClipboard' in the settings file " + path_);
  QCOMPARE(ErrorText([&] { settings.WriteFlag(Option::LockProgram, true); }),
           "Failed to set data for 'LockProgram' in the settings file " + path_);
  // The failed value is not reported as stored, and the blocking file is untouched.
  QCOMPARE(settings.ReadSetting("LockTime"), std::string());
  QCOMPARE(ReadFile(blocker), QByteArray("not a folder"));
}

void SettingsTest::BoolSettings() {
  QCOMPARE(BoolToSetting(true), std::string("1"));
  QCOMPARE(BoolToSetting(false), std::string("0"));
  QVERIFY(SettingToBool(BoolToSetting(true)));
  QVERIFY(!SettingToBool(BoolToSetting(false)));
  QVERIFY(!SettingToBool("1 "));
  QVERIFY(!SettingToBool(std::string_view("1\0", 2)));
}

void SettingsTest::OptionKeys_data() {
  QTest::addColumn<Option>("option");
  QTest::addColumn<QString>("name");
  QTest::addColumn<std::string>("defaultValue");
  // The value names in the files that earlier runs wrote, and what a missing value stood for.
  QTest::newRow("CopyToClipboard")
      << Option::CopyToClipboard << "CopyToClipboard" << std::string("0");
  QTest::newRow("LockProgram") << Option::LockProgram << "LockProgram" << std::string("0");
  QTest::newRow("LockTime") << Option::LockTime << "LockTime" << std::string("10");
  QTest::newRow("LockOnScreenLock")
      << Option::LockOnScreenLock << "LockOnScreenLock" << std::string("1");
  QTest::newRow("LockBeforeSleep")
      << Option::LockBeforeSleep << "LockBeforeSleep" << std::string("1");
}

void SettingsTest::OptionKeys() {
  QFETCH(Option, option);
  QFETCH(QString, name);
  QFETCH(std::string, defaultValue);
  const QByteArray valueName = name.toUtf8();
  Settings settings(path_.toStdString());

  // No file, then a file without the value: the default, and reading creates nothing.
  QCOMPARE(settings.Read(option), defaultValue);
  QVERIFY(!QFileInfo::exists(path_));
  WriteFile(path_, "[General]\nOther=1\n");
  QCOMPARE(settings.Read(option), defaultValue);

  // Stored under its value name and read back as stored; an empty value is not a missing one.
  for (const std::string data : {"20", "", "01", "1"}) {
    settings.Write(option, data);
    QCOMPARE(ReadFromDisk(path_, valueName.constData()), data);
    QCOMPARE(settings.Read(option), data);
    QCOMPARE(settings.ReadFlag(option), data == "1");
  }
  settings.WriteFlag(option, false);
  QCOMPARE(ReadFromDisk(path_, valueName.constData()), std::string("0"));
  QVERIFY(!settings.ReadFlag(option));
  settings.WriteFlag(option, true);
  QCOMPARE(ReadFromDisk(path_, valueName.constData()), std::string("1"));
  QVERIFY(settings.ReadFlag(option));
  QCOMPARE(ReadFromDisk(path_, "Other"), std::string("1"));

  // A value that is not a plain string reads as the default, which is stored in its place.
  WriteFile(path_, "[General]\n" + valueName + "=a, b\n");
  QCOMPARE(settings.Read(option), defaultValue);
  QCOMPARE(ReadFromDisk(path_, valueName.constData()), defaultValue);
}

void SettingsTest::DefaultPathFollowsXdgConfigHome() {
  const QString expected = folders_.ConfigHome() + "/Corvella/Corvella.conf";
  QCOMPARE(QString::fromStdString(DefaultSettingsPath()), expected);
  Settings settings;
  QCOMPARE(QString::fromStdString(settings.FilePath()), expected);
  settings.WriteSetting("LockTime", "4");
  QCOMPARE(ReadFromDisk(expected, "LockTime"), std::string("4"));
}

QTEST_GUILESS_MAIN(SettingsTest)
#include "SettingsTest.moc"
