// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/FileDialog.h"

#include <QDir>
#include <QFileDialog>
#include <utility>

namespace corvella {
namespace {

OpenFileResponder& Responder() {
  static OpenFileResponder responder;
  return responder;
}

}  // namespace

QString AskOpenFileName(QWidget* parent, const QString& caption, const QString& filter) {
  if (Responder()) return Responder()(caption, filter);
  // Qt's own dialog looks the same on every desktop and can be driven by keyboard in tests.
  return QFileDialog::getOpenFileName(parent, caption, QDir::homePath(), filter, nullptr,
                                      QFileDialog::DontUseNativeDialog);
}

OpenFileDialogResponder::OpenFileDialogResponder(OpenFileResponder responder)
    : previous_(std::exchange(Responder(), std::move(responder))) {}

OpenFileDialogResponder::~OpenFileDialogResponder() { Responder() = std::move(previous_); }

}  // namespace corvella
