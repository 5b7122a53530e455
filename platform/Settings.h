// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace corvella::platform {

// The program's stored options.
enum class Option { CopyToClipboard, LockProgram, LockTime, LockOnScreenLock, LockBeforeSleep };

// An option's value name in the settings file, and what a missing value stands for.
struct OptionKey {
  std::string_view name;
  std::string_view defaultValue;
};

// The one place where the value names and defaults are written down.
constexpr OptionKey KeyOf(Option option) {
  switch (option) {
    case Option::CopyToClipboard:
      return {"CopyToClipboard", "0"};
    case Option::LockProgram:
      return {"LockProgram", "0"};
    case Option::LockTime:
      return {"LockTime", "10"};
    case Option::LockOnScreenLock:
      return {"LockOnScreenLock", "1"};
    case Option::LockBeforeSleep:
      return {"LockBeforeSleep", "1"};
  }
  return {};
}

// "1" for true, "0" for false: the form in which flags are stored.
std::string BoolToSetting(bool value);

// True exactly when `text` is "1"; "0", "01", "true", "" and the rest are false.
bool SettingToBool(std::string_view text);

// Where the options live: UserConfigDir() + "Corvella/Corvella.conf".
std::string DefaultSettingsPath();

// The program's options: group-less string values in an INI file. Each call opens the file
// afresh, so a value changed by another tool while the program runs is seen by the next read.
class Settings {
 public:
  // Told of a problem with the file that the program has mended and carries on after.
  using NoticeHandler = std::function<void(const std::string& notice)>;

  Settings();
  explicit Settings(std::string filePath);

  void SetNoticeHandler(NoticeHandler handler) { noticeHandler_ = std::move(handler); }

  // The stored value's UTF-8 bytes; "" when the file, the value or its text is missing. A value
  // that is not a plain string (e.g. INI list syntax `a, b`) is an error.
  std::string ReadSetting(std::string_view name) const;

  // Stores `data` (UTF-8) as the value `name`, creating the file and its folder when missing,
  // and writes it to disk before returning; a failure to write is an error. Lines of the file
  // that cannot be read are dropped from it, which is told of.
  void WriteSetting(std::string_view name, std::string_view data);

  // The option's stored value, or its default when the file or the value is missing. An empty
  // stored value is not missing. A value that is not a plain string is replaced by the default,
  // which is told of once.
  std::string Read(Option option);
  // True exactly when the option reads "1" (SettingToBool).
  bool ReadFlag(Option option);
  // Stores the option's value; errors as WriteSetting.
  void Write(Option option, std::string_view data);
  // Stores a flag as "1" or "0".
  void WriteFlag(Option option, bool value);

  const std::string& FilePath() const { return filePath_; }

 private:
  // The stored value, or nothing when the file or the value is missing.
  std::optional<std::string> Stored(std::string_view name) const;

  void Notify(const std::string& notice) const;

  std::string filePath_;
  NoticeHandler noticeHandler_;
};

}  // namespace corvella::platform
