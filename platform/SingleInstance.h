// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <memory>

class QSocketNotifier;

namespace corvella::platform {

// One copy of the program per program file and user. An flock on the lock file decides who is
// first; the kernel drops it when its holder ends in any way, so a crashed copy never blocks the
// next start. The first copy also listens on a Unix-domain socket of the same base name, through
// which a later copy asks it to show itself.
class SingleInstance : public QObject {
  Q_OBJECT

 public:
  // Finds the folder of the lock and the socket (see PrivateFolder()).
  explicit SingleInstance(QObject* parent = nullptr);
  ~SingleInstance() override;

  // True: this is the first copy; it now holds the lock and listens for show requests. False:
  // another copy runs, and this call has asked it to show itself and waited for its answer (at
  // most ~2 s). A lock file or socket that is not a regular file or socket of this user is
  // never used nor asked: it raises an Error naming it.
  bool TryBecomePrimary();

  // "corvella-<first 16 hex digits of SHA-256 of the canonical program path>-<uid>".
  static QString BaseNameFor(const QString& programPath);

  // Folder of the lock and the socket: $XDG_RUNTIME_DIR when set, else a folder of our own made
  // under the user's cache folder ($XDG_CACHE_HOME or ~/.cache, then Corvella/run). Raises an
  // Error naming the folder unless it is a folder, not a link, that belongs to this user and
  // that no other user can access (mode 700).
  static QString PrivateFolder();

  QString LockPath() const;
  QString ServerPath() const;

 signals:
  // Emitted in the first copy each time a later copy starts, with the activation token that a
  // launcher gave that copy (XDG_ACTIVATION_TOKEN; empty when none): on Wayland the window may
  // take focus with it.
  void ShowRequested(const QByteArray& activationToken);

 private:
  enum class LockResult { kTaken, kHeld, kUnavailable };
  LockResult TryLock();
  void Listen();
  void AcceptClients();
  void Serve(int fd);
  static bool AskPrimaryToShow(const QString& serverPath, int timeoutMs);

  QString baseName_;
  QString directory_;
  int lockFd_ = -1;  // the locked lock file, once this is the first copy
  // Only in the first copy, once it listens: the socket, its file and the notifier watching it.
  int listenFd_ = -1;
  QByteArray socketPath_;
  std::unique_ptr<QSocketNotifier> listener_;
};

}  // namespace corvella::platform
