#include "Text.h"

#include <QByteArray>
#include <QLineEdit>

#include "store/TextCodec.h"

namespace corvella {

QString FromBytes(std::string_view bytes) {
  const std::string text = DisplayText(bytes);
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString FromSecretBytes(std::string_view bytes) {
  if (IsValidUtf8(bytes)) {
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
  }
  std::string text = DisplayText(bytes);
  QString result = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  Cleanse(text.data(), text.capacity());
  return result;
}

std::string ToBytes(const QString& text) {
  const QByteArray utf8 = text.toUtf8();
  return std::string(utf8.constData(), static_cast<std::size_t>(utf8.size()));
}

SecureString ToSecretBytes(const QString& text) {
  QByteArray utf8 = text.toUtf8();
  SecureString bytes(utf8.constData(), static_cast<std::size_t>(utf8.size()));
  Cleanse(utf8.data(), static_cast<std::size_t>(utf8.size()));
  return bytes;
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
  if (!text.isDetached()) {
    text.clear();
    return;
  }
  Cleanse(text.data(), static_cast<std::size_t>(text.size()) * sizeof(QChar));
  text.clear();
}

void WipeLineEdit(QLineEdit& edit) {
  // text() shares the field's own buffer; writing through it reaches the characters the field
  // holds, which clear() alone would free unwiped.
  const QString text = edit.text();
  if (!text.isEmpty()) {
    Cleanse(const_cast<QChar*>(text.constData()),
            static_cast<std::size_t>(text.size()) * sizeof(QChar));
  }
  edit.clear();
}

}  // namespace corvella
