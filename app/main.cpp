// Corvella: start-up in order: the application, the one-copy check, the main window.

#include <QMessageBox>
#include <exception>

#include "platform/Autostart.h"
#include "platform/Paths.h"
#include "platform/ProcessProtection.h"
#include "platform/Settings.h"
#include "platform/SingleInstance.h"
#include "ui/Application.h"
#include "ui/Main.h"

int main(int argc, char** argv) {
  using namespace corvella;
#ifdef NDEBUG
  platform::DisableCoreDumps();
#endif
  platform::ProgramDir();

  Application application(argc, argv);
  try {
    platform::SingleInstance instance;
    if (!instance.TryBecomePrimary()) return 0;
    platform::Settings settings;
    platform::Autostart autostart;
    TMainForm mainForm(settings, autostart);
    application.SetFailureHandler(
        [&mainForm](const QString& message) { mainForm.ApplicationEventsException(message); });
    QObject::connect(&instance, &platform::SingleInstance::ShowRequested, &mainForm,
                     &TMainForm::BringToFront);
    // The session key is made when the first password is protected: the random generator's
    // set-up would otherwise delay the window.
    mainForm.show();
    const int result = application.exec();
    application.SetFailureHandler({});
    return result;
  } catch (const std::exception& error) {
    QMessageBox::critical(nullptr, QStringLiteral("Application Error"),
                          QString::fromUtf8(error.what()));
    return 1;
  }
}
