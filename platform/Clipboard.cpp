// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <cstring>

namespace corvella::platform {
namespace {

const QString kPlainText = QStringLiteral("text/plain");
const QString kSecretHint = QStringLiteral("x-kde-passwordManagerHint");

// Overwrites the bytes of a buffer, for every holder of it; Qt frees without wiping.
void WipeBuffer(QByteArray& bytes) {
  if (bytes.data_ptr().isMutable()) {
    explicit_bzero(const_cast<char*>(bytes.constData()), static_cast<std::size_t>(bytes.size()));
  }
}

// A secret on the clipboard: the one buffer of its text, served to every reader without a copy,
// and wiped when the clipboard deletes it.
class SecretMimeData final : public QMimeData {
 public:
  explicit SecretMimeData(std::string_view utf8)
      : text_(utf8.data(), static_cast<qsizetype>(utf8.size())) {}
  ~SecretMimeData() override { WipeBuffer(text_); }

  QStringList formats() const override { return {kPlainText, kSecretHint}; }
  bool hasFormat(const QString& format) const override {
    return format == kPlainText || format == kSecretHint;
  }

 protected:
  QVariant retrieveData(const QString& format, QMetaType) const override {
    if (format == kPlainText) return text_;
    if (format == kSecretHint) return QByteArray("secret");
    return {};
  }

 private:
  QByteArray text_;
};

}  // namespace

void Clipboard::SetText(const QString& text) {
  auto* data = new QMimeData;
  data->setText(text);
  // Takes ownership, and deletes what it held before: a secret is wiped then.
  QGuiApplication::clipboard()->setMimeData(data);
}

void Clipboard::SetSecret(std::string_view utf8) {
  QGuiApplication::clipboard()->setMimeData(new SecretMimeData(utf8));
}

QString Clipboard::Text() { return QGuiApplication::clipboard()->text(); }

bool Clipboard::HasText() {
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  return data != nullptr && data->hasText();
}

void Clipboard::ReadText(const std::function<void(std::string_view utf8)>& read) {
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  QByteArray text =
      data != nullptr && data->hasFormat(kPlainText) ? data->data(kPlainText) : QByteArray();
  const bool ours = dynamic_cast<const SecretMimeData*>(data) != nullptr;
  read({text.constData(), static_cast<std::size_t>(text.size())});
  // Our secret's buffer stays whole until the clipboard lets go of it; a buffer shared with the
  // clipboard's data is its own.
  if (!ours && text.isDetached()) WipeBuffer(text);
}

}  // namespace corvella::platform
