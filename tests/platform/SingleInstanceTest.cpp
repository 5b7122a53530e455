// The one-copy rule, with real processes: the probe program runs the same code as the desktop
// program's start. All probes share one program file, hence one instance key; each test gets
// its own runtime folder, so the lock and the socket live there.

#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <optional>
#include <vector>

#include "platform/SingleInstance.h"

using corvella::platform::SingleInstance;

namespace {

const QString kProbe = QStringLiteral(CORVELLA_INSTANCE_PROBE);
// A second copy that got its answer ends well before the 2 s it would wait for none.
constexpr qint64 kMaxHandOverMs = 1500;

}  // namespace

class SingleInstanceTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();

  void BaseName();
  void SecondStartShowsFirst();
  void SimultaneousStarts_data();
  void SimultaneousStarts();
  void KilledPrimaryDoesNotBlock();
  void LeftLockFileIsTakenOver_data();
  void LeftLockFileIsTakenOver();
  void OldLockOfLivePrimaryIsKept();
  void OtherProgramFile_data();
  void OtherProgramFile();

 private:
  QProcess& Start(const QString& program = kProbe, const QStringList& arguments = {});
  static QByteArray ReadLine(QProcess& process, int timeoutMs = 10000);
  void ExpectSecondary(QProcess& process);
  void Stop(QProcess& process);
  void WriteLeftLock(const QByteArray& content, qint64 ageSeconds = 60);
  QString LockPath(const QString& program = kProbe) const {
    return runtime_->filePath(SingleInstance::BaseNameFor(program) + ".lock");
  }
  QString ServerPath(const QString& program = kProbe) const {
    return runtime_->filePath(SingleInstance::BaseNameFor(program) + ".socket");
  }

  std::optional<QTemporaryDir> runtime_;
  std::vector<std::unique_ptr<QProcess>> processes_;
};

void SingleInstanceTest::init() {
  runtime_.emplace();
  QVERIFY(runtime_->isValid());
}

void SingleInstanceTest::cleanup() {
  for (auto& process : processes_) {
    if (process->state() != QProcess::NotRunning) {
      process->kill();
      process->waitForFinished(5000);
    }
  }
  processes_.clear();
}

QProcess& SingleInstanceTest::Start(const QString& program, const QStringList& arguments) {
  auto process = std::make_unique<QProcess>();
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("XDG_RUNTIME_DIR", runtime_->path());
  process->setProcessEnvironment(environment);
  process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
  process->start(program, arguments);
  processes_.push_back(std::move(process));
  return *processes_.back();
}

QByteArray SingleInstanceTest::ReadLine(QProcess& process, int timeoutMs) {
  const QDeadlineTimer deadline(timeoutMs);
  while (!process.canReadLine() && !deadline.hasExpired()) {
    if (!process.waitForReadyRead(static_cast<int>(deadline.remainingTime())) &&
        process.state() == QProcess::NotRunning) {
      break;
    }
  }
  return process.canReadLine() ? process.readLine().trimmed() : QByteArray();
}

void SingleInstanceTest::ExpectSecondary(QProcess& process) {
  const QByteArray line = ReadLine(process);
  const QRegularExpressionMatch match =
      QRegularExpression("^secondary (\\d+)$").match(QString::fromLatin1(line));
  QVERIFY2(match.hasMatch(), line.constData());
  const qint64 handOverMs = match.captured(1).toLongLong();
  QVERIFY2(handOverMs < kMaxHandOverMs, line.constData());
  QVERIFY(process.waitForFinished(5000));
  QCOMPARE(process.exitStatus(), QProcess::NormalExit);
  QCOMPARE(process.exitCode(), 0);
}

void SingleInstanceTest::Stop(QProcess& process) {
  process.closeWriteChannel();
  QVERIFY(process.waitForFinished(5000));
  QCOMPARE(process.exitStatus(), QProcess::NormalExit);
  QCOMPARE(process.exitCode(), 0);
}

// A lock file left behind ageSeconds ago.
void SingleInstanceTest::WriteLeftLock(const QByteArray& content, qint64 ageSeconds) {
  QFile lock(LockPath());
  QVERIFY(lock.open(QIODevice::WriteOnly | QIODevice::Truncate));
  QCOMPARE(lock.write(content), content.size());
  QVERIFY(lock.flush());
  QVERIFY(lock.setFileTime(QDateTime::currentDateTime().addSecs(-ageSeconds),
                           QFileDevice::FileModificationTime));
}

