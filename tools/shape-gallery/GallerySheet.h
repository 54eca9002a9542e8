#pragma once

#include <cstdint>
#include <vector>

namespace gallery {

// The contact sheet: the eight prototype shapes, each lit in its own tile
// with a caption underneath.
constexpr int TileSize = 256;
constexpr int CaptionHeight = 24;
constexpr int Columns = 4;
constexpr int Rows = 2;
constexpr int SheetWidth = Columns * TileSize;
constexpr int SheetHeight = Rows * (TileSize + CaptionHeight);

// Renders the sheet into the current window's back buffer (which must be at
// least SheetWidth x SheetHeight) and returns its pixels, top row first.
std::vector<std::uint8_t> RenderSheet();

}  // namespace gallery
