// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Corvella: start-up in order: the application, the one-copy check, the session and its window,
// and what tells the window that the person has left.

#include <QScopeGuard>
#include <exception>
#include <memory>

#include "platform/Autostart.h"
#include "platform/Paths.h"
#include "platform/ProcessProtection.h"
#include "platform/ScreenLockWatcher.h"
#include "platform/Settings.h"
#include "platform/SingleInstance.h"
#include "ui/Application.h"
#include "ui/FailureHandler.h"
#include "ui/MainWindow.h"
#include "ui/MessageDialog.h"
#include "ui/VaultSession.h"

int main(int argc, char** argv) {
  using namespace corvella;
  platform::ProgramDir();

  Application application(argc, argv);
  // Docks and Wayland compositors find the desktop entry, and with it the icon, by this name.
  QGuiApplication::setDesktopFileName(QStringLiteral(CORVELLA_APP_ID));
  try {
    // In every build: a core file would hold whatever the program has decrypted.
    platform::DisableCoreDumps();
    platform::SingleInstance instance;
    if (!instance.TryBecomePrimary()) return 0;
    platform::Settings settings;
    settings.SetNoticeHandler(
        [](const std::string& notice) { ReportFailureLater(QString::fromStdString(notice)); });
    platform::Autostart autostart;
    VaultSession session(settings);
    MainWindow window(session, settings, autostart);
    SetFailureHandler([&window](const QString& message) { window.ShowFailure(message); });
    const auto removeHandler = qScopeGuard([] { SetFailureHandler({}); });
    QObject::connect(&instance, &platform::SingleInstance::ShowRequested, &window,
                     &MainWindow::BringToFront);
    // The session key is made when the first password is protected: the random generator's
    // set-up would otherwise delay the window.
    window.show();
    // A locked screen or coming sleep matters only while the vault is open: the buses are asked
    // from the first unlock on, off the start-up path, where connecting to them delayed the window.
    std::unique_ptr<platform::ScreenLockWatcher> screenLock;
    QObject::connect(&session, &VaultSession::Unlocked, &window, [&screenLock, &window] {
      if (screenLock != nullptr) return;
      screenLock = std::make_unique<platform::ScreenLockWatcher>();
      window.FollowScreenLock(*screenLock);
    });
    return application.exec();
  } catch (const std::exception& error) {
    ShowMessage(MessageKind::ApplicationError, QString::fromUtf8(error.what()));
    return 1;
  }
}
