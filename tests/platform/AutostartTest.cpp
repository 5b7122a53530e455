// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The autostart entry: its content and quoting, what counts as "on", and the failures.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <string>

#include "TestSupport.h"
#include "platform/Autostart.h"

using corvella::platform::Autostart;
using corvella::test::ErrorText;
using corvella::test::ReadFile;
using corvella::test::WriteFile;

class AutostartTest : public QObject {
  Q_OBJECT

 private slots:
  void init();

  void ExecValue_data();
  void ExecValue();
  void AddWritesEntry();
  void AddedEntryLaunchesProgram();
  void AddReplacesSwitchedOffEntry();
  void AddReplacesLinkNotItsTarget_data();
  void AddReplacesLinkNotItsTarget();
  void RemoveDeletesEntry();
  void RemoveAfterAnotherToolRemovedIt();
  void AddFails_data();
  void AddFails();
  void IsInStartup_data();
  void IsInStartup();
  void ConfigDirWithOrWithoutSlash();
  void DefaultFollowsXdgConfigHome();

 private:
  Autostart Make(const std::string& programPath = "/opt/Corvella/corvella") const {
    return Autostart(configDir_.toStdString(), programPath);
  }
  QString EntryPath() const { return configDir_ + "/autostart/Corvella.desktop"; }

  corvella::test::TestFolders folders_;
  QString configDir_;
};

void AutostartTest::init() {
  QVERIFY(folders_.SetUp());
  configDir_ = folders_.FilePath("config");
  QVERIFY(QDir().mkpath(configDir_));
}

void AutostartTest::ExecValue_data() {
  QTest::addColumn<std::string>("path");
  QTest::addColumn<std::string>("exec");  // as it stands in the file
  QTest::newRow("plain") << std::string("/usr/bin/corvella")
                         << std::string("\"/usr/bin/corvella\"");
  QTest::newRow("blank") << std::string("/opt/My Apps/corvella")
                         << std::string("\"/opt/My Apps/corvella\"");
  QTest::newRow("double quote") << std::string("/opt/a\"b/corvella")
                                << std::string("\"/opt/a\\\\\"b/corvella\"");
  QTest::newRow("dollar") << std::string("/opt/$HOME/corvella")
                          << std::string("\"/opt/\\\\$HOME/corvella\"");
  QTest::newRow("backtick") << std::string("/opt/`x`/corvella")
                            << std::string("\"/opt/\\\\`x\\\\`/corvella\"");
  QTest::newRow("backslash: four in the file")
      << std::string("/opt/a\\b/corvella") << std::string("\"/opt/a\\\\\\\\b/corvella\"");
  QTest::newRow("percent") << std::string("/opt/100%/corvella")
                           << std::string("\"/opt/100%%/corvella\"");
  QTest::newRow("single quote and semicolon")
      << std::string("/opt/it's;x/corvella") << std::string("\"/opt/it's;x/corvella\"");
  QTest::newRow("line break") << std::string("/opt/a\nb/corvella")
                              << std::string("\"/opt/a\\nb/corvella\"");
}

void AutostartTest::ExecValue() {
  QFETCH(std::string, path);
  QFETCH(std::string, exec);
  QCOMPARE(Autostart::ExecValue(path), exec);
}

void AutostartTest::AddWritesEntry() {
  Autostart autostart = Make("/opt/My \"Apps\"/corvella");
  QVERIFY(!autostart.IsInStartup());
  autostart.AddToStartup();  // creates the autostart folder
  QCOMPARE(QString::fromStdString(autostart.EntryPath()), EntryPath());
  QCOMPARE(ReadFile(EntryPath()), QByteArray("[Desktop Entry]\n"
                                             "Type=Application\n"
                                             "Name=Corvella\n"
                                             "Exec=\"/opt/My \\\\\"Apps\\\\\"/corvella\"\n"
                                             "Icon=org.corvella.Corvella\n"
                                             "X-GNOME-Autostart-enabled=true\n"));
  QVERIFY(autostart.IsInStartup());
  // Adding again replaces the entry; no temporary file stays behind.
  autostart.AddToStartup();
  QCOMPARE(QDir(configDir_ + "/autostart").entryList(QDir::Files | QDir::Hidden),
           QStringList{"Corvella.desktop"});
}

