#include "Clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace corvella::platform {

void Clipboard::SetText(const QString& text, bool secret) {
  auto* data = new QMimeData;
  data->setText(text);
  if (secret) {
    data->setData(QStringLiteral("x-kde-passwordManagerHint"), QByteArrayLiteral("secret"));
  }
  QGuiApplication::clipboard()->setMimeData(data);  // takes ownership
}

QString Clipboard::Text() { return QGuiApplication::clipboard()->text(); }

}  // namespace corvella::platform
