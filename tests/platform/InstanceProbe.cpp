// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A tiny program that uses the one-copy rule the way the desktop program does, for the tests.
//
//   platform_instance_probe [SECONDS [START_AT_MS]]
//
// Waits until the epoch time START_AT_MS when given (so that several probes try at the same
// instant), then prints "primary" and serves show requests, printing "show" for each, until
// SECONDS have passed (default 30) or stdin is closed ("show TOKEN" for a request that carries
// an activation token); or prints "secondary MS" (MS: how long
// the hand-over took) and exits 0; or prints "refused: MESSAGE" and exits 1.

#include <unistd.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <optional>
#include <string>

#include "core/Error.h"
#include "platform/SingleInstance.h"

namespace {

void Print(const char* line) {
  std::fputs(line, stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  const QStringList arguments = QCoreApplication::arguments();
  const int seconds = arguments.size() > 1 ? arguments[1].toInt() : 30;
  if (arguments.size() > 2) {
    const qint64 wait = arguments[2].toLongLong() - QDateTime::currentMSecsSinceEpoch();
    if (wait > 0) QThread::msleep(static_cast<unsigned long>(wait));
  }

  std::optional<corvella::platform::SingleInstance> instance;
  QElapsedTimer timer;
  try {
    instance.emplace();
    timer.start();
    if (!instance->TryBecomePrimary()) {
      Print(QByteArray("secondary " + QByteArray::number(timer.elapsed())).constData());
      return 0;
    }
  } catch (const corvella::Error& error) {
    // As the desktop program, which shows the message and ends.
    Print((std::string("refused: ") + error.what()).c_str());
    return 1;
  }
  Print("primary");
  QObject::connect(&*instance, &corvella::platform::SingleInstance::ShowRequested,
                   [](const QByteArray& token) {
                     Print(token.isEmpty() ? "show" : QByteArray("show " + token).constData());
                   });

  QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
  QObject::connect(&input, &QSocketNotifier::activated, &application, [&input] {
    char buffer[64];
    if (::read(STDIN_FILENO, buffer, sizeof buffer) <= 0) {
      input.setEnabled(false);
      QCoreApplication::quit();
    }
  });
  QTimer::singleShot(seconds * 1000, &application, &QCoreApplication::quit);
  return application.exec();
}
