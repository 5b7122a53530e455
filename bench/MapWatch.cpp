// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Watches the root window of $DISPLAY for bench/DesktopBench.py. Prints, one flushed line each,
// "wm" once a window manager has announced itself, and "map 0xID" whenever a top-level window
// (not override-redirect) is mapped; with a reparenting window manager that is the frame, whose
// mapping makes the client window viewable. Runs until the display goes away.

#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

constexpr char kWmCheck[] = "_NET_SUPPORTING_WM_CHECK";

bool HasWmCheck(xcb_connection_t* connection, xcb_window_t root, xcb_atom_t atom) {
  const std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
      xcb_get_property_reply(
          connection, xcb_get_property(connection, 0, root, atom, XCB_ATOM_WINDOW, 0, 1), nullptr),
      &std::free);
  return reply != nullptr && xcb_get_property_value_length(reply.get()) > 0;
}

}  // namespace

int main() {
  int screenNumber = 0;
  xcb_connection_t* connection = xcb_connect(nullptr, &screenNumber);
  if (xcb_connection_has_error(connection) != 0) {
    std::fprintf(stderr, "bench_map_watch: cannot open the display\n");
    return 1;
  }
  xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
  for (int i = 0; i < screenNumber && screens.rem > 0; ++i) xcb_screen_next(&screens);
  const xcb_window_t root = screens.data->root;

  const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> atomReply(
      xcb_intern_atom_reply(
          connection,
          xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(kWmCheck)), kWmCheck),
          nullptr),
      &std::free);
  if (atomReply == nullptr) return 1;
  const xcb_atom_t wmCheck = atomReply->atom;

  // Select first, then look: a window manager starting in between is seen either way.
  const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_PROPERTY_CHANGE;
  xcb_change_window_attributes(connection, root, XCB_CW_EVENT_MASK, &mask);
  bool wmSeen = HasWmCheck(connection, root, wmCheck);
  if (wmSeen) std::printf("wm\n");
  std::printf("ready\n");
  std::fflush(stdout);

  while (xcb_generic_event_t* event = xcb_wait_for_event(connection)) {
    const std::unique_ptr<xcb_generic_event_t, decltype(&std::free)> owned(event, &std::free);
    switch (event->response_type & 0x7F) {
      case XCB_MAP_NOTIFY: {
        const auto* map = reinterpret_cast<const xcb_map_notify_event_t*>(event);
        if (map->event == root && map->override_redirect == 0) {
          std::printf("map 0x%x\n", map->window);
          std::fflush(stdout);
        }
        break;
      }
      case XCB_PROPERTY_NOTIFY: {
        const auto* property = reinterpret_cast<const xcb_property_notify_event_t*>(event);
        if (!wmSeen && property->atom == wmCheck && HasWmCheck(connection, root, wmCheck)) {
          wmSeen = true;
          std::printf("wm\n");
          std::fflush(stdout);
        }
        break;
      }
      default:
        break;
    }
  }
  xcb_disconnect(connection);
  return 0;
}
