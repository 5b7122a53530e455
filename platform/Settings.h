#pragma once

#include <string>
#include <string_view>

namespace corvella::platform {

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
  Settings();
  explicit Settings(std::string filePath);

  // The stored value's UTF-8 bytes; "" when the file, the value or its text is missing. A value
  // that is not a plain string (e.g. INI list syntax `a, b`) is an error.
  std::string ReadSetting(std::string_view name) const;

  // Stores `data` (UTF-8) as the value `name`, creating the file and its folder when missing,
  // and writes it to disk before returning; any failure is an error.
  void WriteSetting(std::string_view name, std::string_view data);

  const std::string& FilePath() const { return filePath_; }

 private:
  std::string filePath_;
};

}  // namespace corvella::platform