void SingleInstanceTest::BaseName() {
  const QString name = SingleInstance::BaseNameFor("/nonexistent/corvella");
  QCOMPARE(name, QStringLiteral("corvella-407afedd6a04bb2b-%1").arg(::getuid()));
  QCOMPARE(SingleInstance::BaseNameFor("/nonexistent/corvella"), name);
  QVERIFY(SingleInstance::BaseNameFor("/nonexistent/Corvella") != name);

  // A path is taken canonical: a link and a detour name the program file itself.
  const QString link = runtime_->filePath("link");
  QVERIFY(QFile::link(kProbe, link));
  const QString probeName = SingleInstance::BaseNameFor(kProbe);
  QCOMPARE(SingleInstance::BaseNameFor(link), probeName);
  QCOMPARE(SingleInstance::BaseNameFor(QFileInfo(kProbe).absolutePath() + "/./" +
                                       QFileInfo(kProbe).fileName()),
           probeName);
}

void SingleInstanceTest::SecondStartShowsFirst() {
  QProcess& primary = Start();
  QCOMPARE(ReadLine(primary), QByteArray("primary"));
  QVERIFY(QFileInfo::exists(LockPath()));
  QVERIFY(QFileInfo::exists(ServerPath()));
  for (const QString& path : {LockPath(), ServerPath()}) {
    QCOMPARE(QFileInfo(path).permissions() &
                 (QFile::ReadOther | QFile::WriteOther | QFile::ReadGroup | QFile::WriteGroup),
             QFile::Permissions());
  }

  for (int start = 0; start < 3; ++start) {
    ExpectSecondary(Start());
    QCOMPARE(ReadLine(primary), QByteArray("show"));
  }
  Stop(primary);
  // A copy that ends normally leaves nothing behind.
  QVERIFY(!QFileInfo::exists(LockPath()));
  QVERIFY(!QFileInfo::exists(ServerPath()));
}

void SingleInstanceTest::SimultaneousStarts_data() {
  QTest::addColumn<int>("copies");
  QTest::addColumn<int>("rounds");
  QTest::addColumn<QByteArray>("leftLock");  // a stale lock file present at the start, if any

  QProcess gone;
  gone.start("/bin/true");
  QVERIFY(gone.waitForStarted());
  const QByteArray deadPid = QByteArray::number(gone.processId());
  QVERIFY(gone.waitForFinished());

  QTest::newRow("2 copies") << 2 << 10 << QByteArray();
  QTest::newRow("4 copies") << 4 << 3 << QByteArray();
  QTest::newRow("4 copies over a crashed copy's lock")
      << 4 << 3 << deadPid + "\n" + QFileInfo(kProbe).fileName().toUtf8() + "\n";
  QTest::newRow("4 copies over an empty lock") << 4 << 3 << QByteArray("");
}

void SingleInstanceTest::SimultaneousStarts() {
  QFETCH(int, copies);
  QFETCH(int, rounds);
  QFETCH(QByteArray, leftLock);
  for (int round = 0; round < rounds; ++round) {
    if (!leftLock.isNull()) WriteLeftLock(leftLock);
    // Every copy sleeps until the same instant before it tries, so they really race.
    const QString startAt = QString::number(QDateTime::currentMSecsSinceEpoch() + 400);
    std::vector<QProcess*> started;
    for (int copy = 0; copy < copies; ++copy) started.push_back(&Start(kProbe, {"30", startAt}));

    QProcess* primary = nullptr;
    for (QProcess* process : started) {
      const QByteArray line = ReadLine(*process);
      if (line == "primary") {
        QVERIFY2(primary == nullptr, "two primaries");
        primary = process;
      } else {
        QVERIFY2(line.startsWith("secondary "), line.constData());
        QVERIFY(process->waitForFinished(5000));
        QCOMPARE(process->exitCode(), 0);
      }
    }
    QVERIFY2(primary != nullptr, "no primary");
    for (int show = 1; show < copies; ++show) QCOMPARE(ReadLine(*primary), QByteArray("show"));
    Stop(*primary);
    cleanup();
  }
}

