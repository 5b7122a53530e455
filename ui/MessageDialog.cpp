// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/MessageDialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <utility>
#include <vector>

#include "platform/Desktop.h"

namespace corvella {
namespace {

MessageResponder& Responder() {
  static MessageResponder responder;
  return responder;
}

QMessageBox::Icon IconOf(MessageKind kind) {
  switch (kind) {
    case MessageKind::Warning:
      return QMessageBox::Warning;
    case MessageKind::Error:
    case MessageKind::ApplicationError:
      return QMessageBox::Critical;
    case MessageKind::Information:
      return QMessageBox::Information;
    case MessageKind::Confirm:
      return QMessageBox::Question;
  }
  return QMessageBox::NoIcon;
}

// QMessageBox treats the title-bar close like its Escape button; this box remembers the close
// so that it can answer Cancel instead, and centres itself once its size is known.
class MessageBox : public QMessageBox {
 public:
  using QMessageBox::QMessageBox;
  bool ClosedFromTitleBar() const { return closed_; }

 protected:
  void showEvent(QShowEvent* event) override {
    QMessageBox::showEvent(event);  // lays the box out and gives it its final size
    CentreOnScreen(*this);
  }

  void closeEvent(QCloseEvent* event) override {
    QMessageBox::closeEvent(event);
    if (event->isAccepted()) closed_ = true;
  }

 private:
  bool closed_ = false;
};

// The window a box belongs over: the dialog in front, else the active window, else the program's
// main window, so that the window system keeps the box with it.
QWidget* OwnerWindow() {
  if (QWidget* modal = QApplication::activeModalWidget()) return modal;
  QWidget* active = QApplication::activeWindow();
  if (active != nullptr && active->windowType() != Qt::Popup) return active;
  for (QWidget* window : QApplication::topLevelWidgets()) {
    if (qobject_cast<QMainWindow*>(window) != nullptr) return window;
  }
  return nullptr;
}

}  // namespace

QString MessageCaption(MessageKind kind) {
  switch (kind) {
    case MessageKind::Warning:
      return QStringLiteral("Warning");
    case MessageKind::Error:
      return QStringLiteral("Error");
    case MessageKind::Information:
      return QStringLiteral("Information");
    case MessageKind::Confirm:
      return QStringLiteral("Confirm");
    case MessageKind::ApplicationError:
      return QStringLiteral("Application Error");
  }
  return {};
}

MessageAnswer ShowMessage(MessageKind kind, const QString& text, MessageButtons buttons) {
  // A copy, so that a responder may replace itself while it answers.
  if (const MessageResponder responder = Responder()) return responder(kind, text, buttons);

  MessageBox box(OwnerWindow());
  box.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                     Qt::WindowCloseButtonHint);
  box.setWindowTitle(MessageCaption(kind));
  box.setIcon(IconOf(kind));
  box.setTextFormat(Qt::PlainText);
  box.setText(text);

  // Each button with the answer it gives; the first is the default.
  std::vector<std::pair<QPushButton*, MessageAnswer>> answers;
  const auto add = [&](QMessageBox::StandardButton button, const char* caption,
                       MessageAnswer answer) {
    QPushButton* pushButton = box.addButton(button);
    pushButton->setText(QLatin1String(caption));
    answers.emplace_back(pushButton, answer);
    return pushButton;
  };
  switch (buttons) {
    case MessageButtons::Ok:
      box.setEscapeButton(add(QMessageBox::Ok, "OK", MessageAnswer::Ok));
      break;
    case MessageButtons::YesNo:
      add(QMessageBox::Yes, "&Yes", MessageAnswer::Yes);
      box.setEscapeButton(add(QMessageBox::No, "&No", MessageAnswer::No));
      break;
    case MessageButtons::RetryDiscardCancel:
      add(QMessageBox::Retry, "&Retry", MessageAnswer::Retry);
      add(QMessageBox::Discard, "&Discard", MessageAnswer::Discard);
      box.setEscapeButton(add(QMessageBox::Cancel, "Cancel", MessageAnswer::Cancel));
      break;
  }
  box.setDefaultButton(answers.front().first);

  box.exec();

  if (box.ClosedFromTitleBar()) return MessageAnswer::Cancel;
  for (const auto& [button, answer] : answers) {
    if (box.clickedButton() == button) return answer;
  }
  return MessageAnswer::Cancel;  // rejected without a button, e.g. by the window system
}

void CentreOnScreen(QWidget& window) {
  // There the compositor places the window, over the one it belongs to.
  if (platform::CompositorPlacesWindows()) return;
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  QRect frame = window.frameGeometry();
  frame.moveCenter(screen->availableGeometry().center());
  window.move(frame.topLeft());
}

void SetMessageResponder(MessageResponder responder) { Responder() = std::move(responder); }

MessageDialogResponder::MessageDialogResponder(MessageResponder responder)
    : previous_(std::exchange(Responder(), std::move(responder))) {}

MessageDialogResponder::~MessageDialogResponder() { Responder() = std::move(previous_); }

}  // namespace corvella
