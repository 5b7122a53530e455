#pragma once

#include <QByteArray>
#include <QString>
#include <QTest>
#include <functional>
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

}  // namespace corvella::test
