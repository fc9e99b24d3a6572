#include "spreadsheet/publish/PngWriter.h"

#include <array>
#include <cstring>

namespace quillane::publish {

namespace {

constexpr uint32_t kMaxSide = 30000;
constexpr uint64_t kMaxPixels = 64ull * 1024 * 1024;

const std::array<uint32_t, 256>& CrcTable() {
  static const std::array<uint32_t, 256> table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  return table;
}

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v >> 24));
  out.push_back(static_cast<uint8_t>(v >> 16));
  out.push_back(static_cast<uint8_t>(v >> 8));
  out.push_back(static_cast<uint8_t>(v));
}

void PutChunk(std::vector<uint8_t>& out, const char type[4], std::span<const uint8_t> data) {
  PutU32(out, static_cast<uint32_t>(data.size()));
  size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  PutU32(out, Crc32(std::span<const uint8_t>(out.data() + start, out.size() - start)));
}

uint32_t LeU32(std::span<const uint8_t> b, size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}
uint16_t LeU16(std::span<const uint8_t> b, size_t at) {
  return static_cast<uint16_t>(b[at] | (b[at + 1] << 8));
}

// One channel of a bit-field mask, scaled to 8 bits.
struct Channel {
  uint32_t mask = 0;
  int shift = 0;
  int bits = 0;
  uint8_t Get(uint32_t px) const {
    if (bits == 0) return 0;
    uint32_t v = (px & mask) >> shift;
    if (bits >= 8) return static_cast<uint8_t>(v >> (bits - 8));
    uint32_t max = (1u << bits) - 1;
    return static_cast<uint8_t>((v * 255 + max / 2) / max);
  }
};

Channel MakeChannel(uint32_t mask) {
  Channel c;
  c.mask = mask;
  if (mask == 0) return c;
  while (!((mask >> c.shift) & 1)) ++c.shift;
  while (c.shift + c.bits < 32 && ((mask >> (c.shift + c.bits)) & 1)) ++c.bits;
  return c;
}

}  // namespace

