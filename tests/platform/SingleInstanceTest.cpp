// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The one-copy rule, with real processes: the probe program runs the same code as the desktop
// program's start. All probes share one program file, hence one instance key; each test gets
// its own runtime folder, so the lock and the socket live there. The tests that play another
// user need root, to give files to that user.

#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
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
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "platform/SingleInstance.h"

using corvella::platform::SingleInstance;

namespace {

const QString kProbe = QStringLiteral(CORVELLA_INSTANCE_PROBE);
// A second copy that got its answer ends well before the 2 s it would wait for none.
constexpr qint64 kMaxHandOverMs = 1500;
// Another user, played by root giving files away.
constexpr uid_t kOtherUid = 65534;

// Gives `path` (not a link's target) to the other user.
bool GiveToOtherUser(const QString& path) {
  return ::lchown(QFile::encodeName(path).constData(), kOtherUid, kOtherUid) == 0;
}

// Makes a folder with exactly `mode`, whatever the umask.
bool MakeFolder(const QString& path, mode_t mode) {
  return QDir().mkpath(path) && ::chmod(QFile::encodeName(path).constData(), mode) == 0;
}

// What makes a folder unsafe, and what is planted in a safe one.
enum class Unsafe { kMode, kOtherUser, kLink };
enum class Planted { kLockOfOtherUser, kHeldLockOfOtherUser, kSocketOfOtherUser, kLinkAsLock };

}  // namespace

Q_DECLARE_METATYPE(Unsafe)
Q_DECLARE_METATYPE(Planted)

class SingleInstanceTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();

  void BaseName();
  void SecondStartShowsFirst();
  void ActivationTokenIsPassedOn_data();
  void ActivationTokenIsPassedOn();
  void MalformedRequestIsRefused();
  void SimultaneousStarts_data();
  void SimultaneousStarts();
  void KilledPrimaryDoesNotBlock();
  void LeftLockFileIsTakenOver_data();
  void LeftLockFileIsTakenOver();
  void OldLockOfLivePrimaryIsKept();
  void OtherProgramFile_data();
  void OtherProgramFile();
  void OwnFolderWithoutRuntimeFolder();
  void UnsafeFolderIsRefused_data();
  void UnsafeFolderIsRefused();
  void PlantedFileIsRefused_data();
  void PlantedFileIsRefused();

 private:
  QProcess& Start(const QString& program = kProbe, const QStringList& arguments = {});
  static QByteArray ReadLine(QProcess& process, int timeoutMs = 10000);
  void ExpectSecondary(QProcess& process);
  void ExpectRefused(QProcess& process, const QString& path, const QString& reason);
  void Stop(QProcess& process);
  void WriteLeftLock(const QByteArray& content, qint64 ageSeconds = 60);
  QString LockPath(const QString& program = kProbe) const {
    return runtime_->filePath(SingleInstance::BaseNameFor(program) + ".lock");
  }
  QString ServerPath(const QString& program = kProbe) const {
    return runtime_->filePath(SingleInstance::BaseNameFor(program) + ".socket");
  }

  std::optional<QTemporaryDir> runtime_;
  QProcessEnvironment environment_;  // of the next Start()
  std::vector<std::unique_ptr<QProcess>> processes_;
};

void SingleInstanceTest::init() {
  runtime_.emplace();
  QVERIFY(runtime_->isValid());
  environment_ = QProcessEnvironment::systemEnvironment();
  environment_.insert("XDG_RUNTIME_DIR", runtime_->path());
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
  process->setProcessEnvironment(environment_);
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

// Ended at start-up with an error naming `path` and the reason.
void SingleInstanceTest::ExpectRefused(QProcess& process, const QString& path,
                                       const QString& reason) {
  const QString line = QString::fromUtf8(ReadLine(process));
  QVERIFY2(line.startsWith("refused: ") && line.contains('"' + path + '"') && line.contains(reason),
           qUtf8Printable(line));
  QVERIFY(process.waitForFinished(5000));
  QCOMPARE(process.exitStatus(), QProcess::NormalExit);
  QCOMPARE(process.exitCode(), 1);
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

// Sends `request` over the one-copy socket and returns the answer, read until the other end
// closes.
QByteArray Ask(const QString& serverPath, const QByteArray& request) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const QByteArray path = QFile::encodeName(serverPath);
  std::memcpy(address.sun_path, path.constData(), static_cast<std::size_t>(path.size()));
  QByteArray answer;
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
      ::write(fd, request.constData(), static_cast<std::size_t>(request.size())) ==
          request.size()) {
    pollfd readable{fd, POLLIN, 0};
    char buffer[64];
    ssize_t count = 0;
    while (::poll(&readable, 1, 5000) == 1 && (count = ::read(fd, buffer, sizeof buffer)) > 0) {
      answer.append(buffer, count);
    }
  }
  ::close(fd);
  return answer;
}

