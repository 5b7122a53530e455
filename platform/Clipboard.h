// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <functional>
#include <string_view>

class QObject;

namespace corvella::platform {

// The system clipboard, text only. On Wayland compositors that offer data control it is written
// over a connection of our own, which works while no window of ours has focus; elsewhere through
// the window system's clipboard.
class Clipboard {
 public:
  // Puts `text` on the clipboard.
  static void SetText(const QString& text);
  // Puts a secret (UTF-8) on the clipboard with the hint that asks clipboard managers to keep no
  // history of it. The clipboard serves the one copy made here and wipes it when it lets go of
  // it: when this program or another replaces it, or the program ends.
  static void SetSecret(std::string_view utf8);
  // True while the clipboard still holds the secret set last. `isSecret` recognises it in the
  // clipboard's text, where another program may have put the same text again.
  static bool HoldsSecret(const std::function<bool(std::string_view utf8)>& isSecret);
  // Replaces the clipboard's content with an empty text; the secret it held is wiped.
  static void Clear();
  // False where the clipboard can be replaced only while a window of ours has focus: a Wayland
  // compositor without data control takes a change only with a recent input of ours.
  static bool ClearsInBackground();
  // Waits until the window system has taken the last change, so that it outlives the program.
  static void Settle();
  // Calls `changed` whenever the clipboard's content changes, for as long as `context` lives.
  static void WatchChanges(QObject* context, const std::function<void()>& changed);

  // The clipboard's text, or an empty text when it holds none.
  static QString Text();
  static bool HasText();
  // Hands the clipboard's text as UTF-8 (empty when it holds none) to `read`. A secret of ours is
  // handed without a copy; a copy made of other text is wiped once `read` returns.
  static void ReadText(const std::function<void(std::string_view utf8)>& read);
};

}  // namespace corvella::platform
