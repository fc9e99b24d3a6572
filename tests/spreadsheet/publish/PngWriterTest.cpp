#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "spreadsheet/publish/PngWriter.h"

using namespace quillane::publish;

namespace {

std::span<const uint8_t> Bytes(const char* s) {
  return {reinterpret_cast<const uint8_t*>(s), std::strlen(s)};
}

void PutLe(std::vector<uint8_t>& v, uint32_t x, int n) {
  for (int i = 0; i < n; ++i) v.push_back(static_cast<uint8_t>(x >> (8 * i)));
}

std::vector<uint8_t> InfoHeader(int32_t w, int32_t h, uint16_t bits, uint32_t compression = 0,
                                uint32_t used = 0) {
  std::vector<uint8_t> v;
  PutLe(v, 40, 4);
  PutLe(v, static_cast<uint32_t>(w), 4);
  PutLe(v, static_cast<uint32_t>(h), 4);
  PutLe(v, 1, 2);
  PutLe(v, bits, 2);
  PutLe(v, compression, 4);
  for (int i = 0; i < 3; ++i) PutLe(v, 0, 4);
  PutLe(v, used, 4);
  PutLe(v, 0, 4);
  return v;
}

uint32_t Be32(const std::vector<uint8_t>& v, size_t at) {
  return (v[at] << 24) | (v[at + 1] << 16) | (v[at + 2] << 8) | v[at + 3];
}

// Reads back the pixels of a PNG made of stored deflate blocks.
std::vector<uint8_t> DecodeStoredPng(const std::vector<uint8_t>& png, uint32_t& w, uint32_t& h) {
  EXPECT_EQ(png[1], 'P');
  w = Be32(png, 16);
  h = Be32(png, 20);
  size_t at = 8;
  std::vector<uint8_t> z;
  while (at + 8 <= png.size()) {
    uint32_t len = Be32(png, at);
    std::string type(png.begin() + at + 4, png.begin() + at + 8);
    std::vector<uint8_t> chunk(png.begin() + at + 4, png.begin() + at + 8 + len);
    EXPECT_EQ(Crc32(chunk), Be32(png, at + 8 + len)) << type;
    if (type == "IDAT") z.insert(z.end(), png.begin() + at + 8, png.begin() + at + 8 + len);
    at += 12 + len;
  }
  std::vector<uint8_t> raw;
  size_t p = 2;
  for (;;) {
    bool last = z[p] & 1;
    uint32_t n = z[p + 1] | (z[p + 2] << 8);
    EXPECT_EQ((n ^ 0xFFFF), static_cast<uint32_t>(z[p + 3] | (z[p + 4] << 8)));
    raw.insert(raw.end(), z.begin() + p + 5, z.begin() + p + 5 + n);
    p += 5 + n;
    if (last) break;
  }
  EXPECT_EQ(Adler32(raw), Be32(z, p));
  std::vector<uint8_t> rgb;
  for (uint32_t y = 0; y < h; ++y) {
    EXPECT_EQ(raw[y * (3 * w + 1)], 0);
    rgb.insert(rgb.end(), raw.begin() + y * (3 * w + 1) + 1, raw.begin() + (y + 1) * (3 * w + 1));
  }
  return rgb;
}

}  // namespace

TEST(PngWriter, ChecksumsMatchKnownValues) {
  EXPECT_EQ(Crc32(Bytes("123456789")), 0xCBF43926u);
  EXPECT_EQ(Adler32(Bytes("Wikipedia")), 0x11E60398u);
}

TEST(PngWriter, BottomUpPaletteDibBecomesTopDownRgb) {
  // 2x2, 8 bits, two colours; the first stored row is the bottom one.
  std::vector<uint8_t> dib = InfoHeader(2, 2, 8, 0, 2);
  PutLe(dib, 0x0000FF, 4);              // index 0: blue (B, G, R, 0)
  PutLe(dib, 0xFF0000, 4);              // index 1: red
  dib.insert(dib.end(), {0, 1, 0, 0});  // bottom row: blue, red (padded to 4)
  dib.insert(dib.end(), {1, 1, 0, 0});  // top row: red, red
  auto png = DibToPng(dib);
  ASSERT_TRUE(png);
  uint32_t w = 0, h = 0;
  std::vector<uint8_t> rgb = DecodeStoredPng(*png, w, h);
  EXPECT_EQ(w, 2u);
  EXPECT_EQ(h, 2u);
  EXPECT_EQ(rgb, (std::vector<uint8_t>{255, 0, 0, 255, 0, 0, 0, 0, 255, 255, 0, 0}));
}

TEST(PngWriter, TrueColourAndBitFields) {
  std::vector<uint8_t> dib24 = InfoHeader(1, -1, 24);  // top-down
  dib24.insert(dib24.end(), {0x10, 0x20, 0x30, 0});
  uint32_t w = 0, h = 0;
  auto png = DibToPng(dib24);
  ASSERT_TRUE(png);
  EXPECT_EQ(DecodeStoredPng(*png, w, h), (std::vector<uint8_t>{0x30, 0x20, 0x10}));

  std::vector<uint8_t> dib16 = InfoHeader(1, 1, 16, 3);
  PutLe(dib16, 0xF800, 4);
  PutLe(dib16, 0x07E0, 4);
  PutLe(dib16, 0x001F, 4);
  PutLe(dib16, 0xF800, 2);  // pure red in 5-6-5
  PutLe(dib16, 0, 2);
  png = DibToPng(dib16);
  ASSERT_TRUE(png);
  EXPECT_EQ(DecodeStoredPng(*png, w, h), (std::vector<uint8_t>{255, 0, 0}));
}

TEST(PngWriter, LargeImagesSpanSeveralStoredBlocks) {
  std::vector<uint8_t> rgb(300 * 300 * 3);
  for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<uint8_t>(i * 7);
  uint32_t w = 0, h = 0;
  EXPECT_EQ(DecodeStoredPng(EncodePngRgb(300, 300, rgb), w, h), rgb);
}

TEST(PngWriter, DamagedOrUnsupportedDibsAreRefused) {
  EXPECT_FALSE(DibToPng(std::vector<uint8_t>{1, 2, 3}));
  std::vector<uint8_t> truncated = InfoHeader(100, 100, 24);
  truncated.resize(truncated.size() + 10);
  EXPECT_FALSE(DibToPng(truncated));
  EXPECT_FALSE(DibToPng(InfoHeader(4, 4, 8, 1)));          // run-length
  EXPECT_FALSE(DibToPng(InfoHeader(100000, 100000, 24)));  // too large
  EXPECT_FALSE(DibToPng(InfoHeader(0, 5, 24)));
  std::vector<uint8_t> oddBits = InfoHeader(1, 1, 7);
  oddBits.resize(oddBits.size() + 8);
  EXPECT_FALSE(DibToPng(oddBits));
}
