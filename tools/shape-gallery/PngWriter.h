#pragma once

#include <cstdint>
#include <vector>

namespace gallery {

// CRC-32 as PNG chunks use it (polynomial 0xEDB88320).
std::uint32_t Crc32(const std::uint8_t* data, std::size_t length, std::uint32_t crc = 0);

// Adler-32 as the zlib stream inside a PNG uses it.
std::uint32_t Adler32(const std::uint8_t* data, std::size_t length);

// Writes an 8-bit RGB PNG; `rgb` holds `height` rows of `width` pixels, top
// row first. The image data goes into stored (uncompressed) deflate blocks.
// Returns false when the file cannot be written completely.
bool WritePng(const char* path, int width, int height, const std::vector<std::uint8_t>& rgb);

}  // namespace gallery
