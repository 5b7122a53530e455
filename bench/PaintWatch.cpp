// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Presses Return in a window of $DISPLAY and reports how long the window was painted after it,
// for bench/DesktopBench.py. The X server reports every drawing into the window (DAMAGE
// extension, one event per drawn rectangle); a drawing counts when it covers at least MIN_AREA
// pixels, which leaves out a blinking text cursor. The tool waits until the window has not been
// drawn into for QUIET_MS, presses Return through the XTEST extension (as a keyboard would, into
// the focused window), and then waits until the window has again been quiet for QUIET_MS after at
// least one drawing. It prints one line:
//   painted-ms: MS drawings: COUNT area: PIXELS
// MS runs from just before the key press is sent until the last drawing arrived, COUNT and PIXELS
// are the drawings after the key press and the pixels they covered.
//   bench_paint_watch WINDOW [--quiet-ms N] [--min-area N] [--timeout-ms N] [--verbose]

#include <poll.h>
#include <xcb/damage.h>
#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <optional>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

constexpr uint32_t kReturnKeysym = 0xff0d;

struct Options {
  xcb_window_t window = 0;
  int quietMs = 300;
  long minArea = 1024;
  int timeoutMs = 60'000;
  bool verbose = false;
};

std::optional<Options> ParseOptions(int argc, char** argv) {
  Options options;
  bool haveWindow = false;
  try {
    for (int i = 1; i < argc; ++i) {
      const std::string argument = argv[i];
      const bool hasValue = i + 1 < argc;
      if (argument == "--quiet-ms" && hasValue) {
        options.quietMs = std::stoi(argv[++i]);
      } else if (argument == "--min-area" && hasValue) {
        options.minArea = std::stol(argv[++i]);
      } else if (argument == "--timeout-ms" && hasValue) {
        options.timeoutMs = std::stoi(argv[++i]);
      } else if (argument == "--verbose") {
        options.verbose = true;
      } else if (!haveWindow && !argument.empty() && argument[0] != '-') {
        options.window = static_cast<xcb_window_t>(std::stoul(argument, nullptr, 0));
        haveWindow = true;
      } else {
        return std::nullopt;
      }
    }
  } catch (const std::exception&) {
    return std::nullopt;
  }
  if (!haveWindow) return std::nullopt;
  return options;
}

template <typename T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;

template <typename T>
Reply<T> Owned(T* reply) {
  return Reply<T>(reply, &std::free);
}

// The key code that types Return, 0 if the keyboard has none.
xcb_keycode_t ReturnKeycode(xcb_connection_t* connection) {
  const xcb_setup_t* setup = xcb_get_setup(connection);
  const int count = setup->max_keycode - setup->min_keycode + 1;
  const auto mapping = Owned(xcb_get_keyboard_mapping_reply(
      connection,
      xcb_get_keyboard_mapping(connection, setup->min_keycode, static_cast<uint8_t>(count)),
      nullptr));
  if (mapping == nullptr) return 0;
  const xcb_keysym_t* keysyms = xcb_get_keyboard_mapping_keysyms(mapping.get());
  const int perCode = mapping->keysyms_per_keycode;
  for (int code = 0; code < count; ++code) {
    for (int column = 0; column < perCode; ++column) {
      if (keysyms[code * perCode + column] == kReturnKeysym) {
        return static_cast<xcb_keycode_t>(setup->min_keycode + code);
      }
    }
  }
  return 0;
}

double MsSince(Clock::time_point start, Clock::time_point now) {
  return std::chrono::duration<double, std::milli>(now - start).count();
}

class Watcher {
 public:
  Watcher(xcb_connection_t* connection, const Options& options, uint8_t damageEvent)
      : connection_(connection), options_(options), damageEvent_(damageEvent) {}