void SingleInstanceTest::KilledPrimaryDoesNotBlock() {
  QProcess& first = Start();
  QCOMPARE(ReadLine(first), QByteArray("primary"));
  const qint64 firstPid = first.processId();
  ::kill(static_cast<pid_t>(firstPid), SIGKILL);
  QVERIFY(first.waitForFinished(5000));
  QCOMPARE(first.exitStatus(), QProcess::CrashExit);
  // The crash left both files behind.
  QVERIFY(QFileInfo::exists(LockPath()));
  QVERIFY(QFileInfo::exists(ServerPath()));

  QProcess& next = Start();
  QCOMPARE(ReadLine(next), QByteArray("primary"));
  // It listens again over the stale socket file.
  ExpectSecondary(Start());
  QCOMPARE(ReadLine(next), QByteArray("show"));
  Stop(next);
}

// Only the flock counts: neither what a left file says nor its age keeps the next copy out.
void SingleInstanceTest::LeftLockFileIsTakenOver_data() {
  QTest::addColumn<QByteArray>("content");
  QTest::addColumn<qint64>("ageSeconds");
  QTest::newRow("empty") << QByteArray() << qint64{60};
  QTest::newRow("garbage") << QByteArray("garbage\n") << qint64{60};
  QTest::newRow("naming a live process")
      << QByteArray::number(QCoreApplication::applicationPid()) + '\n' +
             QFile::encodeName(QFileInfo(QCoreApplication::applicationFilePath()).fileName()) + '\n'
      << qint64{60};
  QTest::newRow("left a moment ago") << QByteArray() << qint64{0};
}

void SingleInstanceTest::LeftLockFileIsTakenOver() {
  QFETCH(QByteArray, content);
  QFETCH(qint64, ageSeconds);
  WriteLeftLock(content, ageSeconds);
  QProcess& probe = Start();
  QCOMPARE(ReadLine(probe), QByteArray("primary"));
  ExpectSecondary(Start());
  QCOMPARE(ReadLine(probe), QByteArray("show"));
  Stop(probe);
}

void SingleInstanceTest::OldLockOfLivePrimaryIsKept() {
  QProcess& primary = Start();
  QCOMPARE(ReadLine(primary), QByteArray("primary"));
  // Age alone never makes a live copy's lock stale.
  QFile lock(LockPath());
  QVERIFY(lock.open(QIODevice::ReadWrite));
  QVERIFY(lock.setFileTime(QDateTime::currentDateTime().addSecs(-3600),
                           QFileDevice::FileModificationTime));
  lock.close();

  ExpectSecondary(Start());
  QCOMPARE(ReadLine(primary), QByteArray("show"));
  Stop(primary);
}

void SingleInstanceTest::OtherProgramFile_data() {
  QTest::addColumn<bool>("copy");  // else a symbolic link
  QTest::addColumn<bool>("separate");
  QTest::newRow("copy in another folder runs beside") << true << true;
  QTest::newRow("link to the program file is the same program") << false << false;
}

void SingleInstanceTest::OtherProgramFile() {
  QFETCH(bool, copy);
  QFETCH(bool, separate);
  const QString other = runtime_->filePath("other/platform_instance_probe");
  QVERIFY(QDir().mkpath(QFileInfo(other).absolutePath()));
  QVERIFY(copy ? QFile::copy(kProbe, other) : QFile::link(kProbe, other));

  QProcess& primary = Start();
  QCOMPARE(ReadLine(primary), QByteArray("primary"));
  QProcess& second = Start(other);
  if (separate) {
    QCOMPARE(ReadLine(second), QByteArray("primary"));
    // Each answers its own program file only.
    ExpectSecondary(Start(other));
    QCOMPARE(ReadLine(second), QByteArray("show"));
    ExpectSecondary(Start());
    QCOMPARE(ReadLine(primary), QByteArray("show"));
    Stop(second);
  } else {
    ExpectSecondary(second);
    QCOMPARE(ReadLine(primary), QByteArray("show"));
  }
  Stop(primary);
  // No request reached a copy it was not meant for.
  QCOMPARE(primary.readAll(), QByteArray());
  QCOMPARE(second.readAll(), QByteArray());
}

QTEST_GUILESS_MAIN(SingleInstanceTest)
#include "SingleInstanceTest.moc"