void SingleInstanceTest::ActivationTokenIsPassedOn_data() {
  QTest::addColumn<QByteArray>("token");  // the second copy's XDG_ACTIVATION_TOKEN
  QTest::addColumn<QByteArray>("shown");  // what the first copy is asked

  QTest::newRow("token") << QByteArray("sway-1-8f3c") << QByteArray("show sway-1-8f3c");
  QTest::newRow("longest token") << QByteArray(256, 'k') << "show " + QByteArray(256, 'k');
  QTest::newRow("too long: none passed") << QByteArray(257, 'k') << QByteArray("show");
  QTest::newRow("a space: none passed") << QByteArray("a b") << QByteArray("show");
  QTest::newRow("a control character: none passed") << QByteArray("a\tb") << QByteArray("show");
}

void SingleInstanceTest::ActivationTokenIsPassedOn() {
  QFETCH(QByteArray, token);
  QFETCH(QByteArray, shown);
  QProcess& primary = Start();
  QCOMPARE(ReadLine(primary), QByteArray("primary"));

  environment_.insert(QStringLiteral("XDG_ACTIVATION_TOKEN"), QString::fromLatin1(token));
  ExpectSecondary(Start());

  QCOMPARE(ReadLine(primary), shown);
  Stop(primary);
}

void SingleInstanceTest::MalformedRequestIsRefused() {
  QProcess& primary = Start();
  QCOMPARE(ReadLine(primary), QByteArray("primary"));
  for (const QByteArray& request : {QByteArray("show a b\n"), QByteArray("show \n"),
                                    QByteArray("showx\n"), "show " + QByteArray(300, 'k') + '\n'}) {
    // Closed unanswered.
    QCOMPARE(Ask(ServerPath(), request), QByteArray());
  }
  // Only well-formed requests show the window.
  ExpectSecondary(Start());
  QCOMPARE(ReadLine(primary), QByteArray("show"));
  Stop(primary);
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

// Without a runtime folder the files go to a folder of our own, never to a shared one.
void SingleInstanceTest::OwnFolderWithoutRuntimeFolder() {
  environment_.remove("XDG_RUNTIME_DIR");
  const QString cache = runtime_->filePath("cache");
  environment_.insert("XDG_CACHE_HOME", cache);
  const QString folder = cache + "/Corvella/run";

  QProcess& primary = Start();
  QCOMPARE(ReadLine(primary), QByteArray("primary"));
  struct stat status {};
  QCOMPARE(::lstat(QFile::encodeName(folder).constData(), &status), 0);
  QVERIFY(S_ISDIR(status.st_mode));
  QCOMPARE(status.st_mode & 0777, 0700u);
  const QString baseName = SingleInstance::BaseNameFor(kProbe);
  QVERIFY(QFileInfo::exists(folder + '/' + baseName + ".lock"));
  QVERIFY(QFileInfo::exists(folder + '/' + baseName + ".socket"));

  ExpectSecondary(Start());
  QCOMPARE(ReadLine(primary), QByteArray("show"));
  Stop(primary);
}

void SingleInstanceTest::UnsafeFolderIsRefused_data() {
  QTest::addColumn<bool>("runtime");  // else the cache folder's Corvella/run
  QTest::addColumn<Unsafe>("unsafe");
  QTest::addColumn<uint>("mode");
  QTest::addColumn<QString>("reason");
  QTest::newRow("runtime folder others can read") << true << Unsafe::kMode << 0755u << "mode 755";
  QTest::newRow("runtime folder the group can enter")
      << true << Unsafe::kMode << 0710u << "mode 710";
  QTest::newRow("runtime folder of another user")
      << true << Unsafe::kOtherUser << 0700u << "belongs to another user";
  QTest::newRow("runtime folder as a link to a private folder")
      << true << Unsafe::kLink << 0700u << "symbolic link";
  QTest::newRow("cache folder others can read") << false << Unsafe::kMode << 0755u << "mode 755";
  QTest::newRow("cache folder of another user")
      << false << Unsafe::kOtherUser << 0700u << "belongs to another user";
}

// The folder is checked before anything is made in it or asked through it.
void SingleInstanceTest::UnsafeFolderIsRefused() {
  QFETCH(bool, runtime);
  QFETCH(Unsafe, unsafe);
  QFETCH(uint, mode);
  QFETCH(QString, reason);
  const QString path = runtime_->filePath(runtime ? "runtime" : "cache/Corvella/run");
  // Where the files would go: the folder, or the target of the link.
  const QString target = unsafe == Unsafe::kLink ? runtime_->filePath("target") : path;
  QVERIFY(MakeFolder(target, mode));
  if (unsafe == Unsafe::kLink) QVERIFY(QFile::link(target, path));
  if (unsafe == Unsafe::kOtherUser && !GiveToOtherUser(path)) {
    QSKIP("needs root to play another user");
  }
  if (runtime) {
    environment_.insert("XDG_RUNTIME_DIR", path);
  } else {
    environment_.remove("XDG_RUNTIME_DIR");
    environment_.insert("XDG_CACHE_HOME", runtime_->filePath("cache"));
  }
  ExpectRefused(Start(), path, reason);
  QCOMPARE(QDir(target).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot),
           QStringList());
}

