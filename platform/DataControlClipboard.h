// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QObject>
#include <memory>
#include <string_view>

namespace corvella::platform {

// The clipboard through the Wayland data-control protocol (wlroots and KDE compositors), over a
// connection of our own. Unlike a window's clipboard it works while no window of ours has
// focus: it may replace the clipboard at any time and learns when someone else replaces it.
class DataControlClipboard final : public QObject {
  Q_OBJECT

 public:
  // Null when the session is not Wayland or the compositor offers no data control.
  static std::unique_ptr<DataControlClipboard> Connect();
  ~DataControlClipboard() override;

  // Puts text on the clipboard; a secret carries the hint that asks clipboard managers to keep
  // no history of it. The bytes are served from one buffer, wiped when it is let go.
  void SetText(std::string_view utf8, bool secret);
  // True while the clipboard holds the secret set last through this connection.
  bool HoldsOurSecret() const;
  // False once the compositor has closed the connection.
  bool Usable() const;
  // Waits until the compositor has taken every request sent so far.
  void Sync();

  struct Connection;

 signals:
  // Someone else replaced the text set here.
  void Replaced();

 private:
  explicit DataControlClipboard(std::unique_ptr<Connection> connection);
  void OnReadable();

  std::unique_ptr<Connection> connection_;
};

}  // namespace corvella::platform
