#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace gallery {

// Writes an 8-bit RGB PNG through libpng; `rgb` holds `height` rows of
// `width` pixels, top row first. Returns why it failed, or "" when the whole
// file was written.
std::string WritePng(const char* path, int width, int height, const std::vector<std::uint8_t>& rgb);

}  // namespace gallery
