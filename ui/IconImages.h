// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <span>

namespace corvella {

// One rendering of the artwork: side x side premultiplied ARGB32 pixels, row by row.
struct IconImage {
  const char* name;
  int side;
  const std::uint32_t* pixels;
};

// Every rendering, made at build time from resources/icons/*.svg.
std::span<const IconImage> IconImages();

}  // namespace corvella
