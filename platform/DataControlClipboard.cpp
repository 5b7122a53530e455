// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "DataControlClipboard.h"

#include <signal.h>
#include <string.h>
#include <unistd.h>
#include <wayland-client.h>

#include <QGuiApplication>
#include <QSocketNotifier>
#include <cerrno>
#include <cstring>
#include <vector>

#include "wlr-data-control-unstable-v1-client-protocol.h"

namespace corvella::platform {
namespace {

constexpr const char* kTextTypes[] = {"text/plain;charset=utf-8", "text/plain"};
constexpr const char* kSecretHint = "x-kde-passwordManagerHint";
constexpr std::string_view kSecretHintData = "secret";

// ext_data_control_v1 is the standard name of the same protocol: the same requests and events in
// the same order. Its manager is bound under this description, and every object made from it
// then speaks through the one set of generated functions.
const wl_interface kExtManagerInterface = [] {
  wl_interface interface = zwlr_data_control_manager_v1_interface;
  interface.name = "ext_data_control_manager_v1";
  interface.version = 1;
  return interface;
}();

// Writes all of `bytes` to a reader's pipe and closes it. A reader that has gone away must not
// end the program with SIGPIPE.
void Serve(int fd, std::string_view bytes) {
  struct sigaction ignore {};
  struct sigaction previous {};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGPIPE, &ignore, &previous);
  while (!bytes.empty()) {
    const ssize_t written = write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) break;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  sigaction(SIGPIPE, &previous, nullptr);
  close(fd);
}

// Text offered on the clipboard: its one buffer, wiped when the offer ends.
struct Source {
  zwlr_data_control_source_v1* proxy = nullptr;
  std::vector<char> text;
  bool secret = false;
  DataControlClipboard::Connection* connection = nullptr;

  ~Source() {
    if (!text.empty()) explicit_bzero(text.data(), text.size());
    if (proxy != nullptr) zwlr_data_control_source_v1_destroy(proxy);
  }
};

}  // namespace

struct DataControlClipboard::Connection {
  wl_display* display = nullptr;
  wl_registry* registry = nullptr;
  wl_seat* seat = nullptr;
  zwlr_data_control_manager_v1* manager = nullptr;
  zwlr_data_control_device_v1* device = nullptr;
  // Ours while the clipboard holds it.
  std::unique_ptr<Source> current;
  DataControlClipboard* owner = nullptr;

  ~Connection() {
    current.reset();
    if (device != nullptr) zwlr_data_control_device_v1_destroy(device);
    if (manager != nullptr) zwlr_data_control_manager_v1_destroy(manager);
    if (seat != nullptr) wl_seat_destroy(seat);
    if (registry != nullptr) wl_registry_destroy(registry);
    if (display != nullptr) wl_display_disconnect(display);
  }

  void Flush() const { wl_display_flush(display); }
};

namespace {

using Connection = DataControlClipboard::Connection;

void OnSourceSend(void* data, zwlr_data_control_source_v1*, const char* mimeType, int32_t fd) {
  const auto* source = static_cast<Source*>(data);
  if (std::strcmp(mimeType, kSecretHint) == 0) {
    Serve(fd, source->secret ? kSecretHintData : std::string_view());
  } else {
    Serve(fd, {source->text.data(), source->text.size()});
  }
}

void OnSourceCancelled(void* data, zwlr_data_control_source_v1*) {
  auto* source = static_cast<Source*>(data);
  Connection* connection = source->connection;
  if (connection->current.get() != source) return;
  connection->current.reset();
  emit connection->owner->Replaced();
}

const zwlr_data_control_source_v1_listener kSourceListener = {OnSourceSend, OnSourceCancelled};

// Offers of others' text are not read: each is let go when it becomes the selection.
void OnDataOffer(void*, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1*) {}
void OnSelection(void*, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer) {
  if (offer != nullptr) zwlr_data_control_offer_v1_destroy(offer);
}
void OnFinished(void* data, zwlr_data_control_device_v1* device) {
  // The seat went away: ask for the device again, so that a new seat is served.
  auto* connection = static_cast<Connection*>(data);
  zwlr_data_control_device_v1_destroy(device);
  connection->device = nullptr;
}

const zwlr_data_control_device_v1_listener kDeviceListener = {OnDataOffer, OnSelection, OnFinished};

// Binds the first seat and the data-control manager, the standard one where both are offered.
void OnGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
  auto* connection = static_cast<Connection*>(data);
  if (std::strcmp(interface, wl_seat_interface.name) == 0 && connection->seat == nullptr) {
    connection->seat =
        static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
  } else if (std::strcmp(interface, kExtManagerInterface.name) == 0) {
    if (connection->manager != nullptr) zwlr_data_control_manager_v1_destroy(connection->manager);
    connection->manager = static_cast<zwlr_data_control_manager_v1*>(
        wl_registry_bind(registry, name, &kExtManagerInterface, 1));
  } else if (std::strcmp(interface, zwlr_data_control_manager_v1_interface.name) == 0 &&
             connection->manager == nullptr) {
    connection->manager = static_cast<zwlr_data_control_manager_v1*>(
        wl_registry_bind(registry, name, &zwlr_data_control_manager_v1_interface, 1));
  }
}
void OnGlobalRemove(void*, wl_registry*, uint32_t) {}

