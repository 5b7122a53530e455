// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "SingleInstance.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>
#include <QtGlobal>
#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <utility>

#include "core/Error.h"

namespace corvella::platform {
namespace {

constexpr int kAnswerTimeoutMs = 2000;
constexpr int kRetryPauseMs = 20;
// A client that sends nothing sensible for this long is dropped.
constexpr int kClientTimeoutMs = 5000;
// "show", then optionally a space and an activation token, then a line end.
constexpr qint64 kMaxTokenSize = 256;
constexpr qint64 kMaxRequestSize = 5 + kMaxTokenSize + 1;
// The first copy answers into an empty socket buffer; this bounds the wait should it be full.
constexpr int kAnswerWriteMs = 100;
// Pause before accepting again when out of file descriptors.
constexpr int kAcceptPauseMs = 100;

const QByteArray kShowRequest = "show";
const QByteArray kShowAnswer = "ok\n";

// A token as compositors make them: printable ASCII without spaces, of bounded length.
bool IsActivationToken(const QByteArray& token) {
  return !token.isEmpty() && token.size() <= kMaxTokenSize &&
         std::all_of(token.begin(), token.end(), [](char c) { return c > ' ' && c < 127; });
}

// "show\n", or "show TOKEN\n" with the activation token that a launcher gave this copy.
QByteArray ShowRequest() {
  const QByteArray token = qgetenv("XDG_ACTIVATION_TOKEN");
  return IsActivationToken(token) ? kShowRequest + ' ' + token + '\n' : kShowRequest + '\n';
}

// The token of a well-formed show request (empty when it carries none); nullopt for anything
// else.
std::optional<QByteArray> ParseShowRequest(const QByteArray& line) {
  if (line == kShowRequest + '\n') return QByteArray();
  const QByteArray prefix = kShowRequest + ' ';
  if (!line.startsWith(prefix) || !line.endsWith('\n')) return std::nullopt;
  QByteArray token = line.mid(prefix.size(), line.size() - prefix.size() - 1);
  if (!IsActivationToken(token)) return std::nullopt;
  return token;
}

QString CanonicalProgramPath() {
  const QString path = QCoreApplication::applicationFilePath();
  const QString canonical = QFileInfo(path).canonicalFilePath();
  return canonical.isEmpty() ? path : canonical;  // the file may have been replaced meanwhile
}

QString ErrorText(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

[[noreturn]] void Refuse(const char* what, const QString& path, const QString& reason) {
  throw Error(std::string(what) + " \"" + path.toStdString() +
              "\" for the one-copy rule: " + reason.toStdString());
}

// Refuses a folder that another user could change, or whose files another user could reach.
void CheckPrivateFolder(const QString& path) {
  struct stat status {};
  if (::lstat(QFile::encodeName(path).constData(), &status) != 0) {
    Refuse("Cannot use the folder", path, ErrorText(errno));
  }
  if (S_ISLNK(status.st_mode)) Refuse("Cannot use the folder", path, "it is a symbolic link");
  if (!S_ISDIR(status.st_mode)) Refuse("Cannot use the folder", path, "it is not a folder");
  if (status.st_uid != ::getuid()) {
    Refuse("Cannot use the folder", path, "it belongs to another user");
  }
  if ((status.st_mode & 077) != 0) {
    Refuse("Cannot use the folder", path,
           QStringLiteral("other users can access it (mode %1; it must be 700)")
               .arg(status.st_mode & 0777, 3, 8, QLatin1Char('0')));
  }
}

// Refuses a lock file or socket that is not what this program makes, or is another user's.
void CheckOwnFile(const QString& path, const struct stat& status, mode_t type) {
  if ((status.st_mode & S_IFMT) != type) {
    Refuse("Cannot use the file", path,
           type == S_IFSOCK ? "it is not a socket" : "it is not a regular file");
  }
  if (status.st_uid != ::getuid())
    Refuse("Cannot use the file", path, "it belongs to another user");
}

QString CacheHome() {
  const QString configured = qEnvironmentVariable("XDG_CACHE_HOME");
  return QDir::isAbsolutePath(configured) ? configured : QDir::homePath() + "/.cache";
}

// Closes the descriptor it owns when it goes.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;

  int Get() const { return fd_; }
  int Release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

int MakeSocket() { return ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0); }

// False when the path does not fit into a socket address.
bool MakeAddress(const QByteArray& path, sockaddr_un& address) {
  address = sockaddr_un{};
  address.sun_family = AF_UNIX;
  if (path.isEmpty() || static_cast<size_t>(path.size()) >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path.constData(), static_cast<size_t>(path.size()));
  return true;
}

// Waits until fd is ready for events (or has an error or hang-up, which the next call on it
// reports); false when the deadline passes first.
bool WaitFor(int fd, short events, const QDeadlineTimer& deadline) {
  pollfd entry{fd, events, 0};
  while (true) {
    const qint64 remaining = qMax<qint64>(deadline.remainingTime(), 0);
    const int result = ::poll(&entry, 1, static_cast<int>(remaining));
    if (result > 0) return true;
    if (result < 0 && errno != EINTR) return false;
    if (result == 0 && deadline.hasExpired()) return false;
  }
}

bool SendAll(int fd, const QByteArray& data, const QDeadlineTimer& deadline) {
  qsizetype sent = 0;
  while (sent < data.size()) {
    const ssize_t written =
        ::send(fd, data.constData() + sent, static_cast<size_t>(data.size() - sent), MSG_NOSIGNAL);
    if (written >= 0) {
      sent += written;
    } else if (errno != EINTR) {
      if (errno != EAGAIN && errno != EWOULDBLOCK) return false;
      if (!WaitFor(fd, POLLOUT, deadline)) return false;
    }
  }
  return true;
}

// A later copy's connection in the first copy: collects its request line.
class Connection : public QObject {
 public:
  enum class State { kWaiting, kLine, kFailed };

