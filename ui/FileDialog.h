// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace corvella {

// Answers an open-file dialog in place of the person: the chosen path, or empty for Cancel.
using OpenFileResponder = std::function<QString(const QString& caption, const QString& filter)>;

// Asks for an existing file in Qt's own file dialog, parented to `parent`; empty when cancelled.
QString AskOpenFileName(QWidget* parent, const QString& caption, const QString& filter);

// Sets a responder for its lifetime, which AskOpenFileName asks instead of showing a dialog, and
// restores the previous one afterwards.
class OpenFileDialogResponder {
 public:
  explicit OpenFileDialogResponder(OpenFileResponder responder);
  ~OpenFileDialogResponder();
  OpenFileDialogResponder(const OpenFileDialogResponder&) = delete;
  OpenFileDialogResponder& operator=(const OpenFileDialogResponder&) = delete;

 private:
  OpenFileResponder previous_;
};

}  // namespace corvella