void SingleInstanceTest::PlantedFileIsRefused_data() {
  QTest::addColumn<Planted>("planted");
  QTest::addColumn<QString>("reason");
  QTest::newRow("left lock file of another user")
      << Planted::kLockOfOtherUser << "belongs to another user";
  QTest::newRow("held lock file of another user")
      << Planted::kHeldLockOfOtherUser << "belongs to another user";
  QTest::newRow("socket of another user")
      << Planted::kSocketOfOtherUser << "belongs to another user";
  QTest::newRow("link in place of the lock file") << Planted::kLinkAsLock << "not a regular file";
}

// Files in the folder that this program did not make are refused, and no request goes through
// them.
void SingleInstanceTest::PlantedFileIsRefused() {
  QFETCH(Planted, planted);
  QFETCH(QString, reason);
  // A running copy whose files then change hands stands for another user's program.
  QProcess* primary = nullptr;
  if (planted == Planted::kHeldLockOfOtherUser || planted == Planted::kSocketOfOtherUser) {
    primary = &Start();
    QCOMPARE(ReadLine(*primary), QByteArray("primary"));
  }
  QString path = LockPath();
  switch (planted) {
    case Planted::kLockOfOtherUser:
      WriteLeftLock("");
      [[fallthrough]];
    case Planted::kHeldLockOfOtherUser:
      if (!GiveToOtherUser(path)) QSKIP("needs root to play another user");
      break;
    case Planted::kSocketOfOtherUser:
      path = ServerPath();
      if (!GiveToOtherUser(path)) QSKIP("needs root to play another user");
      break;
    case Planted::kLinkAsLock:
      QVERIFY(QFile(runtime_->filePath("target")).open(QIODevice::WriteOnly));
      QVERIFY(QFile::link(runtime_->filePath("target"), path));
      break;
  }
  ExpectRefused(Start(), path, reason);
  if (primary != nullptr) {
    Stop(*primary);
    QCOMPARE(primary->readAll(), QByteArray());  // no "show"
  }
}

QTEST_GUILESS_MAIN(SingleInstanceTest)
#include "SingleInstanceTest.moc"
