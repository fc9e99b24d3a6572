// A small PNG encoder (stored deflate blocks, no compression library needed) and the conversion
// of device-independent bitmaps, as pictures keep them in a workbook, to PNG.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace quillane::publish {

// Encodes 8-bit RGB pixels (3 bytes a pixel, rows top to bottom, no padding) as a PNG file.
std::vector<uint8_t> EncodePngRgb(uint32_t width, uint32_t height, std::span<const uint8_t> rgb);

// Converts a DIB (a BITMAPINFOHEADER or BITMAPCOREHEADER, its colour table and the pixels, no
// file header) to a PNG file. Uncompressed 1, 4, 8, 16, 24 and 32 bits per pixel and bit-field
// masks are understood; run-length compressed, damaged or over-large bitmaps give nullopt.
std::optional<std::vector<uint8_t>> DibToPng(std::span<const uint8_t> dib);

// The checksums the PNG and zlib containers need.
uint32_t Crc32(std::span<const uint8_t> bytes, uint32_t crc = 0);
uint32_t Adler32(std::span<const uint8_t> bytes, uint32_t adler = 1);

}  // namespace quillane::publish
