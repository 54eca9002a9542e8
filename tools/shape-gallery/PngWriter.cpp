#include "PngWriter.h"

#include <png.h>

namespace gallery {

std::string WritePng(const char* path, int width, int height, const std::vector<std::uint8_t>& rgb) {
    if (width <= 0 || height <= 0 || rgb.size() != static_cast<std::size_t>(width) * height * 3)
        return "the picture's size does not match its pixels";
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGB;
    // Row stride 0: rows follow each other without padding.
    bool written = png_image_write_to_file(&image, path, 0, rgb.data(), 0, nullptr) != 0;
    std::string failure = written ? "" : image.message;
    png_image_free(&image);
    return failure;
}

}  // namespace gallery
