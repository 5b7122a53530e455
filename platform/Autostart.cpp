// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Autostart.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QString>
#include <utility>

#include "Files.h"
#include "Paths.h"
#include "QtText.h"
#include "core/Error.h"

namespace corvella::platform {
namespace {

constexpr const char* kEntryName = "Corvella.desktop";

std::string WithoutTrailingSlash(std::string path) {
  while (!path.empty() && path.back() == '/') path.pop_back();
  return path;
}

}  // namespace

Autostart::Autostart() : Autostart(UserConfigDir(), ProgramPath()) {}

Autostart::Autostart(std::string configDir, std::string programPath)
    : autostartDir_(WithoutTrailingSlash(std::move(configDir)) + "/autostart"),
      entryPath_(autostartDir_ + "/" + kEntryName),
      programPath_(std::move(programPath)) {}

std::string Autostart::ExecValue(const std::string& programPath) {
  // Quoting rules of the Exec key: inside double quotes, ", `, $ and \ take a backslash and a
  // literal % is written %%.
  std::string quoted = "\"";
  for (const char c : programPath) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
    if (c == '%') quoted += '%';
    quoted += c;
  }
  quoted += '"';
  // The value is also a string value, whose escapes are undone before the quoting rules apply.
  std::string value;
  for (const char c : quoted) {
    switch (c) {
      case '\\':
        value += "\\\\";
        break;
      case '\n':
        value += "\\n";
        break;
      case '\t':
        value += "\\t";
        break;
      case '\r':
        value += "\\r";
        break;
      default:
        value += c;
    }
  }
  return value;
}

void Autostart::AddToStartup() {
  const std::string content =
      "[Desktop Entry]\n"
      "Type=Application\n"
      "Name=Corvella\n"
      "Exec=" +
      ExecValue(programPath_) +
      "\n"
      "Icon=" CORVELLA_APP_ID
      "\n"
      "X-GNOME-Autostart-enabled=true\n";
  // Written beside the entry and renamed over it, so a session starting meanwhile never reads
  // half an entry; a link at the entry's place is replaced, never written through.
  try {
    CreateDirectories(autostartDir_);
    AtomicFileWriter file(entryPath_);
    file.Write(content);
    file.Commit();
  } catch (const Error&) {
    throw Error("Unable to open key \"" + autostartDir_ + "\" for write");
  }
}

void Autostart::RemoveFromStartup() {
  if (!QFile::remove(ToQString(entryPath_))) {
    throw Error("Unable to open key \"" + autostartDir_ + "\" and access value \"" + kEntryName +
                "\"");
  }
}

bool Autostart::IsInStartup() const {
  QFile file(ToQString(entryPath_));
  if (!QFileInfo(file).isFile() || !file.open(QIODevice::ReadOnly)) return false;

  bool inMainGroup = false;
  bool hasExec = false;
  bool switchedOff = false;
  for (const QByteArray& rawLine : file.readAll().split('\n')) {
    const QByteArray line = rawLine.trimmed();
    if (line.isEmpty() || line.startsWith('#')) continue;
    if (line.startsWith('[')) {
      inMainGroup = line == "[Desktop Entry]";
      continue;
    }
    const qsizetype equals = line.indexOf('=');
    if (!inMainGroup || equals < 0) continue;
    const QByteArray key = line.left(equals).trimmed();
    const QByteArray value = line.mid(equals + 1).trimmed();
    if (key == "Exec") {
      hasExec = !value.isEmpty();
    } else if (key == "Hidden") {
      switchedOff = switchedOff || value == "true";
    } else if (key == "X-GNOME-Autostart-enabled") {
      switchedOff = switchedOff || value == "false";
    }
  }
  return hasExec && !switchedOff;
}

}  // namespace corvella::platform