  // Waits until `deadline` or a counted drawing; returns whether one came.
  bool WaitForDrawing(Clock::time_point deadline) {
    while (true) {
      while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
        const auto owned = Owned(event);
        if (Counts(event)) return true;
      }
      if (xcb_connection_has_error(connection_) != 0) {
        std::fprintf(stderr, "bench_paint_watch: the display went away\n");
        std::exit(1);
      }
      const auto now = Clock::now();
      if (now >= deadline) return false;
      pollfd descriptor{xcb_get_file_descriptor(connection_), POLLIN, 0};
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
      poll(&descriptor, 1, static_cast<int>(left));
    }
  }

  Clock::time_point start;
  Clock::time_point lastDrawing;
  int drawings = 0;
  long area = 0;

 private:
  bool Counts(const xcb_generic_event_t* event) {
    if ((event->response_type & 0x7F) == 0) {
      std::fprintf(stderr, "bench_paint_watch: X error %d\n",
                   reinterpret_cast<const xcb_generic_error_t*>(event)->error_code);
      std::exit(1);
    }
    if ((event->response_type & 0x7F) != damageEvent_ + XCB_DAMAGE_NOTIFY) return false;
    const auto* notify = reinterpret_cast<const xcb_damage_notify_event_t*>(event);
    const long pixels = long{notify->area.width} * notify->area.height;
    const auto now = Clock::now();
    if (options_.verbose) {
      std::fprintf(stderr, "%9.2f ms: %dx%d+%d+%d\n", MsSince(start, now), notify->area.width,
                   notify->area.height, notify->area.x, notify->area.y);
    }
    if (pixels < options_.minArea) return false;
    lastDrawing = now;
    ++drawings;
    area += pixels;
    return true;
  }

  xcb_connection_t* connection_;
  const Options& options_;
  uint8_t damageEvent_;
};

}  // namespace

int main(int argc, char** argv) {
  const std::optional<Options> options = ParseOptions(argc, argv);
  if (!options) {
    std::fprintf(stderr,
                 "usage: bench_paint_watch WINDOW [--quiet-ms N] [--min-area N] [--timeout-ms N] "
                 "[--verbose]\n");
    return 2;
  }
  xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
  if (xcb_connection_has_error(connection) != 0) {
    std::fprintf(stderr, "bench_paint_watch: cannot open the display\n");
    return 1;
  }
  const xcb_query_extension_reply_t* damage = xcb_get_extension_data(connection, &xcb_damage_id);
  const xcb_query_extension_reply_t* xtest = xcb_get_extension_data(connection, &xcb_test_id);
  if (damage == nullptr || damage->present == 0 || xtest == nullptr || xtest->present == 0) {
    std::fprintf(stderr, "bench_paint_watch: the display lacks DAMAGE or XTEST\n");
    return 1;
  }
  // The extension must be told which version the client speaks before any other request.
  const auto version = Owned(xcb_damage_query_version_reply(
      connection, xcb_damage_query_version(connection, 1, 1), nullptr));
  const xcb_keycode_t returnKey = ReturnKeycode(connection);
  if (version == nullptr || returnKey == 0) {
    std::fprintf(stderr, "bench_paint_watch: no DAMAGE version or no Return key\n");
    return 1;
  }
  const xcb_damage_damage_t watch = xcb_generate_id(connection);
  // A cookie checked at once: a wrong window id fails here, not later.
  if (const auto error = Owned(xcb_request_check(
          connection, xcb_damage_create_checked(connection, watch, options->window,
                                                XCB_DAMAGE_REPORT_LEVEL_RAW_RECTANGLES)))) {
    std::fprintf(stderr, "bench_paint_watch: cannot watch window 0x%x (X error %d)\n",
                 options->window, error->error_code);
    return 1;
  }

  Watcher watcher(connection, *options, damage->first_event);
  const auto quiet = std::chrono::milliseconds(options->quietMs);
  const auto giveUp = Clock::now() + std::chrono::milliseconds(options->timeoutMs);
  watcher.start = Clock::now();
  while (watcher.WaitForDrawing(std::min(Clock::now() + quiet, giveUp))) {
  }
  if (Clock::now() >= giveUp) {
    std::fprintf(stderr, "bench_paint_watch: the window never became quiet\n");
    return 1;
  }

  watcher.drawings = 0;
  watcher.area = 0;
  watcher.start = Clock::now();
  xcb_test_fake_input(connection, XCB_KEY_PRESS, returnKey, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
  xcb_test_fake_input(connection, XCB_KEY_RELEASE, returnKey, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
  xcb_flush(connection);
  if (!watcher.WaitForDrawing(giveUp)) {
    std::fprintf(stderr, "bench_paint_watch: nothing was drawn after the key\n");
    return 1;
  }
  while (watcher.WaitForDrawing(std::min(watcher.lastDrawing + quiet, giveUp))) {
  }
  if (Clock::now() >= giveUp) {
    std::fprintf(stderr, "bench_paint_watch: the window never became quiet after the key\n");
    return 1;
  }
  std::printf("painted-ms: %.3f drawings: %d area: %ld\n",
              MsSince(watcher.start, watcher.lastDrawing), watcher.drawings, watcher.area);
  xcb_damage_destroy(connection, watch);
  xcb_disconnect(connection);
  return 0;
}
