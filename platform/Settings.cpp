// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Settings.h"

#include <QSettings>
#include <QString>
#include <QVariant>
#include <utility>

#include "Paths.h"
#include "QtText.h"
#include "core/Error.h"

namespace corvella::platform {

std::string BoolToSetting(bool value) { return value ? "1" : "0"; }

bool SettingToBool(std::string_view text) { return text == "1"; }

std::string DefaultSettingsPath() { return UserConfigDir() + "Corvella/Corvella.conf"; }

Settings::Settings() : Settings(DefaultSettingsPath()) {}

Settings::Settings(std::string filePath) : filePath_(std::move(filePath)) {}

std::string Settings::ReadSetting(std::string_view name) const {
  return Stored(name).value_or(std::string());
}

std::optional<std::string> Settings::Stored(std::string_view name) const {
  // A file that cannot be read reads as empty, like a missing one.
  const QSettings settings(ToQString(filePath_), QSettings::IniFormat);
  const QString key = ToQString(name);
  if (!settings.contains(key)) return std::nullopt;
  const QVariant value = settings.value(key);
  if (value.typeId() != QMetaType::QString) {
    throw Error("Invalid data type for '" + std::string(name) + "'");
  }
  return value.toString().toStdString();
}

void Settings::WriteSetting(std::string_view name, std::string_view data) {
  QSettings settings(ToQString(filePath_), QSettings::IniFormat);
  // A QString value is written as a plain `Name=value` line, quoted or escaped only where the
  // INI syntax needs it, so it reads back as the same string.
  settings.setValue(ToQString(name), ToQString(data));
  settings.sync();
  switch (settings.status()) {
    case QSettings::NoError:
      return;
    case QSettings::FormatError:
      // Written all the same: Qt rewrote the file without the lines it could not read.
      Notify("The settings file " + filePath_ + " had lines that could not be read; they were " +
             "removed when '" + std::string(name) + "' was saved.");
      return;
    case QSettings::AccessError:
      break;
  }
  throw Error("Failed to set data for '" + std::string(name) + "' in the settings file " +
              filePath_);
}

void Settings::Notify(const std::string& notice) const {
  if (noticeHandler_) noticeHandler_(notice);
}

std::string Settings::Read(Option option) {
  const OptionKey key = KeyOf(option);
  try {
    return Stored(key.name).value_or(std::string(key.defaultValue));
  } catch (const Error&) {
    // Stored back as the default, so that it is told of once.
    const std::string value(key.defaultValue);
    WriteSetting(key.name, value);
    Notify("The settings file " + filePath_ + " held an invalid value for '" +
           std::string(key.name) + "'; it was reset to \"" + value + "\".");
    return value;
  }
}

bool Settings::ReadFlag(Option option) { return SettingToBool(Read(option)); }

void Settings::Write(Option option, std::string_view data) {
  WriteSetting(KeyOf(option).name, data);
}

void Settings::WriteFlag(Option option, bool value) { Write(option, BoolToSetting(value)); }

}  // namespace corvella::platform
