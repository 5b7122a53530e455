// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Clipboard.h"

#include <QClipboard>
#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QMimeData>
#include <QPointer>
#include <cstring>

#include "DataControlClipboard.h"

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

// The data-control connection, made at the first use and closed with the application; null where
// the compositor offers none or the session is not Wayland.
DataControlClipboard* DataControl() {
  static bool tried = false;
  static QPointer<DataControlClipboard> clipboard;
  if (!tried) {
    tried = true;
    if (std::unique_ptr<DataControlClipboard> connected = DataControlClipboard::Connect()) {
      connected->setParent(QCoreApplication::instance());
      clipboard = connected.release();
    }
  }
  return clipboard != nullptr && clipboard->Usable() ? clipboard.data() : nullptr;
}

}  // namespace

void Clipboard::SetText(const QString& text) {
  if (DataControlClipboard* dataControl = DataControl()) {
    const QByteArray utf8 = text.toUtf8();
    dataControl->SetText({utf8.constData(), static_cast<std::size_t>(utf8.size())}, false);
    return;
  }
  auto* data = new QMimeData;
  data->setText(text);
  // Takes ownership, and deletes what it held before: a secret is wiped then.
  QGuiApplication::clipboard()->setMimeData(data);
}

void Clipboard::SetSecret(std::string_view utf8) {
  if (DataControlClipboard* dataControl = DataControl()) {
    dataControl->SetText(utf8, true);
    return;
  }
  QGuiApplication::clipboard()->setMimeData(new SecretMimeData(utf8));
}

bool Clipboard::HoldsSecret(const std::function<bool(std::string_view utf8)>& isSecret) {
  if (DataControlClipboard* dataControl = DataControl()) return dataControl->HoldsOurSecret();
  bool holds = false;
  ReadText([&](std::string_view text) { holds = isSecret(text); });
  return holds;
}

void Clipboard::Clear() { SetText(QString()); }

bool Clipboard::ClearsInBackground() {
  return !QGuiApplication::platformName().startsWith(QLatin1String("wayland")) ||
         DataControl() != nullptr;
}

void Clipboard::Settle() {
  if (DataControlClipboard* dataControl = DataControl()) {
    dataControl->Sync();
    return;
  }
  if (ClearsInBackground()) return;
  // A compositor's clipboard keeper reads the new content from us as soon as it is set; it is
  // served from the event loop.
  const QDeadlineTimer deadline(200);
  while (!deadline.hasExpired()) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

void Clipboard::WatchChanges(QObject* context, const std::function<void()>& changed) {
  QObject::connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, context, changed);
  if (DataControlClipboard* dataControl = DataControl()) {
    QObject::connect(dataControl, &DataControlClipboard::Replaced, context, changed);
  }
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