// A real desktop-entry launcher (GLib's, as used by desktop sessions) must run exactly the
// program file named in the entry, however odd its path. (Not with a '%' in it: GLib looks for
// the program before it turns "%%" back into '%', so it finds none; ExecValue covers '%'.)
void AutostartTest::AddedEntryLaunchesProgram() {
  const QString gio = QStandardPaths::findExecutable("gio");
  if (gio.isEmpty()) QSKIP("gio is not installed");

  const QString folder = folders_.FilePath("odd \"dir\" $HOME `x` back\\slash it's; tab\there");
  QVERIFY(QDir().mkpath(folder));
  const QString program = folder + "/corvella";
  const QString marker = folders_.FilePath("launched");
  WriteFile(program, "#!/bin/sh\nprintf '%s' \"$0\" > \"$CORVELLA_MARKER\"\n");
  QVERIFY(QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));

  Make(program.toStdString()).AddToStartup();
  QProcess launcher;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("CORVELLA_MARKER", marker);
  launcher.setProcessEnvironment(environment);
  launcher.setProcessChannelMode(QProcess::ForwardedChannels);
  launcher.start(gio, {"launch", EntryPath()});
  QVERIFY(launcher.waitForFinished(10000));
  QCOMPARE(launcher.exitCode(), 0);
  QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(marker), 10000);
  QTRY_COMPARE_WITH_TIMEOUT(QString::fromUtf8(ReadFile(marker)), program, 5000);
}

void AutostartTest::AddReplacesSwitchedOffEntry() {
  QVERIFY(QDir().mkpath(configDir_ + "/autostart"));
  WriteFile(EntryPath(), "[Desktop Entry]\nType=Application\nExec=/old/corvella\nHidden=true\n");
  Autostart autostart = Make();
  QVERIFY(!autostart.IsInStartup());
  autostart.AddToStartup();
  QVERIFY(autostart.IsInStartup());
  QVERIFY(!ReadFile(EntryPath()).contains("Hidden"));
  QVERIFY(ReadFile(EntryPath()).contains("Exec=\"/opt/Corvella/corvella\"\n"));
}

void AutostartTest::AddReplacesLinkNotItsTarget_data() {
  QTest::addColumn<bool>("targetExists");

  QTest::newRow("link to a file") << true;
  QTest::newRow("link to nothing") << false;
}

void AutostartTest::AddReplacesLinkNotItsTarget() {
  QFETCH(bool, targetExists);
  // The entry is a link to a file of another program.
  const QString target = folders_.FilePath("other/entry.desktop");
  QVERIFY(QDir().mkpath(folders_.FilePath("other")));
  if (targetExists) WriteFile(target, "theirs");
  QVERIFY(QDir().mkpath(configDir_ + "/autostart"));
  QVERIFY(QFile::link(target, EntryPath()));

  Make().AddToStartup();

  QVERIFY(!QFileInfo(EntryPath()).isSymLink());
  QVERIFY(ReadFile(EntryPath()).contains("Exec=\"/opt/Corvella/corvella\"\n"));
  QCOMPARE(QFileInfo::exists(target), targetExists);
  if (targetExists) QCOMPARE(ReadFile(target), QByteArray("theirs"));
  QCOMPARE(QDir(configDir_ + "/autostart")
               .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
           QStringList{"Corvella.desktop"});
}

void AutostartTest::RemoveDeletesEntry() {
  Autostart autostart = Make();
  autostart.AddToStartup();
  autostart.RemoveFromStartup();
  QVERIFY(!QFileInfo::exists(EntryPath()));
  QVERIFY(!autostart.IsInStartup());
  // The folder stays; only the entry is ours.
  QVERIFY(QFileInfo(configDir_ + "/autostart").isDir());
}

void AutostartTest::RemoveAfterAnotherToolRemovedIt() {
  const QString expected =
      "Unable to open key \"" + configDir_ + "/autostart\" and access value \"Corvella.desktop\"";
  Autostart autostart = Make();
  // Never added: not even the folder exists.
  QCOMPARE(ErrorText([&] { autostart.RemoveFromStartup(); }), expected);

  autostart.AddToStartup();
  QVERIFY(QFile::remove(EntryPath()));
  QVERIFY(!autostart.IsInStartup());
  QCOMPARE(ErrorText([&] { autostart.RemoveFromStartup(); }), expected);
}

