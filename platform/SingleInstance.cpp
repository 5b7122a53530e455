#include "SingleInstance.h"

#include <unistd.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>
#include <QtGlobal>

namespace corvella::platform {
namespace {

constexpr int kAnswerTimeoutMs = 2000;
constexpr int kRetryPauseMs = 20;
// A lock file whose owner QLockFile cannot judge (empty, or its PID now used by a program of
// the same name) and older than this is taken over when no process holds its flock.
constexpr qint64 kUnjudgedLockAgeMs = 5000;
// A client that sends nothing sensible for this long is dropped.
constexpr int kClientTimeoutMs = 5000;
constexpr qint64 kMaxRequestSize = 64;

const QByteArray kShowRequest = "show\n";
const QByteArray kShowAnswer = "ok\n";

QString CanonicalProgramPath() {
  const QString path = QCoreApplication::applicationFilePath();
  const QString canonical = QFileInfo(path).canonicalFilePath();
  return canonical.isEmpty() ? path : canonical;  // the file may have been replaced meanwhile
}

}  // namespace

SingleInstance::SingleInstance(QObject* parent)
    : QObject(parent),
      baseName_(BaseNameFor(CanonicalProgramPath())),
      directory_(RuntimeDir()),
      lock_(LockPath()) {
  // A lock is stale only when its owner is gone, never because of its age: the first copy
  // holds it for as long as it runs.
  lock_.setStaleLockTime(0);
}

SingleInstance::~SingleInstance() {
  // Close the server before releasing the lock: closing unlinks the socket path, which must not
  // hit the socket of a copy that took over the lock meanwhile.
  if (server_ != nullptr) server_->close();
  lock_.unlock();
}

QString SingleInstance::BaseNameFor(const QString& programPath) {
  const QString canonical = QFileInfo(programPath).canonicalFilePath();
  const QByteArray digest = QCryptographicHash::hash(
      QFile::encodeName(canonical.isEmpty() ? programPath : canonical), QCryptographicHash::Sha256);
  return QStringLiteral("corvella-%1-%2")
      .arg(QString::fromLatin1(digest.toHex().left(16)))
      .arg(::getuid());
}

QString SingleInstance::RuntimeDir() {
  const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  return runtime.isEmpty() ? QDir::tempPath() : runtime;
}

QString SingleInstance::LockPath() const { return directory_ + '/' + baseName_ + ".lock"; }

QString SingleInstance::ServerPath() const { return directory_ + '/' + baseName_ + ".socket"; }

bool SingleInstance::TryBecomePrimary() {
  if (lock_.isLocked()) return true;
  // The lock holder may not listen yet, or may be just ending: keep trying both until one
  // answers, so that a start is never lost to a copy that is going away.
  QDeadlineTimer deadline(kAnswerTimeoutMs);
  while (true) {
    if (TryLock()) {
      Listen();
      return true;
    }
    if (lock_.error() != QLockFile::LockFailedError) {
      // No lock can be made here (e.g. a read-only folder): run rather than refuse to start.
      qWarning("Corvella: cannot create the lock file %s", qUtf8Printable(LockPath()));
      return true;
    }
    if (AskPrimaryToShow(ServerPath(), static_cast<int>(deadline.remainingTime()))) return false;
    if (deadline.hasExpired()) return false;
    QThread::msleep(kRetryPauseMs);
  }
}

bool SingleInstance::TryLock() {
  // QLockFile takes over a lock whose owner process is gone.
  if (lock_.tryLock(0)) return true;
  if (lock_.error() != QLockFile::LockFailedError) return false;
  // A live owner keeps an flock on its lock file from just after creating it until releasing
  // it, so an old file that nobody has locked is stale whatever it says. The removal runs under
  // the guard that QLockFile uses for its own stale locks, so that two copies never both remove
  // the file and each make a new one.
  QLockFile removal(LockPath() + ".rmlock");
  if (!removal.tryLock(0)) return false;
  const QDateTime modified = QFileInfo(LockPath()).lastModified();
  if (!modified.isValid()) return false;
  const qint64 ageMs = qAbs(modified.msecsTo(QDateTime::currentDateTime()));
  if (ageMs > kUnjudgedLockAgeMs && lock_.removeStaleLockFile()) return lock_.tryLock(0);
  return false;
}

void SingleInstance::Listen() {
  server_ = new QLocalServer(this);
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  // Clear a socket file left by a crashed copy; we hold the lock, so no live copy owns it.
  QLocalServer::removeServer(ServerPath());
  if (!server_->listen(ServerPath())) {
    qWarning("Corvella: cannot listen on %s: %s", qUtf8Printable(ServerPath()),
             qUtf8Printable(server_->errorString()));
    return;
  }
  connect(server_, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* socket = server_->nextPendingConnection()) Serve(socket);
  });
}

void SingleInstance::Serve(QLocalSocket* socket) {
  socket->setParent(this);
  connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
  QTimer::singleShot(kClientTimeoutMs, socket, [socket] {
    socket->abort();
    socket->deleteLater();
  });
  connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
    if (!socket->canReadLine()) {
      if (socket->bytesAvailable() > kMaxRequestSize) socket->abort();
      return;
    }
    const QByteArray request = socket->readLine(kMaxRequestSize + 1);
    if (request == kShowRequest) {
      emit ShowRequested();
      socket->write(kShowAnswer);
    }
    socket->disconnectFromServer();  // after the answer has been written
  });
}

bool SingleInstance::AskPrimaryToShow(const QString& serverPath, int timeoutMs) {
  QDeadlineTimer deadline(qMax(timeoutMs, 1));
  QLocalSocket socket;
  socket.connectToServer(serverPath);
  if (!socket.waitForConnected(static_cast<int>(deadline.remainingTime()))) return false;
  socket.write(kShowRequest);
  if (socket.bytesToWrite() > 0 &&
      !socket.waitForBytesWritten(static_cast<int>(deadline.remainingTime()))) {
    return false;
  }
  QByteArray answer;
  while (!answer.endsWith('\n') && answer.size() <= kMaxRequestSize) {
    if (socket.bytesAvailable() == 0 &&
        !socket.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
      break;
    }
    answer += socket.readAll();
  }
  return answer == kShowAnswer;
}

}  // namespace corvella::platform
