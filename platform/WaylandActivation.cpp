// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "WaylandActivation.h"

#include <wayland-client.h>

#include <QGuiApplication>
#include <cstring>
#include <memory>

#include "xdg-activation-v1-client-protocol.h"

namespace corvella::platform {
namespace {

struct Request {
  xdg_activation_v1* activation = nullptr;
  QByteArray token;
  bool done = false;
};

void OnGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
  auto* request = static_cast<Request*>(data);
  if (std::strcmp(interface, xdg_activation_v1_interface.name) == 0) {
    request->activation = static_cast<xdg_activation_v1*>(
        wl_registry_bind(registry, name, &xdg_activation_v1_interface, 1));
  }
}
void OnGlobalRemove(void*, wl_registry*, uint32_t) {}
const wl_registry_listener kRegistryListener = {OnGlobal, OnGlobalRemove};

void OnDone(void* data, xdg_activation_token_v1*, const char* token) {
  auto* request = static_cast<Request*>(data);
  request->token = token;
  request->done = true;
}
const xdg_activation_token_v1_listener kTokenListener = {OnDone};

}  // namespace

QByteArray RequestActivationToken() {
  if (!QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) return {};
  const std::unique_ptr<wl_display, decltype(&wl_display_disconnect)> display(
      wl_display_connect(nullptr), &wl_display_disconnect);
  if (display == nullptr) return {};
  Request request;
  wl_registry* registry = wl_display_get_registry(display.get());
  wl_registry_add_listener(registry, &kRegistryListener, &request);
  wl_display_roundtrip(display.get());
  if (request.activation != nullptr) {
    xdg_activation_token_v1* token = xdg_activation_v1_get_activation_token(request.activation);
    xdg_activation_token_v1_add_listener(token, &kTokenListener, &request);
    xdg_activation_token_v1_set_app_id(token, CORVELLA_APP_ID);
    xdg_activation_token_v1_commit(token);
    // The compositor answers at once; a bounded number of round trips waits for it.
    for (int trip = 0; trip < 4 && !request.done; ++trip) {
      if (wl_display_roundtrip(display.get()) < 0) break;
    }
    xdg_activation_token_v1_destroy(token);
    xdg_activation_v1_destroy(request.activation);
  }
  wl_registry_destroy(registry);
  return request.token;
}

}  // namespace corvella::platform
