#pragma once

// Shared by the tests that drive the main window: they run under the program's own application
// object, so that refusals and failures take the real path to the form's handler.

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "store/SessionKey.h"
#include "ui/Application.h"
#include "ui/Main.h"
#include "ui/MessageDialog.h"

namespace corvella {

// The form whose ApplicationEventsException is the failure handler of the application.
inline TMainForm* formUnderTest = nullptr;

// Shows `form` as the form under test and activates it; on the first activation it builds its
// panels, which the test then finds in place.
[[nodiscard]] inline bool ShowForTest(TMainForm& form) {
  formUnderTest = &form;
  form.show();
  form.activateWindow();
  if (!QTest::qWaitForWindowActive(&form)) return false;
  form.ApplicationEventsActivate();
  return true;
}

// Points HOME and the XDG folders at folders inside `home`, so that nothing touches the real
// ones; the runtime folder is private, as the desktop makes it.
[[nodiscard]] inline bool UseTemporaryHome(const QTemporaryDir& home) {
  const auto path = [&home](const char* below) { return home.filePath(QLatin1String(below)); };
  for (const char* folder : {"home", "config", "data", "runtime"}) {
    if (!QDir().mkpath(path(folder))) return false;
  }
  QFile::setPermissions(path("runtime"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  qputenv("HOME", path("home").toUtf8());
  qputenv("XDG_CONFIG_HOME", path("config").toUtf8());
  qputenv("XDG_DATA_HOME", path("data").toUtf8());
  qputenv("XDG_RUNTIME_DIR", path("runtime").toUtf8());
  return true;
}

template <class Test>
int RunFormTest(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  Application application(argc, argv);
  application.setAttribute(Qt::AA_Use96Dpi, true);
  application.SetFailureHandler([](const QString& message) {
    if (formUnderTest != nullptr) {
      formUnderTest->ApplicationEventsException(message);
    } else {
      ShowMessage(MessageKind::Information, QStringLiteral("(no form) ") + message);
    }
  });
  Test test;
  const int result = QTest::qExec(&test, argc, argv);
  application.SetFailureHandler({});
  return result;
}

}  // namespace corvella
