// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace corvella {

// The kind gives the box its caption ("Warning", "Error", "Information", "Confirm", "Application
// Error") and icon. An application error is a failure to start.
enum class MessageKind { Warning, Error, Information, Confirm, ApplicationError };

// The caption of a box of this kind.
QString MessageCaption(MessageKind kind);

// "OK"; "&Yes" and "&No"; or "&Retry", "&Discard" and "Cancel".
enum class MessageButtons { Ok, YesNo, RetryDiscardCancel };

// The button pressed; Cancel when the box was closed from its title bar.
enum class MessageAnswer { Ok, Yes, No, Retry, Discard, Cancel };

using MessageResponder =
    std::function<MessageAnswer(MessageKind kind, const QString& text, MessageButtons buttons)>;

// Shows a modal message box over the dialog or window in front (else the main window), centred on
// the primary screen where the window system lets a program place its windows, and returns the
// button pressed. The text is plain text, never rich text. The default button is OK, Yes or
// Retry; Escape presses OK, No or Cancel.
MessageAnswer ShowMessage(MessageKind kind, const QString& text,
                          MessageButtons buttons = MessageButtons::Ok);

// Moves a top-level window so that its frame is centred on the primary screen's free area; call
// it once the window has its final size. Does nothing where the compositor places windows.
void CentreOnScreen(QWidget& window);

// While a responder is set, ShowMessage asks it instead of showing a box. An empty function
// restores the real boxes.
void SetMessageResponder(MessageResponder responder);

// Sets a responder for its lifetime and restores the previous one afterwards.
class MessageDialogResponder {
 public:
  explicit MessageDialogResponder(MessageResponder responder);
  ~MessageDialogResponder();
  MessageDialogResponder(const MessageDialogResponder&) = delete;
  MessageDialogResponder& operator=(const MessageDialogResponder&) = delete;

 private:
  MessageResponder previous_;
};

}  // namespace corvella