  Connection(int fd, QObject* parent)
      : QObject(parent), fd_(fd), notifier_(fd, QSocketNotifier::Read) {}
  ~Connection() override { Close(); }

  QSocketNotifier& Notifier() { return notifier_; }
  const QByteArray& Line() const { return line_; }

  // Reads what has arrived; kLine once the first line is complete.
  State Read() {
    bool ended = false;
    while (buffer_.size() <= kMaxRequestSize) {
      char chunk[kMaxRequestSize + 1];
      const ssize_t count = ::read(fd_, chunk, sizeof chunk);
      if (count > 0) {
        buffer_.append(chunk, count);
      } else if (count == 0 || (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK)) {
        ended = true;  // end of stream or a broken connection
        break;
      } else if (errno != EINTR) {
        break;  // nothing more for now
      }
    }
    const qsizetype end = buffer_.indexOf('\n');
    if (end >= 0) {
      line_ = buffer_.left(qMin<qsizetype>(end + 1, kMaxRequestSize));
      return State::kLine;
    }
    return ended || buffer_.size() > kMaxRequestSize ? State::kFailed : State::kWaiting;
  }

  void Answer(const QByteArray& answer) {
    if (fd_ >= 0) SendAll(fd_, answer, QDeadlineTimer(kAnswerWriteMs));
  }

