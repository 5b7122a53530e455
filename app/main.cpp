// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Corvella: start-up in order: the application, the one-copy check, the session and its window,
// and what tells the window that the person has left.

#include <QScopeGuard>
#include <exception>

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
    // Listens once the window is on its way: asking the buses must not delay it.
    platform::ScreenLockWatcher screenLock;
    window.FollowScreenLock(screenLock);
    return application.exec();
  } catch (const std::exception& error) {
    ShowMessage(MessageKind::ApplicationError, QString::fromUtf8(error.what()));
    return 1;
  }
}
