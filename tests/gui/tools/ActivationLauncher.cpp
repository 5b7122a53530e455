// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Starts a program the way a Wayland launcher does: with an activation token from the
// compositor in XDG_ACTIVATION_TOKEN, so that the program may take focus.
//
//   corvella_activation_launcher PROGRAM [ARGUMENTS...]

#include <stdlib.h>
#include <unistd.h>
#include <wayland-client.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "xdg-activation-v1-client-protocol.h"

namespace {

xdg_activation_v1* activation = nullptr;
std::string token;
bool done = false;

void OnGlobal(void*, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
  if (std::strcmp(interface, xdg_activation_v1_interface.name) == 0) {
    activation = static_cast<xdg_activation_v1*>(
        wl_registry_bind(registry, name, &xdg_activation_v1_interface, 1));
  }
}
void OnGlobalRemove(void*, wl_registry*, uint32_t) {}
const wl_registry_listener kRegistryListener = {OnGlobal, OnGlobalRemove};

void OnDone(void*, xdg_activation_token_v1*, const char* value) {
  token = value;
  done = true;
}
const xdg_activation_token_v1_listener kTokenListener = {OnDone};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs("usage: corvella_activation_launcher PROGRAM [ARGUMENTS...]\n", stderr);
    return 2;
  }
  wl_display* display = wl_display_connect(nullptr);
  if (display == nullptr) {
    std::fputs("no Wayland display\n", stderr);
    return 1;
  }
  wl_registry* registry = wl_display_get_registry(display);
  wl_registry_add_listener(registry, &kRegistryListener, nullptr);
  wl_display_roundtrip(display);
  if (activation == nullptr) {
    std::fputs("the compositor offers no xdg_activation_v1\n", stderr);
    return 1;
  }
  xdg_activation_token_v1* request = xdg_activation_v1_get_activation_token(activation);
  xdg_activation_token_v1_add_listener(request, &kTokenListener, nullptr);
  xdg_activation_token_v1_commit(request);
  while (!done && wl_display_dispatch(display) >= 0) {
  }
  wl_display_disconnect(display);
  if (!done) return 1;
  setenv("XDG_ACTIVATION_TOKEN", token.c_str(), 1);
  execvp(argv[1], argv + 1);
  std::perror(argv[1]);
  return 127;
}
