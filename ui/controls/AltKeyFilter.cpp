// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/controls/AltKeyFilter.h"

#include <QKeyEvent>
#include <QObject>
#include <QWidget>

namespace corvella {
namespace {

class AltKeyFilter final : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::KeyPress && IsAltChord(*static_cast<QKeyEvent*>(event))) {
      event->ignore();
      return true;
    }
    return QObject::eventFilter(watched, event);
  }
};

}  // namespace

bool IsAltChord(const QKeyEvent& event) {
  return (event.modifiers() & Qt::AltModifier) && !(event.modifiers() & Qt::ControlModifier);
}

void RefuseAltChords(QWidget& field) { field.installEventFilter(new AltKeyFilter(&field)); }

}  // namespace corvella