uint32_t Crc32(std::span<const uint8_t> bytes, uint32_t crc) {
  const auto& table = CrcTable();
  uint32_t c = crc ^ 0xFFFFFFFFu;
  for (uint8_t b : bytes) c = table[(c ^ b) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

uint32_t Adler32(std::span<const uint8_t> bytes, uint32_t adler) {
  uint32_t a = adler & 0xFFFF, b = adler >> 16;
  size_t i = 0;
  while (i < bytes.size()) {
    size_t n = std::min<size_t>(bytes.size() - i, 5552);
    for (size_t k = 0; k < n; ++k) {
      a += bytes[i + k];
      b += a;
    }
    a %= 65521;
    b %= 65521;
    i += n;
  }
  return (b << 16) | a;
}

std::vector<uint8_t> EncodePngRgb(uint32_t width, uint32_t height, std::span<const uint8_t> rgb) {
  const size_t stride = static_cast<size_t>(width) * 3;
  // The filtered image: a filter byte (0, none) before each row.
  std::vector<uint8_t> raw;
  raw.reserve((stride + 1) * height);
  for (uint32_t y = 0; y < height; ++y) {
    raw.push_back(0);
    raw.insert(raw.end(), rgb.begin() + y * stride, rgb.begin() + (y + 1) * stride);
  }
  // A zlib stream of stored deflate blocks.
  std::vector<uint8_t> z;
  z.reserve(raw.size() + raw.size() / 65535 * 5 + 16);
  z.push_back(0x78);
  z.push_back(0x01);
  size_t pos = 0;
  do {
    size_t n = std::min<size_t>(raw.size() - pos, 65535);
    bool last = pos + n == raw.size();
    z.push_back(last ? 1 : 0);
    z.push_back(static_cast<uint8_t>(n));
    z.push_back(static_cast<uint8_t>(n >> 8));
    z.push_back(static_cast<uint8_t>(~n));
    z.push_back(static_cast<uint8_t>(~n >> 8));
    z.insert(z.end(), raw.begin() + pos, raw.begin() + pos + n);
    pos += n;
  } while (pos < raw.size());
  PutU32(z, Adler32(raw));

  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> ihdr;
  PutU32(ihdr, width);
  PutU32(ihdr, height);
  ihdr.insert(ihdr.end(), {8, 2, 0, 0, 0});  // 8 bits, truecolour, deflate, no filter, no interlace
  PutChunk(png, "IHDR", ihdr);
  PutChunk(png, "IDAT", z);
  PutChunk(png, "IEND", {});
  return png;
}

namespace {

// The colour (0xRRGGBB) of pixel `x` of a row of `bits` bits per pixel.
uint32_t PixelColor(const uint8_t* src, size_t x, uint32_t bits,
                    const std::vector<uint32_t>& palette, const Channel& red, const Channel& green,
                    const Channel& blue) {
  uint32_t color = 0;
  switch (bits) {
    case 1:
      color = palette[(src[x >> 3] >> (7 - (x & 7))) & 1];
      break;
    case 4:
      color = palette[(src[x >> 1] >> ((x & 1) ? 0 : 4)) & 0xF];
      break;
    case 8:
      color = palette[src[x]];
      break;
    case 16: {
      uint32_t px = src[2 * x] | (src[2 * x + 1] << 8);
      color = (red.Get(px) << 16) | (green.Get(px) << 8) | blue.Get(px);
      break;
    }
    case 24:
      color = (src[3 * x + 2] << 16) | (src[3 * x + 1] << 8) | src[3 * x];
      break;
    case 32: {
      uint32_t px = src[4 * x] | (src[4 * x + 1] << 8) | (src[4 * x + 2] << 16) |
                    (static_cast<uint32_t>(src[4 * x + 3]) << 24);
      color = (red.Get(px) << 16) | (green.Get(px) << 8) | blue.Get(px);
      break;
    }
  }
  return color;
}

}  // namespace

std::optional<std::vector<uint8_t>> DibToPng(std::span<const uint8_t> dib) {
  if (dib.size() < 12) return std::nullopt;
  const uint32_t headerSize = LeU32(dib, 0);
  int64_t width = 0, height = 0;
  uint32_t bits = 0, compression = 0, colorsUsed = 0;
  size_t paletteEntry = 4;
  std::array<uint32_t, 3> masks{};
  size_t at = headerSize;
  if (headerSize == 12) {
    width = LeU16(dib, 4);
    height = LeU16(dib, 6);
    bits = LeU16(dib, 10);
    paletteEntry = 3;
  } else if (headerSize >= 40 && headerSize <= dib.size()) {
    width = static_cast<int32_t>(LeU32(dib, 4));
    height = static_cast<int32_t>(LeU32(dib, 8));
    bits = LeU16(dib, 14);
    compression = LeU32(dib, 16);
    colorsUsed = LeU32(dib, 32);
    if (compression == 3 || compression == 6) {  // BI_BITFIELDS, BI_ALPHABITFIELDS
      if (headerSize >= 52) {
        masks = {LeU32(dib, 40), LeU32(dib, 44), LeU32(dib, 48)};
      } else {
        if (dib.size() < at + 12) return std::nullopt;
        masks = {LeU32(dib, at), LeU32(dib, at + 4), LeU32(dib, at + 8)};
        at += compression == 6 ? 16 : 12;
      }
    } else if (compression != 0) {
      return std::nullopt;  // run-length or embedded JPEG/PNG: not handled here
    }
  } else {
    return std::nullopt;
  }
  const bool topDown = height < 0;
  if (topDown) height = -height;
  if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide ||
      static_cast<uint64_t>(width) * height > kMaxPixels) {
    return std::nullopt;
  }
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) {
    return std::nullopt;
  }
  // The colour table.
  std::vector<uint32_t> palette;
  if (bits <= 8) {
    uint32_t count = colorsUsed ? std::min<uint32_t>(colorsUsed, 1u << bits) : 1u << bits;
    if (dib.size() < at + count * paletteEntry) return std::nullopt;
    for (uint32_t i = 0; i < count; ++i) {
      size_t p = at + i * paletteEntry;
      palette.push_back((dib[p + 2] << 16) | (dib[p + 1] << 8) | dib[p]);
    }
    at += count * paletteEntry;
    // Indexes beyond a short table show black.
    palette.resize(1u << bits, 0);
  } else if (colorsUsed && colorsUsed < (1u << 24)) {
    at += static_cast<size_t>(colorsUsed) * paletteEntry;  // an optimisation table, not used
  }
  if (compression == 0 && bits == 16) masks = {0x7C00, 0x03E0, 0x001F};
  if (compression == 0 && bits == 32) masks = {0xFF0000, 0x00FF00, 0x0000FF};
  const Channel red = MakeChannel(masks[0]), green = MakeChannel(masks[1]),
                blue = MakeChannel(masks[2]);

  const size_t w = static_cast<size_t>(width), h = static_cast<size_t>(height);
  const size_t stride = ((w * bits + 31) / 32) * 4;
  if (at > dib.size() || (dib.size() - at) / stride < h) return std::nullopt;

  std::vector<uint8_t> rgb(w * h * 3);
  for (size_t y = 0; y < h; ++y) {
    const uint8_t* src = dib.data() + at + (topDown ? y : h - 1 - y) * stride;
    uint8_t* dst = rgb.data() + y * w * 3;
    for (size_t x = 0; x < w; ++x) {
      const uint32_t color = PixelColor(src, x, bits, palette, red, green, blue);
      dst[3 * x] = static_cast<uint8_t>(color >> 16);
      dst[3 * x + 1] = static_cast<uint8_t>(color >> 8);
      dst[3 * x + 2] = static_cast<uint8_t>(color);
    }
  }
  return EncodePngRgb(static_cast<uint32_t>(w), static_cast<uint32_t>(h), rgb);
}

}  // namespace quillane::publish
