#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Writes RGBA pixels (`height` rows of `width`, top row first, opaque) as an
// 8-bit RGB PNG at `path`. Returns why it failed, e.g. "Permission denied",
// or "" when the whole file reached the system.
std::string WriteRgbPng(const std::string& path, int width, int height, const std::vector<std::uint8_t>& rgba);
