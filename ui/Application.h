#pragma once

#include <QApplication>
#include <functional>

namespace corvella {

// The application object. Every exception that escapes an event handler, a slot, a timer or a
// menu ends here and goes to the failure handler, and the program carries on.
class Application final : public QApplication {
 public:
  Application(int& argc, char** argv);

  void SetFailureHandler(std::function<void(const QString&)> handler);
  bool notify(QObject* receiver, QEvent* event) override;

 private:
  std::function<void(const QString&)> failureHandler_;
};

}  // namespace corvella
