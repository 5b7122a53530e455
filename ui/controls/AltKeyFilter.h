// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

class QKeyEvent;
class QWidget;

namespace corvella {

// An Alt+key (without Ctrl, which AltGr may add) that no access key took: a line edit would type
// its letter.
bool IsAltChord(const QKeyEvent& event);

// Keeps Alt+key chords from typing into `field`; they reach its window instead.
void RefuseAltChords(QWidget& field);

}  // namespace corvella
