// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "DocumentText.h"

#include "core/Error.h"
#include "store/TextCodec.h"

namespace corvella::interchange {

std::string_view DocumentText(std::string_view document) {
  if (!IsValidUtf8(document)) throw Error("the document is not valid UTF-8");
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  if (document.starts_with(kByteOrderMark)) document.remove_prefix(kByteOrderMark.size());
  return document;
}

}  // namespace corvella::interchange