const wl_registry_listener kRegistryListener = {OnGlobal, OnGlobalRemove};

}  // namespace

std::unique_ptr<DataControlClipboard> DataControlClipboard::Connect() {
  if (!QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) return nullptr;
  auto connection = std::make_unique<Connection>();
  connection->display = wl_display_connect(nullptr);
  if (connection->display == nullptr) return nullptr;
  connection->registry = wl_display_get_registry(connection->display);
  wl_registry_add_listener(connection->registry, &kRegistryListener, connection.get());
  if (wl_display_roundtrip(connection->display) < 0) return nullptr;
  if (connection->seat == nullptr || connection->manager == nullptr) return nullptr;
  std::unique_ptr<DataControlClipboard> clipboard(new DataControlClipboard(std::move(connection)));
  return clipboard;
}

DataControlClipboard::DataControlClipboard(std::unique_ptr<Connection> connection)
    : connection_(std::move(connection)) {
  connection_->owner = this;
  auto* notifier =
      new QSocketNotifier(wl_display_get_fd(connection_->display), QSocketNotifier::Read, this);
  connect(notifier, &QSocketNotifier::activated, this, &DataControlClipboard::OnReadable);
}

DataControlClipboard::~DataControlClipboard() = default;

void DataControlClipboard::SetText(std::string_view utf8, bool secret) {
  Connection& connection = *connection_;
  if (connection.device == nullptr) {
    connection.device =
        zwlr_data_control_manager_v1_get_data_device(connection.manager, connection.seat);
    zwlr_data_control_device_v1_add_listener(connection.device, &kDeviceListener, &connection);
  }
  auto source = std::make_unique<Source>();
  source->text.assign(utf8.begin(), utf8.end());
  source->secret = secret;
  source->connection = &connection;
  source->proxy = zwlr_data_control_manager_v1_create_data_source(connection.manager);
  zwlr_data_control_source_v1_add_listener(source->proxy, &kSourceListener, source.get());
  for (const char* type : kTextTypes) zwlr_data_control_source_v1_offer(source->proxy, type);
  if (secret) zwlr_data_control_source_v1_offer(source->proxy, kSecretHint);
  zwlr_data_control_device_v1_set_selection(connection.device, source->proxy);
  // The text before is wiped with its source.
  connection.current = std::move(source);
  connection.Flush();
}

bool DataControlClipboard::Usable() const {
  return wl_display_get_error(connection_->display) == 0;
}

bool DataControlClipboard::HoldsOurSecret() const {
  return connection_->current != nullptr && connection_->current->secret;
}

void DataControlClipboard::Sync() { wl_display_roundtrip(connection_->display); }

void DataControlClipboard::OnReadable() {
  wl_display* display = connection_->display;
  while (wl_display_prepare_read(display) != 0) wl_display_dispatch_pending(display);
  connection_->Flush();
  if (wl_display_read_events(display) < 0) {
    // The compositor closed the connection: nothing more arrives on it.
    sender()->deleteLater();
    return;
  }
  wl_display_dispatch_pending(display);
  connection_->Flush();
}

}  // namespace corvella::platform
