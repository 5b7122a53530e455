// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

// One program at a time per password file, with real processes: the probe holds the lock the way
// a program with the file open does. Every test works in a folder of its own.

#include <sys/stat.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "platform/VaultLock.h"

using corvella::platform::VaultLock;
using corvella::test::ErrorText;
using corvella::test::ReadFile;
using corvella::test::WriteFile;

namespace {

const QString kProbe = QStringLiteral(CORVELLA_VAULT_LOCK_PROBE);

std::string Bytes(const QString& path) { return QFile::encodeName(path).toStdString(); }

QString OpenElsewhere(const QString& path) {
  return "The password file " + path + " is open in another program";
}

}  // namespace

class VaultLockTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();

  void heldElsewhere_data();
  void heldElsewhere();
  void releasedWhenHolderEnds_data();
  void releasedWhenHolderEnds();
  void staleLockFile_data();
  void staleLockFile();
  void linkAtLockPathRefused();
  void writerClearsLeftovers();
  void readNeedsNoFolder();

 private:
  QProcess& StartHolder(const QString& vault);
  static QByteArray ReadLine(QProcess& process);
  QString Path(const QString& name) const { return folder_->filePath(name); }
  QString Vault() const { return Path("Passwords.dat"); }
  QString LockFile() const { return Path("Passwords.dat.lock"); }

  std::optional<QTemporaryDir> folder_;
  std::vector<std::unique_ptr<QProcess>> holders_;
};

void VaultLockTest::init() {
  folder_.emplace();
  QVERIFY(folder_->isValid());
}

void VaultLockTest::cleanup() {
  for (auto& holder : holders_) {
    holder->kill();
    holder->waitForFinished(5000);
  }
  holders_.clear();
}

QProcess& VaultLockTest::StartHolder(const QString& vault) {
  auto process = std::make_unique<QProcess>();
  process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
  process->start(kProbe, {vault});
  holders_.push_back(std::move(process));
  return *holders_.back();
}

QByteArray VaultLockTest::ReadLine(QProcess& process) {
  const QDeadlineTimer deadline(10000);
  while (!process.canReadLine() && !deadline.hasExpired()) {
    if (!process.waitForReadyRead(static_cast<int>(deadline.remainingTime())) &&
        process.state() == QProcess::NotRunning) {
      break;
    }
  }
  return process.canReadLine() ? process.readLine().trimmed() : QByteArray();
}

void VaultLockTest::heldElsewhere_data() {
  QTest::addColumn<QString>("held");   // the path the other program opened
  QTest::addColumn<QString>("asked");  // the path asked for here
  QTest::addColumn<bool>("forReading");

  QTest::newRow("same path") << "Passwords.dat"
                             << "Passwords.dat" << false;
  QTest::newRow("same path, to read") << "Passwords.dat"
                                      << "Passwords.dat" << true;
  QTest::newRow("asked through a link") << "Passwords.dat"
                                        << "link.dat" << false;
  QTest::newRow("held through a link") << "link.dat"
                                       << "Passwords.dat" << false;
}

void VaultLockTest::heldElsewhere() {
  QFETCH(QString, held);
  QFETCH(QString, asked);
  QFETCH(bool, forReading);
  QVERIFY(QFile::link("Passwords.dat", Path("link.dat")));
  QProcess& holder = StartHolder(Path(held));
  QCOMPARE(ReadLine(holder), QByteArray("locked"));
  QVERIFY(QFileInfo(LockFile()).isFile());
  QCOMPARE(QFileInfo(LockFile()).permissions() &
               ~(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser),
           QFile::Permissions());
  const VaultLock::Purpose purpose =
      forReading ? VaultLock::Purpose::Read : VaultLock::Purpose::Write;

  QCOMPARE(ErrorText([&] { VaultLock lock(Bytes(Path(asked)), purpose); }),
           OpenElsewhere(Path(asked)));
  // As refused a second program, here one more.
  QProcess& second = StartHolder(Path(asked));
  QCOMPARE(ReadLine(second), ("refused " + OpenElsewhere(Path(asked))).toUtf8());
  QVERIFY(second.waitForFinished(5000));
  QCOMPARE(second.exitCode(), 1);

  // Within one program too, a second holder is refused.
  holder.closeWriteChannel();
  QVERIFY(holder.waitForFinished(5000));
  const VaultLock first(Bytes(Path(asked)), purpose);
  QVERIFY(first.Held());
  QCOMPARE(ErrorText([&] { VaultLock again(Bytes(Path(held))); }), OpenElsewhere(Path(held)));
}

void VaultLockTest::releasedWhenHolderEnds_data() {
  QTest::addColumn<bool>("killed");

  QTest::newRow("holder lets go") << false;
  QTest::newRow("holder killed") << true;
}

