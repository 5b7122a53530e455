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
