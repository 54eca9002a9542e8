#include "image/PngFile.h"

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

std::vector<std::uint8_t> DropAlpha(const std::vector<std::uint8_t>& rgba) {
    std::vector<std::uint8_t> rgb;
    rgb.reserve(rgba.size() / 4 * 3);
    for (std::size_t i = 0; i + 3 < rgba.size(); i += 4) rgb.insert(rgb.end(), {rgba[i], rgba[i + 1], rgba[i + 2]});
    return rgb;
}

std::string Encode(std::FILE* file, int width, int height, const std::vector<std::uint8_t>& rgb) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGB;
    // Row stride 0: rows follow each other without padding.
    bool written = png_image_write_to_stdio(&image, file, 0, rgb.data(), 0, nullptr) != 0;
    std::string failure = written ? "" : image.message;
    png_image_free(&image);
    return failure;
}

std::string Encode(std::FILE* file, int width, int height, const std::vector<std::uint8_t>& pixels,
                   PixelLayout layout) {
    return layout == PixelLayout::Rgba ? Encode(file, width, height, DropAlpha(pixels))
                                       : Encode(file, width, height, pixels);
}

bool Fits(int width, int height, const std::vector<std::uint8_t>& pixels, PixelLayout layout) {
    return width > 0 && height > 0 &&
           pixels.size() == static_cast<std::size_t>(width) * height * static_cast<std::size_t>(layout);
}

}  // namespace

// Opened here rather than by libpng, which removes the file it could not
// finish: a device such as /dev/full must never be unlinked.
std::string WriteRgbPng(const std::string& path, int width, int height, const std::vector<std::uint8_t>& pixels,
                        PixelLayout layout) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    return file ? WriteRgbPng(file, width, height, pixels, layout) : std::strerror(errno);
}

std::string WriteRgbPng(std::FILE* file, int width, int height, const std::vector<std::uint8_t>& pixels,
                        PixelLayout layout) {
    std::string failure = Fits(width, height, pixels, layout) ? Encode(file, width, height, pixels, layout)
                                                              : "the picture's size does not match its pixels";
    bool flushed = std::fflush(file) == 0 && !std::ferror(file);
    int flushError = errno;
    bool closed = std::fclose(file) == 0;
    if (failure.empty() && !(flushed && closed)) failure = std::strerror(flushed ? errno : flushError);
    return failure;
}
