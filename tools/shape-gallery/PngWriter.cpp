#include "PngWriter.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace gallery {
namespace {

using Bytes = std::vector<std::uint8_t>;

const std::size_t StoredBlockLimit = 65535;

void PutBigEndian(Bytes& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

void PutLittleEndian16(Bytes& out, std::uint32_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void PutChunk(Bytes& out, const char* type, const Bytes& data) {
    PutBigEndian(out, static_cast<std::uint32_t>(data.size()));
    Bytes typed(type, type + 4);
    typed.insert(typed.end(), data.begin(), data.end());
    out.insert(out.end(), typed.begin(), typed.end());
    PutBigEndian(out, Crc32(typed.data(), typed.size()));
}

// The scan lines, each led by filter type 0 (none).
Bytes ScanLines(int width, int height, const Bytes& rgb) {
    Bytes raw;
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 3;
    for (int row = 0; row < height; ++row) {
        raw.push_back(0);
        raw.insert(raw.end(), rgb.begin() + row * rowBytes, rgb.begin() + (row + 1) * rowBytes);
    }
    return raw;
}

Bytes ZlibStored(const Bytes& raw) {
    Bytes out = {0x78, 0x01};
    std::size_t pos = 0;
    do {
        const std::size_t length = std::min(StoredBlockLimit, raw.size() - pos);
        out.push_back(pos + length == raw.size() ? 1 : 0);  // BFINAL, BTYPE 00
        PutLittleEndian16(out, static_cast<std::uint32_t>(length));
        PutLittleEndian16(out, static_cast<std::uint32_t>(~length & 0xFFFF));
        out.insert(out.end(), raw.begin() + pos, raw.begin() + pos + length);
        pos += length;
    } while (pos < raw.size());
    PutBigEndian(out, Adler32(raw.data(), raw.size()));
    return out;
}

Bytes Header(int width, int height) {
    Bytes header;
    PutBigEndian(header, static_cast<std::uint32_t>(width));
    PutBigEndian(header, static_cast<std::uint32_t>(height));
    // 8 bits per channel, truecolour, deflate, adaptive filtering, no interlace.
    header.insert(header.end(), {8, 2, 0, 0, 0});
    return header;
}

}  // namespace

std::uint32_t Crc32(const std::uint8_t* data, std::size_t length, std::uint32_t crc) {
    crc = ~crc;
    for (std::size_t i = 0; i < length; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

std::uint32_t Adler32(const std::uint8_t* data, std::size_t length) {
    std::uint32_t a = 1, b = 0;
    for (std::size_t i = 0; i < length; ++i) {
        a = (a + data[i]) % 65521;
        b = (b + a) % 65521;
    }
    return (b << 16) | a;
}

bool WritePng(const char* path, int width, int height, const std::vector<std::uint8_t>& rgb) {
    if (width <= 0 || height <= 0 || rgb.size() != static_cast<std::size_t>(width) * height * 3) return false;
    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    PutChunk(png, "IHDR", Header(width, height));
    PutChunk(png, "IDAT", ZlibStored(ScanLines(width, height, rgb)));
    PutChunk(png, "IEND", {});
    std::FILE* file = std::fopen(path, "wb");
    if (file == nullptr) return false;
    const bool written = std::fwrite(png.data(), 1, png.size(), file) == png.size();
    const bool closed = std::fclose(file) == 0;
    return written && closed;
}

}  // namespace gallery
