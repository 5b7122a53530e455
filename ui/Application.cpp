#include "Application.h"

#include <QFont>

#include "ui/MessageDialog.h"

namespace corvella {

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName(QStringLiteral("Corvella"));
  setApplicationVersion(QStringLiteral("1.0"));
  setQuitOnLastWindowClosed(true);
  // The window is laid out in pixels for an 8-point font; keep the desktop's family.
  QFont font = QApplication::font();
  font.setPointSize(8);
  QApplication::setFont(font);
}

void Application::SetFailureHandler(std::function<void(const QString&)> handler) {
  failureHandler_ = std::move(handler);
}

bool Application::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& error) {
    const QString message = QString::fromUtf8(error.what());
    if (failureHandler_) {
      failureHandler_(message);
    } else {
      ShowMessage(MessageKind::Information, message);
    }
  }
  return true;
}

}  // namespace corvella