void AutostartTest::AddFails_data() {
  QTest::addColumn<QString>("blocker");  // made a file (or a folder) to block the write
  QTest::addColumn<bool>("asFolder");
  QTest::newRow("file where the autostart folder should be") << "autostart" << false;
  QTest::newRow("folder where the entry should be") << "autostart/Corvella.desktop" << true;
}

void AutostartTest::AddFails() {
  QFETCH(QString, blocker);
  QFETCH(bool, asFolder);
  const QString path = configDir_ + "/" + blocker;
  if (asFolder) {
    QVERIFY(QDir().mkpath(path));
  } else {
    WriteFile(path, "x");
  }
  Autostart autostart = Make();
  QCOMPARE(ErrorText([&] { autostart.AddToStartup(); }),
           "Unable to open key \"" + configDir_ + "/autostart\" for write");
  QVERIFY(!autostart.IsInStartup());
  if (!asFolder) QCOMPARE(ReadFile(path), QByteArray("x"));
}

void AutostartTest::IsInStartup_data() {
  QTest::addColumn<QByteArray>("content");
  QTest::addColumn<bool>("on");
  const QByteArray head = "[Desktop Entry]\nType=Application\nName=Corvella\n";
  QTest::newRow("ours") << head + "Exec=\"/opt/Corvella/corvella\"\n" << true;
  QTest::newRow("another program's path") << head + "Exec=/usr/bin/true\n" << true;
  QTest::newRow("Hidden=true") << head + "Exec=x\nHidden=true\n" << false;
  QTest::newRow("Hidden=true before Exec") << head + "Hidden=true\nExec=x\n" << false;
  QTest::newRow("Hidden = true with blanks") << head + "Exec=x\nHidden = true\n" << false;
  QTest::newRow("Hidden=false") << head + "Exec=x\nHidden=false\n" << true;
  QTest::newRow("disabled by the session") << head + "Exec=x\nX-GNOME-Autostart-enabled=false\n"
                                           << false;
  QTest::newRow("empty Exec") << head + "Exec=\n" << false;
  QTest::newRow("blank Exec") << head + "Exec=   \n" << false;
  QTest::newRow("no Exec") << head << false;
  QTest::newRow("Exec in another group") << head + "[Desktop Action New]\nExec=x\n" << false;
  QTest::newRow("Hidden in another group") << head + "Exec=x\n[Desktop Action New]\nHidden=true\n"
                                           << true;
  QTest::newRow("localized Exec key") << head + "Exec[de]=x\n" << false;
  QTest::newRow("commented Exec") << head + "#Exec=x\n" << false;
  QTest::newRow("CRLF lines") << QByteArray("[Desktop Entry]\r\nExec=x\r\n") << true;
  QTest::newRow("no group header") << QByteArray("Exec=x\n") << false;
  QTest::newRow("empty file") << QByteArray("") << false;
}

void AutostartTest::IsInStartup() {
  QFETCH(QByteArray, content);
  QFETCH(bool, on);
  QVERIFY(QDir().mkpath(configDir_ + "/autostart"));
  WriteFile(EntryPath(), content);
  QCOMPARE(Make().IsInStartup(), on);
}

void AutostartTest::ConfigDirWithOrWithoutSlash() {
  const Autostart plain(configDir_.toStdString(), "/p");
  const Autostart slashed(configDir_.toStdString() + "/", "/p");
  QCOMPARE(slashed.EntryPath(), plain.EntryPath());
  QCOMPARE(QString::fromStdString(plain.EntryPath()), EntryPath());
  Autostart autostart(configDir_.toStdString() + "//", "/p");
  QCOMPARE(
      ErrorText([&] { autostart.RemoveFromStartup(); }),
      "Unable to open key \"" + configDir_ + "/autostart\" and access value \"Corvella.desktop\"");
}

void AutostartTest::DefaultFollowsXdgConfigHome() {
  Autostart autostart;
  QCOMPARE(QString::fromStdString(autostart.EntryPath()),
           folders_.ConfigHome() + "/autostart/Corvella.desktop");
  autostart.AddToStartup();
  // The running program's own path, quoted.
  const QByteArray exec =
      "Exec=\"" + QFile::encodeName(QFileInfo("/proc/self/exe").symLinkTarget()) + "\"\n";
  QVERIFY2(ReadFile(QString::fromStdString(autostart.EntryPath())).contains(exec), exec.data());
  autostart.RemoveFromStartup();
}

QTEST_GUILESS_MAIN(AutostartTest)
#include "AutostartTest.moc"