  void Close() {
    if (fd_ < 0) return;
    notifier_.setEnabled(false);
    ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_;
  QSocketNotifier notifier_;
  QByteArray buffer_;
  QByteArray line_;
};

}  // namespace

SingleInstance::SingleInstance(QObject* parent)
    : QObject(parent),
      baseName_(BaseNameFor(CanonicalProgramPath())),
      directory_(PrivateFolder()) {}

SingleInstance::~SingleInstance() {
  // Remove the socket before releasing the lock: afterwards its path may belong to a copy that
  // took over the lock.
  if (listenFd_ >= 0) {
    listener_.reset();
    ::close(listenFd_);
    ::unlink(socketPath_.constData());
  }
  if (lockFd_ >= 0) {
    // Removed while still locked: a copy that opened the file meanwhile sees, once it holds the
    // lock, that the path no longer names that file, and tries again.
    ::unlink(QFile::encodeName(LockPath()).constData());
    ::close(lockFd_);
  }
}

QString SingleInstance::BaseNameFor(const QString& programPath) {
  const QString canonical = QFileInfo(programPath).canonicalFilePath();
  const QByteArray digest = QCryptographicHash::hash(
      QFile::encodeName(canonical.isEmpty() ? programPath : canonical), QCryptographicHash::Sha256);
  return QStringLiteral("corvella-%1-%2")
      .arg(QString::fromLatin1(digest.toHex().left(16)))
      .arg(::getuid());
}

QString SingleInstance::PrivateFolder() {
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  if (QDir::isAbsolutePath(runtime)) {
    CheckPrivateFolder(runtime);
    return runtime;
  }
  // No runtime folder: one of our own, never a shared one such as the temporary folder, where
  // another user could take the names first.
  const QString cache = CacheHome();
  const QString folder = cache + "/Corvella/run";
  for (const QString& path : {cache, cache + "/Corvella"}) {
    ::mkdir(QFile::encodeName(path).constData(), S_IRWXU);  // a failure shows in the next step
  }
  if (::mkdir(QFile::encodeName(folder).constData(), S_IRWXU) != 0 && errno != EEXIST) {
    Refuse("Cannot use the folder", folder, ErrorText(errno));
  }
  CheckPrivateFolder(folder);
  return folder;
}

QString SingleInstance::LockPath() const { return directory_ + '/' + baseName_ + ".lock"; }

QString SingleInstance::ServerPath() const { return directory_ + '/' + baseName_ + ".socket"; }

bool SingleInstance::TryBecomePrimary() {
  if (lockFd_ >= 0) return true;
  // The lock holder may not listen yet, or may be just ending: keep trying both until one
  // answers, so that a start is never lost to a copy that is going away.
  QDeadlineTimer deadline(kAnswerTimeoutMs);
  while (true) {
    const LockResult lock = TryLock();
    if (lock == LockResult::kTaken) {
      Listen();
      return true;
    }
    // No lock can be made here (e.g. a read-only folder): run rather than refuse to start.
    if (lock == LockResult::kUnavailable) return true;
    if (AskPrimaryToShow(ServerPath(), static_cast<int>(deadline.remainingTime()))) return false;
    if (deadline.hasExpired()) return false;
    QThread::msleep(kRetryPauseMs);
  }
}

SingleInstance::LockResult SingleInstance::TryLock() {
  const QByteArray path = QFile::encodeName(LockPath());
  // Reports errno while it still describes the failure.
  const auto unavailable = [this] {
    qWarning("Corvella: cannot lock %s: %s", qUtf8Printable(LockPath()),
             qUtf8Printable(ErrorText(errno)));
    return LockResult::kUnavailable;
  };
  while (true) {
    Descriptor lock(::open(path.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC,
                           S_IRUSR | S_IWUSR));
    if (lock.Get() < 0) {
      // Something else under the name (a link, a socket) is refused, not worked around.
      const int error = errno;
      struct stat named {};
      if (::lstat(path.constData(), &named) == 0) CheckOwnFile(LockPath(), named, S_IFREG);
      errno = error;
      return unavailable();
    }
    // Checked before the flock: a file another user planted would let that user hold the lock.
    struct stat locked {};
    if (::fstat(lock.Get(), &locked) != 0) return unavailable();
    CheckOwnFile(LockPath(), locked, S_IFREG);
    if (::flock(lock.Get(), LOCK_EX | LOCK_NB) != 0) {
      return errno == EWOULDBLOCK ? LockResult::kHeld : unavailable();
    }
    // The first copy removes the file as it ends; if it did so after we opened it, the lock we
    // hold is on a file nobody else will find.
    struct stat named {};
    if (::lstat(path.constData(), &named) == 0) {
      if (named.st_dev == locked.st_dev && named.st_ino == locked.st_ino) {
        lockFd_ = lock.Release();
        return LockResult::kTaken;
      }
    } else if (errno != ENOENT) {
      return unavailable();
    }
  }
}

void SingleInstance::Listen() {
  const QByteArray path = QFile::encodeName(ServerPath());
  const auto fail = [this](const QString& reason) {
    qWarning("Corvella: cannot listen on %s: %s", qUtf8Printable(ServerPath()),
             qUtf8Printable(reason));
  };
  sockaddr_un address;
  if (!MakeAddress(path, address)) return fail(QStringLiteral("the path is too long"));
  Descriptor socket(MakeSocket());
  if (socket.Get() < 0) return fail(ErrorText(errno));
  // Clear a socket file left by a crashed copy; we hold the lock, so no live copy owns it.
  ::unlink(path.constData());
  // The socket file takes the socket's mode (less the umask), so only this user can connect
  // from its creation on; the chmod makes sure of it.
  if (::fchmod(socket.Get(), S_IRUSR | S_IWUSR) != 0 ||
      ::bind(socket.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    return fail(ErrorText(errno));
  }
  if (::chmod(path.constData(), S_IRUSR | S_IWUSR) != 0 || ::listen(socket.Get(), SOMAXCONN) != 0) {
    const int error = errno;
    ::unlink(path.constData());
    return fail(ErrorText(error));
  }
  listenFd_ = socket.Release();
  socketPath_ = path;
  listener_ = std::make_unique<QSocketNotifier>(listenFd_, QSocketNotifier::Read);
  connect(listener_.get(), &QSocketNotifier::activated, this, &SingleInstance::AcceptClients);
}

void SingleInstance::AcceptClients() {
  while (true) {
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd >= 0) {
      Serve(fd);
    } else if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
      // The pending connection stays; try again shortly instead of spinning on it.
      listener_->setEnabled(false);
      QTimer::singleShot(kAcceptPauseMs, listener_.get(),
                         [notifier = listener_.get()] { notifier->setEnabled(true); });
      return;
    } else if (errno != EINTR && errno != ECONNABORTED) {
      return;  // none left
    }
  }
}

void SingleInstance::Serve(int fd) {
  auto* connection = new Connection(fd, this);
  QTimer::singleShot(kClientTimeoutMs, connection, &QObject::deleteLater);
  connect(&connection->Notifier(), &QSocketNotifier::activated, this, [this, connection] {
    const Connection::State state = connection->Read();
    if (state == Connection::State::kWaiting) return;
    connection->Notifier().setEnabled(false);
    const QPointer<Connection> alive(connection);
    const std::optional<QByteArray> token =
        state == Connection::State::kLine ? ParseShowRequest(connection->Line()) : std::nullopt;
    if (token.has_value()) {
      emit ShowRequested(*token);
      if (alive) connection->Answer(kShowAnswer);
    }
    if (alive) {
      connection->Close();
      connection->deleteLater();  // not now: we are inside its notifier's signal
    }
  });
}

bool SingleInstance::AskPrimaryToShow(const QString& serverPath, int timeoutMs) {
  const QDeadlineTimer deadline(qMax(timeoutMs, 1));
  sockaddr_un address;
  if (!MakeAddress(QFile::encodeName(serverPath), address)) return false;
  // Only a socket of this user gets the request; no socket yet means no listener yet.
  struct stat named {};
  if (::lstat(address.sun_path, &named) != 0) return false;
  CheckOwnFile(serverPath, named, S_IFSOCK);
  const Descriptor socket(MakeSocket());
  if (socket.Get() < 0) return false;
  if (::connect(socket.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    // No listener yet, or a full backlog (EAGAIN): no answer this time, the caller tries again.
    if (errno != EINPROGRESS && errno != EINTR) return false;
    if (!WaitFor(socket.Get(), POLLOUT, deadline)) return false;
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(socket.Get(), SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) {
      return false;
    }
  }
  // And only a process of this user answers it.
  ucred peer{};
  socklen_t peerLength = sizeof peer;
  if (::getsockopt(socket.Get(), SOL_SOCKET, SO_PEERCRED, &peer, &peerLength) != 0) return false;
  if (peer.uid != ::getuid()) {
    Refuse("Cannot use the socket", serverPath, "another user's program listens on it");
  }
  if (!SendAll(socket.Get(), ShowRequest(), deadline)) return false;
  QByteArray answer;
  while (!answer.endsWith('\n') && answer.size() <= kMaxRequestSize) {
    char chunk[kMaxRequestSize + 1];
    const ssize_t count = ::read(socket.Get(), chunk, sizeof chunk);
    if (count > 0) {
      answer.append(chunk, count);
    } else if (count == 0 || (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK)) {
      break;
    } else if (errno != EINTR && !WaitFor(socket.Get(), POLLIN, deadline)) {
      break;
    }
  }
  return answer == kShowAnswer;
}

}  // namespace corvella::platform
