#pragma once

#include <QString>
#include <string>
#include <string_view>

#include "store/SecureMemory.h"

class QLineEdit;

namespace corvella {

// Stored texts are bytes; the window types UTF-8 and shows bytes that are not UTF-8 as
// Windows-1252 (files made on Windows).
QString FromBytes(std::string_view bytes);
// The same for a secret: no temporary copy is left behind unwiped.
QString FromSecretBytes(std::string_view bytes);
std::string ToBytes(const QString& text);
SecureString ToSecretBytes(const QString& text);

// True when `text` begins with "http" in any case: a web address that needs no "http://".
bool BeginsWithHttp(const QString& text);
bool BeginsWithHttp(std::string_view utf8);

// Overwrites a QString's characters before it is released; Qt frees without wiping.
void WipeQString(QString& text);
// Overwrites the text a line edit holds, in its own buffer, then empties the field.
void WipeLineEdit(QLineEdit& edit);

}  // namespace corvella
