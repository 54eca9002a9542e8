#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// How a picture's pixels lie in memory: bytes per pixel, red first. The file
// is RGB either way; the pictures are opaque, so an alpha byte is dropped.
enum class PixelLayout { Rgb = 3, Rgba = 4 };

// Writes `pixels` (`height` rows of `width`, top row first) as an 8-bit RGB
// PNG at `path`. Returns why it failed, e.g. "Permission denied", or "" when
// the whole file reached the system.
std::string WriteRgbPng(const std::string& path, int width, int height, const std::vector<std::uint8_t>& pixels,
                        PixelLayout layout);
// The same into `file`, opened by the caller; it is closed.
std::string WriteRgbPng(std::FILE* file, int width, int height, const std::vector<std::uint8_t>& pixels,
                        PixelLayout layout);
