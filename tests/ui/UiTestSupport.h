// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// What the tests of ui/ share, with or without windows: a temporary home, files read and written
// whole, the clipboard as other programs see it, and a stand-in for the web browser.

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMimeData>
#include <QObject>
#include <QTemporaryDir>
#include <QUrl>
#include <string>
#include <string_view>

namespace corvella::test {

// Test vaults only; none of these is ever printed.
constexpr std::string_view kVaultPassword = "correct horse 7";
constexpr std::string_view kProgramPath = "/opt/corvella/bin/corvella";
// The hint that a copied password carries for clipboard managers.
inline const char* const kSecretHint = "x-kde-passwordManagerHint";
// What other programs put on the clipboard in these tests.
inline const char* const kElsewhere = "copied elsewhere";

inline std::string Bytes(const QString& text) { return text.toUtf8().toStdString(); }

inline QString Text(std::string_view bytes) {
  return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

inline QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

inline bool WriteAll(const QString& path, const QByteArray& content) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile file(path);
  return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
         file.write(content) == content.size();
}

// Points HOME and the XDG folders at folders inside `home`; the runtime folder is private, as
// the desktop makes it.
[[nodiscard]] inline bool UseTemporaryHome(const QTemporaryDir& home) {
  const auto path = [&home](const char* below) { return home.filePath(QLatin1String(below)); };
  for (const char* folder : {"home", "config", "data", "runtime"}) {
    if (!QDir().mkpath(path(folder))) return false;
  }
  if (!QFile::setPermissions(path("runtime"),
                             QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner)) {
    return false;
  }
  qputenv("HOME", path("home").toUtf8());
  qputenv("XDG_CONFIG_HOME", path("config").toUtf8());
  qputenv("XDG_DATA_HOME", path("data").toUtf8());
  qputenv("XDG_RUNTIME_DIR", path("runtime").toUtf8());
  return true;
}

inline QString ClipboardText() { return QGuiApplication::clipboard()->text(); }

inline bool ClipboardMarkedSecret() {
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  return data != nullptr && data->hasFormat(QLatin1String(kSecretHint)) &&
         data->data(QLatin1String(kSecretHint)) == "secret";
}

// Takes the place of the desktop's web browser: records each address and what the clipboard
// held at that moment. Register it with QDesktopServices::setUrlHandler(scheme, &recorder,
// "open").
class UrlRecorder : public QObject {
  Q_OBJECT

 public:
  struct Call {
    QUrl url;
    QString clipboard;
    bool secret = false;
  };
  QList<Call> calls;

 public slots:
  void open(const QUrl& url) { calls.append({url, ClipboardText(), ClipboardMarkedSecret()}); }
};

}  // namespace corvella::test
