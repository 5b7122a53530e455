#pragma once

#include <QString>

namespace corvella::platform {

// The system clipboard, text only.
class Clipboard {
 public:
  // Puts `text` on the clipboard. A secret carries the hint that asks clipboard managers to keep
  // no history of it.
  static void SetText(const QString& text, bool secret);
  // The clipboard's text, or an empty text when it holds none.
  static QString Text();
};

}  // namespace corvella::platform
