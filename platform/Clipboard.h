// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <functional>
#include <string_view>

namespace corvella::platform {

// The system clipboard, text only.
class Clipboard {
 public:
  // Puts `text` on the clipboard.
  static void SetText(const QString& text);
  // Puts a secret (UTF-8) on the clipboard with the hint that asks clipboard managers to keep no
  // history of it. The clipboard serves the one copy made here and wipes it when it lets go of
  // it: when this program or another replaces it, or the program ends.
  static void SetSecret(std::string_view utf8);
  // The clipboard's text, or an empty text when it holds none.
  static QString Text();
  static bool HasText();
  // Hands the clipboard's text as UTF-8 (empty when it holds none) to `read`. A secret of ours is
  // handed without a copy; a copy made of other text is wiped once `read` returns.
  static void ReadText(const std::function<void(std::string_view utf8)>& read);
};

}  // namespace corvella::platform