void VaultLockTest::releasedWhenHolderEnds() {
  QFETCH(bool, killed);
  QProcess& holder = StartHolder(Vault());
  QCOMPARE(ReadLine(holder), QByteArray("locked"));

  if (killed) {
    holder.kill();
  } else {
    holder.closeWriteChannel();
  }
  QVERIFY(holder.waitForFinished(5000));
  QCOMPARE(holder.exitStatus(), killed ? QProcess::CrashExit : QProcess::NormalExit);
  // A killed holder leaves its lock file; the kernel has dropped the lock on it.
  QCOMPARE(QFileInfo::exists(LockFile()), killed);

  {
    const VaultLock lock(Bytes(Vault()));
    QVERIFY(lock.Held());
    QCOMPARE(QString::fromStdString(lock.LockPath()), LockFile());
  }
  QVERIFY(!QFileInfo::exists(LockFile()));
  QProcess& next = StartHolder(Vault());
  QCOMPARE(ReadLine(next), QByteArray("locked"));
}

void VaultLockTest::staleLockFile_data() {
  QTest::addColumn<QByteArray>("content");
  QTest::addColumn<int>("mode");

  QByteArray everyByte;
  for (int i = 0; i < 64 * 1024; ++i) everyByte += static_cast<char>(i % 256);
  QTest::newRow("empty") << QByteArray() << 0600;
  QTest::newRow("a process number") << QByteArray("4242\ncorvella\n") << 0600;
  QTest::newRow("64 kB of every byte") << everyByte << 0600;
  QTest::newRow("no permissions") << QByteArray("x") << 0;
}

void VaultLockTest::staleLockFile() {
  QFETCH(QByteArray, content);
  QFETCH(int, mode);
  WriteFile(LockFile(), content);
  QCOMPARE(::chmod(QFile::encodeName(LockFile()).constData(), static_cast<mode_t>(mode)), 0);

  QProcess& holder = StartHolder(Vault());
  QCOMPARE(ReadLine(holder), QByteArray("locked"));
  QCOMPARE(ErrorText([&] { VaultLock lock(Bytes(Vault())); }), OpenElsewhere(Vault()));
  holder.closeWriteChannel();
  QVERIFY(holder.waitForFinished(5000));
  QCOMPARE(holder.exitCode(), 0);
  QVERIFY(!QFileInfo::exists(LockFile()));
}

void VaultLockTest::linkAtLockPathRefused() {
  // A link planted at the lock file's place is neither followed nor replaced.
  QVERIFY(QFile::link(Path("elsewhere"), LockFile()));
  QCOMPARE(ErrorText([&] { VaultLock lock(Bytes(Vault())); }),
           "Cannot lock file \"" + LockFile() + "\". Too many levels of symbolic links");
  QVERIFY(!QFileInfo::exists(Path("elsewhere")));
  QCOMPARE(QFileInfo(LockFile()).symLinkTarget(), Path("elsewhere"));
}

void VaultLockTest::writerClearsLeftovers() {
  // Temporary files of killed saves of this file go; everything else stays.
  const QStringList leftovers = {".Passwords.dat.Ab12Cd.tmp", ".Passwords.dat.zzzzzz.tmp"};
  const QStringList others = {".Passwords.dat.Ab12Cd",     ".Passwords.dat.Ab1.tmp",
                              ".Passwords.dat.Ab-2Cd.tmp", "Passwords.dat.tmp",
                              ".Other.dat.Ab12Cd.tmp",     "Passwords.dat"};
  for (const QString& name : leftovers + others) WriteFile(Path(name), "left");
  QVERIFY(QDir().mkdir(Path(".Passwords.dat.Folder.tmp")));
  QVERIFY(QFile::link(Path("Passwords.dat"), Path(".Passwords.dat.Link12.tmp")));
  // Another user's file in a shared folder is not ours to remove.
  const QString foreign = Path(".Passwords.dat.NotOur.tmp");
  WriteFile(foreign, "theirs");
  const bool foreignOwner = ::chown(QFile::encodeName(foreign).constData(), 65534, 65534) == 0;
  const QDir::Filters all = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
  QStringList before = QDir(folder_->path()).entryList(all);

  // A reader removes nothing.
  { const VaultLock lock(Bytes(Vault()), VaultLock::Purpose::Read); }
  QCOMPARE(QDir(folder_->path()).entryList(all), before);

  { const VaultLock lock(Bytes(Vault())); }
  for (const QString& name : leftovers) before.removeAll(name);
  if (!foreignOwner) before.removeAll(".Passwords.dat.NotOur.tmp");  // not root: it was ours
  QCOMPARE(QDir(folder_->path()).entryList(all), before);
  QCOMPARE(ReadFile(Path("Passwords.dat")), QByteArray("left"));
}

void VaultLockTest::readNeedsNoFolder() {
  const QString vault = Path("missing/Passwords.dat");
  {
    const VaultLock lock(Bytes(vault), VaultLock::Purpose::Read);
    QVERIFY(!lock.Held());
  }
  QVERIFY(!QFileInfo::exists(Path("missing")));

  // A writer makes the folder, private to the user.
  {
    const VaultLock lock(Bytes(vault));
    QVERIFY(lock.Held());
    QVERIFY(QFileInfo(Path("missing/Passwords.dat.lock")).isFile());
  }
  QCOMPARE(QFileInfo(Path("missing")).permissions(), QFile::ReadOwner | QFile::WriteOwner |
                                                         QFile::ExeOwner | QFile::ReadUser |
                                                         QFile::WriteUser | QFile::ExeUser);
  QCOMPARE(QDir(Path("missing")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
           QStringList());
}

QTEST_GUILESS_MAIN(VaultLockTest)
#include "VaultLockTest.moc"
