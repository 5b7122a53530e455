#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "SecureMemory.h"

namespace corvella {

// Stored texts are bytes. New texts are written as UTF-8; files made on Windows hold
// Windows-1252 bytes, which are shown decoded as such.

bool IsValidUtf8(std::string_view bytes);

// The bytes as UTF-8 text: unchanged when they are valid UTF-8, else decoded as Windows-1252.
std::string DisplayText(std::string_view bytes);

// The Windows-1252 bytes of UTF-8 text, or nothing when a character has no such byte.
std::optional<SecureString> Utf8ToWindows1252(std::string_view utf8);

}  // namespace corvella
