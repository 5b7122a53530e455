// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace corvella {

// Stored texts are bytes; the window types UTF-8 and shows bytes that are not UTF-8 as
// Windows-1252 (files made on Windows). Secrets never pass through these: a SecretField takes
// and gives them as bytes in wiped memory.
QString FromBytes(std::string_view bytes);
std::string ToBytes(const QString& text);

// True when `text` begins with "http" in any case: a web address that needs no "http://".
bool BeginsWithHttp(const QString& text);
bool BeginsWithHttp(std::string_view utf8);

// Overwrites a QString's characters, its whole buffer, then empties it; Qt frees without wiping.
// The caller must hold the only reference to the buffer: a text shared with another QString is
// an assertion failure, since emptying it would leave the characters unwiped with the other
// holder, and overwriting them would change that holder's text. A text that owns no buffer
// (empty, or made from a literal) is only emptied.
void WipeQString(QString& text);

}  // namespace corvella
