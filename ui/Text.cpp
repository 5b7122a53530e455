// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Text.h"

#include <QByteArray>

#include "core/Error.h"
#include "store/SecureMemory.h"
#include "store/TextCodec.h"

namespace corvella {

QString FromBytes(std::string_view bytes) {
  const std::string text = DisplayText(bytes);
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string ToBytes(const QString& text) {
  const QByteArray utf8 = text.toUtf8();
  return std::string(utf8.constData(), static_cast<std::size_t>(utf8.size()));
}

bool BeginsWithHttp(const QString& text) {
  return text.startsWith(QLatin1String("http"), Qt::CaseInsensitive);
}

bool BeginsWithHttp(std::string_view utf8) {
  // Compared in place: no copy of what may be a password.
  return QLatin1String(utf8.data(), static_cast<qsizetype>(utf8.size()))
      .startsWith(QLatin1String("http"), Qt::CaseInsensitive);
}

void WipeQString(QString& text) {
  QString::DataPointer& data = text.data_ptr();
  if (data.isMutable()) {
    CORVELLA_ASSERT(!data.isShared());
    // From the start of the allocation: characters removed from the front stay before data().
    char16_t* start = data.data() - data.freeSpaceAtBegin();
    Cleanse(start, static_cast<std::size_t>(data.constAllocatedCapacity()) * sizeof(char16_t));
  }
  text.clear();
}

}  // namespace corvella
