// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <exception>
#include <functional>

namespace corvella {

// The one place where every failure of a command ends: the application-wide handler shows its
// message. Errors are caught where Qt calls our code, never thrown into its event loop.
using FailureHandler = std::function<void(const QString& message)>;

// An empty handler restores the default, an "Information" box with the message.
void SetFailureHandler(FailureHandler handler);
void ReportFailure(const QString& message);
// The same once the message loop runs, for a problem met in the middle of other work that goes
// on.
void ReportFailureLater(const QString& message);

// Runs `action`; an exception it throws goes to the failure handler.
template <class Action>
void RunGuarded(Action&& action) noexcept {
  try {
    action();
  } catch (const std::exception& error) {
    ReportFailure(QString::fromUtf8(error.what()));
  }
}

// `method` of `object` as a slot that lets no exception out; connect it in place of the method.
template <class Object, class... Params>
auto Guarded(Object* object, void (Object::*method)(Params...)) {
  return [object, method](Params... args) { RunGuarded([&] { (object->*method)(args...); }); };
}

}  // namespace corvella
