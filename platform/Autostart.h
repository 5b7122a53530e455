// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>

namespace corvella::platform {

// Start at log-on through the XDG autostart entry `<config dir>/autostart/Corvella.desktop`,
// whose Exec line holds the quoted program path and whose Icon line the program's icon name.
class Autostart {
 public:
  // The user's configuration folder and the running program.
  Autostart();
  // `configDir` is the configuration folder (trailing '/' optional).
  Autostart(std::string configDir, std::string programPath);

  // Writes the entry, replacing any previous one as a whole. Failure:
  // `Unable to open key "<config dir>/autostart" for write`.
  void AddToStartup();

  // Deletes the entry. Failure, also when it is already gone:
  // `Unable to open key "<config dir>/autostart" and access value "Corvella.desktop"`.
  void RemoveFromStartup();

  // True when the entry exists with a non-empty Exec and is not switched off (Hidden=true, or
  // X-GNOME-Autostart-enabled=false as desktop session tools write it). The path in Exec is not
  // compared with the running program.
  bool IsInStartup() const;

  const std::string& EntryPath() const { return entryPath_; }

  // The Exec value for `programPath`: the path in double quotes with ", `, $ and \ escaped by a
  // backslash and % doubled, then escaped once more as a desktop-entry string value.
  static std::string ExecValue(const std::string& programPath);

 private:
  std::string autostartDir_;  // without a trailing '/'
  std::string entryPath_;
  std::string programPath_;
};

}  // namespace corvella::platform
