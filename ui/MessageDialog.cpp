#include "ui/MessageDialog.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <utility>

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

  MessageBox box;
  box.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                     Qt::WindowCloseButtonHint);
  box.setWindowTitle(MessageCaption(kind));
  box.setIcon(IconOf(kind));
  box.setTextFormat(Qt::PlainText);
  box.setText(text);

  QPushButton* ok = nullptr;
  QPushButton* yes = nullptr;
  QPushButton* no = nullptr;
  if (buttons == MessageButtons::Ok) {
    ok = box.addButton(QMessageBox::Ok);
    ok->setText(QStringLiteral("OK"));
    box.setDefaultButton(ok);
    box.setEscapeButton(ok);
  } else {
    yes = box.addButton(QMessageBox::Yes);
    yes->setText(QStringLiteral("&Yes"));
    no = box.addButton(QMessageBox::No);
    no->setText(QStringLiteral("&No"));
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
  }

  box.exec();

  if (box.ClosedFromTitleBar()) return MessageAnswer::Cancel;
  const QAbstractButton* clicked = box.clickedButton();
  if (clicked != nullptr) {
    if (clicked == ok) return MessageAnswer::Ok;
    if (clicked == yes) return MessageAnswer::Yes;
    if (clicked == no) return MessageAnswer::No;
  }
  return MessageAnswer::Cancel;  // rejected without a button, e.g. by the window system
}

void CentreOnScreen(QWidget& window) {
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
