// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <optional>
#include <string>

#include "core/Error.h"

Q_DECLARE_METATYPE(std::string)

// Readable values in failure messages of QCOMPARE on std::string.
template <>
inline char* QTest::toString(const std::string& value) {
  return QTest::toString(QByteArray::fromStdString(value));
}

namespace corvella::test {

// The message of the corvella::Error that `action` raises, or "<no error>".
inline QString ErrorText(const std::function<void()>& action) {
  try {
    action();
  } catch (const Error& error) {
    return QString::fromUtf8(error.what());
  }
  return QStringLiteral("<no error>");
}

// Writes `content` as the whole file at `path`, making its folder when missing.
inline void WriteFile(const QString& path, const QByteArray& content) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  QCOMPARE(file.write(content), content.size());
}

// The whole file at `path`; empty when it cannot be read.
inline QByteArray ReadFile(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The folders a platform test works in: a temporary XDG_CONFIG_HOME for the whole program, so
// that anything that falls back to the default location stays out of the user's files, and a
// fresh folder for each test function.
class TestFolders {
 public:
  // From init(): points XDG_CONFIG_HOME at the program's configuration folder and replaces the
  // previous test function's folder with an empty one. False when a folder could not be made.
  bool SetUp() {
    if (!configHome_.isValid()) return false;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome_.path()));
    testFolder_.emplace();
    return testFolder_->isValid();
  }

  QString ConfigHome() const { return configHome_.path(); }
  // `name` inside the current test function's folder.
  QString FilePath(const QString& name) const { return testFolder_->filePath(name); }

 private:
  QTemporaryDir configHome_;
  std::optional<QTemporaryDir> testFolder_;
};

}  // namespace corvella::test
