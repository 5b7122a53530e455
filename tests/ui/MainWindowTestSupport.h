// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The main window under the program's own application object, so that refusals and failures
// take the real path to the window's handler. Each test runs in a temporary home with its own
// settings file, autostart folder and password file; a responder answers every message box and
// records it as "Caption: text" (questions as "Caption (Yes, No): text" or "Caption (Retry,
// Discard, Cancel): text").

#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "platform/Autostart.h"
#include "platform/Settings.h"
#include "store/PasswordStore.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/Application.h"
#include "ui/FailureHandler.h"
#include "ui/MainWindow.h"
#include "ui/MessageDialog.h"
#include "ui/VaultSession.h"
#include "ui/controls/SecretField.h"

namespace corvella::test {

// The program's messages as the responder records them ("Caption: text").
inline const char* const kUnlockFirst =
    "Information: Please unlock the program first by entering the master password";
inline const char* const kInvalidMasterPassword = "Error: Invalid master password";
inline const char* const kMismatch =
    "Error: The passwords you enter don't match. Please enter the password again.";
inline const char* const kTooShort =
    "Error: The password you entered is too short. Please enter a password that is at least 6 "
    "characters long";

// The window whose ShowFailure is the application's failure handler.
inline MainWindow* windowUnderTest = nullptr;

class MainWindowFixture {
 protected:
  // For init() and cleanup(): a new temporary home and responder, and afterwards a check that
  // every message was looked at.
  void SetUpHome() {
    home_ = std::make_unique<QTemporaryDir>();
    QVERIFY(home_->isValid());
    QVERIFY(UseTemporaryHome(*home_));
    // A Passwords.dat beside the test program would take the place of the one in the data folder.
    QCOMPARE(VaultSession::FilePath(), VaultPath());

    settings_ = std::make_unique<platform::Settings>(Bytes(SettingsPath()));
    settings_->SetNoticeHandler(
        [](const std::string& notice) { ReportFailureLater(QString::fromStdString(notice)); });
    autostart_ =
        std::make_unique<platform::Autostart>(Bytes(Path("config")), std::string(kProgramPath));
    responder_ = std::make_unique<MessageDialogResponder>(
        [this](MessageKind kind, const QString& text, MessageButtons buttons) {
          if (buttons == MessageButtons::Ok) {
            messages_ << MessageCaption(kind) + QStringLiteral(": ") + text;
            return MessageAnswer::Ok;
          }
          const bool yesNo = buttons == MessageButtons::YesNo;
          messages_ << MessageCaption(kind) +
                           (yesNo ? QStringLiteral(" (Yes, No): ")
                                  : QStringLiteral(" (Retry, Discard, Cancel): ")) +
                           text;
          if (answer_) return answer_();
          return yesNo ? MessageAnswer::No : MessageAnswer::Cancel;
        });
    messages_.clear();
    answer_ = {};
  }

  void TearDownHome() {
    windowUnderTest = nullptr;
    unlockField_ = nullptr;
    window_.reset();
    session_.reset();
    responder_.reset();
    autostart_.reset();
    settings_.reset();
    home_.reset();
    if (!QTest::currentTestFailed()) {
      QVERIFY2(messages_.isEmpty(), qPrintable(QStringLiteral("Messages nobody checked: ") +
                                               messages_.join(QStringLiteral(" | "))));
    }
  }

  // Creates the session and its window, shows the window and runs its first activation, which
  // builds the panels that the tests then find in place.
  [[nodiscard]] bool StartWindow() {
    session_ = std::make_unique<VaultSession>(*settings_);
    window_ = std::make_unique<MainWindow>(*session_, *settings_, *autostart_);
    windowUnderTest = window_.get();
    window_->show();
    window_->activateWindow();
    if (!QTest::qWaitForWindowActive(window_.get())) return false;
    window_->OnFirstActivation();
    if (auto* panel = window_->findChild<QWidget*>(QStringLiteral("unlockPanel"))) {
      unlockField_ = panel->findChild<SecretField*>(QStringLiteral("passwordEdit"));
    }
    return unlockField_ != nullptr;
  }

  // Types the password into the unlock field and presses Enter; true when that unlocked.
  [[nodiscard]] bool UnlockWith(std::string_view password) {
    if (!unlockField_->isVisible()) return false;
    unlockField_->SetSecret(password);
    QTest::keyClick(unlockField_, Qt::Key_Return);
    return !session_->IsLocked();
  }

  // The messages shown so far, once the events posted meanwhile have run.
  QStringList TakeMessages() {
    QCoreApplication::processEvents();
    return std::exchange(messages_, {});
  }

  QString Path(const char* below) const { return home_->filePath(QLatin1String(below)); }
  QString SettingsPath() const { return Path("config/Corvella/Corvella.conf"); }
  QString VaultFile() const { return Path("data/Corvella/Passwords.dat"); }
  std::string VaultPath() const { return Bytes(VaultFile()); }

  std::unique_ptr<QTemporaryDir> home_;
  std::unique_ptr<platform::Settings> settings_;
  std::unique_ptr<platform::Autostart> autostart_;
  std::unique_ptr<MessageDialogResponder> responder_;
  std::unique_ptr<VaultSession> session_;
  std::unique_ptr<MainWindow> window_;
  SecretField* unlockField_ = nullptr;
  QStringList messages_;
  // Answers questions; without it they are answered No or Cancel.
  std::function<MessageAnswer()> answer_;
};

namespace detail {

inline QtMessageHandler previousHandler = nullptr;

// The offscreen platform warns about every fixed-size window, every drop-down list and the
// notification-area icon it has no place for.
inline void DropOffscreenWarnings(QtMsgType type, const QMessageLogContext& context,
                                  const QString& message) {
  if (type == QtWarningMsg && (message.startsWith(QStringLiteral("This plugin does not support")) ||
                               message.contains(QStringLiteral("systemTrayWindowChanged")))) {
    return;
  }
  if (previousHandler != nullptr) previousHandler(type, context, message);
}

}  // namespace detail

// Installed in initTestCase(): the test library installs its own handler when it starts.
inline void DropOffscreenWarnings() {
  detail::previousHandler = qInstallMessageHandler(detail::DropOffscreenWarnings);
}

template <class Test>
int RunMainWindowTest(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  Application application(argc, argv);
  application.setAttribute(Qt::AA_Use96Dpi, true);
  SetFailureHandler([](const QString& message) {
    if (windowUnderTest != nullptr) {
      windowUnderTest->ShowFailure(message);
    } else {
      ShowMessage(MessageKind::Information, QStringLiteral("(no window) ") + message);
    }
  });
  Test test;
  const int result = QTest::qExec(&test, argc, argv);
  SetFailureHandler({});
  return result;
}

}  // namespace corvella::test
