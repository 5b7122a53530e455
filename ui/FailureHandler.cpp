// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/FailureHandler.h"

#include <QTimer>
#include <utility>

#include "ui/MessageDialog.h"

namespace corvella {
namespace {

FailureHandler& Handler() {
  static FailureHandler handler;
  return handler;
}

}  // namespace

void SetFailureHandler(FailureHandler handler) { Handler() = std::move(handler); }

void ReportFailure(const QString& message) {
  // A copy, so that the handler may replace itself while it runs.
  if (const FailureHandler handler = Handler()) {
    handler(message);
  } else {
    ShowMessage(MessageKind::Information, message);
  }
}

void ReportFailureLater(const QString& message) {
  QTimer::singleShot(0, [message] { ReportFailure(message); });
}

}  // namespace corvella
