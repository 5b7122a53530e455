// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Moves a virtual pointer to a point of the screen and clicks there, as a mouse would.
//
//   corvella_pointer_click X Y WIDTH HEIGHT [left|right]
//   corvella_pointer_click hold
//
// WIDTH and HEIGHT are the size of the whole screen that X and Y lie in. "hold" keeps a pointer
// until the compositor ends: a seat whose only pointer comes and goes with each click loses it
// for its clients in between, and a client that binds the pointer late misses the click.

#include <linux/input-event-codes.h>
#include <wayland-client.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

namespace {

zwlr_virtual_pointer_manager_v1* manager = nullptr;

void OnGlobal(void*, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
  if (std::strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0) {
    manager = static_cast<zwlr_virtual_pointer_manager_v1*>(
        wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
  }
}
void OnGlobalRemove(void*, wl_registry*, uint32_t) {}
const wl_registry_listener kRegistryListener = {OnGlobal, OnGlobalRemove};

bool ParseCoordinate(const char* text, uint32_t& value) {
  char* end = nullptr;
  const unsigned long parsed = std::strtoul(text, &end, 10);
  if (end == text || *end != '\0' || parsed > 100000) return false;
  value = static_cast<uint32_t>(parsed);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  uint32_t x = 0, y = 0, width = 0, height = 0;
  const bool hold = argc == 2 && std::strcmp(argv[1], "hold") == 0;
  const std::string which = argc == 6 ? argv[5] : "left";
  if (!hold &&
      ((argc != 5 && argc != 6) || !ParseCoordinate(argv[1], x) || !ParseCoordinate(argv[2], y) ||
       !ParseCoordinate(argv[3], width) || !ParseCoordinate(argv[4], height) || x >= width ||
       y >= height || (which != "left" && which != "right"))) {
    std::fputs("usage: corvella_pointer_click X Y WIDTH HEIGHT [left|right] | hold\n", stderr);
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
  if (manager == nullptr) {
    std::fputs("the compositor offers no zwlr_virtual_pointer_manager_v1\n", stderr);
    return 1;
  }
  zwlr_virtual_pointer_v1* pointer =
      zwlr_virtual_pointer_manager_v1_create_virtual_pointer(manager, nullptr);
  if (hold) {
    while (wl_display_dispatch(display) >= 0) {
    }
    return 0;
  }
  const uint32_t button = which == "left" ? BTN_LEFT : BTN_RIGHT;
  uint32_t time = 1;
  zwlr_virtual_pointer_v1_motion_absolute(pointer, time++, x, y, width, height);
  zwlr_virtual_pointer_v1_frame(pointer);
  zwlr_virtual_pointer_v1_button(pointer, time++, button, WL_POINTER_BUTTON_STATE_PRESSED);
  zwlr_virtual_pointer_v1_frame(pointer);
  zwlr_virtual_pointer_v1_button(pointer, time++, button, WL_POINTER_BUTTON_STATE_RELEASED);
  zwlr_virtual_pointer_v1_frame(pointer);
  const bool delivered = wl_display_roundtrip(display) >= 0;
  zwlr_virtual_pointer_v1_destroy(pointer);
  zwlr_virtual_pointer_manager_v1_destroy(manager);
  wl_display_roundtrip(display);
  wl_display_disconnect(display);
  if (!delivered) {
    std::fputs("the compositor closed the connection\n", stderr);
    return 1;
  }
  return 0;
}
