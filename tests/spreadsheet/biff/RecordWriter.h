// A small writer of BIFF record streams for tests: builds workbook streams in memory.
#pragma once

#include <cstdint>
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

namespace quillane::biff::test {

// Record data, built field by field.
class Data {
 public:
  Data& U8(uint8_t v) {
    bytes.push_back(v);
    return *this;
  }
  Data& U16(uint16_t v) { return U8(v & 0xFF).U8(v >> 8); }
  Data& U32(uint32_t v) { return U16(v & 0xFFFF).U16(v >> 16); }
  Data& Double(double d) {
    uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    return U32(static_cast<uint32_t>(bits)).U32(static_cast<uint32_t>(bits >> 32));
  }
  Data& Raw(const std::string& text) {
    bytes.insert(bytes.end(), text.begin(), text.end());
    return *this;
  }
  Data& Raw(std::initializer_list<uint8_t> raw) {
    bytes.insert(bytes.end(), raw.begin(), raw.end());
    return *this;
  }
  Data& Raw(const std::vector<uint8_t>& raw) {
    bytes.insert(bytes.end(), raw.begin(), raw.end());
    return *this;
  }
  // UTF-16LE characters of ASCII text.
  Data& Wide(const std::string& text) {
    for (char c : text) U16(static_cast<uint8_t>(c));
    return *this;
  }
  // BIFF8 strings: 16-bit (or 8-bit) count, option byte, 8-bit characters.
  Data& Str16(const std::string& text) {
    return U16(static_cast<uint16_t>(text.size())).U8(0).Raw(text);
  }
  Data& Str8(const std::string& text) {
    return U8(static_cast<uint8_t>(text.size())).U8(0).Raw(text);
  }
  // BIFF2-7 byte strings.
  Data& Bytes8(const std::string& text) { return U8(static_cast<uint8_t>(text.size())).Raw(text); }
  Data& Bytes16(const std::string& text) {
    return U16(static_cast<uint16_t>(text.size())).Raw(text);
  }

  std::vector<uint8_t> bytes;
};

class Stream {
 public:
  Stream& Record(uint16_t id, const Data& data) { return Record(id, data.bytes); }
  Stream& Record(uint16_t id, const std::vector<uint8_t>& data) {
    Data header;
    header.U16(id).U16(static_cast<uint16_t>(data.size()));
    bytes.insert(bytes.end(), header.bytes.begin(), header.bytes.end());
    bytes.insert(bytes.end(), data.begin(), data.end());
    return *this;
  }
  size_t Size() const { return bytes.size(); }
  // Overwrites a 32-bit value (a BOUNDSHEET offset written before the sheet's place was known).
  void Patch32(size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(v >> (8 * i));
  }

  std::vector<uint8_t> bytes;
};

// An Office drawing record (the records inside MSODRAWINGGROUP and MSODRAWING).
inline std::vector<uint8_t> Escher(uint16_t type, uint16_t verInst,
                                   const std::vector<uint8_t>& body) {
  Data d;
  d.U16(verInst).U16(type).U32(static_cast<uint32_t>(body.size())).Raw(body);
  return d.bytes;
}

// zlib data of one fixed-code deflate block: a zero byte and `matches` copies of 258 bytes back
// one, about 158 bytes out for each byte in; the block never ends, so the data are damaged but
// cost the work of unpacking them first.
inline std::vector<uint8_t> RunawayDeflate(size_t matches) {
  std::vector<uint8_t> out = {0x78, 0x01};
  uint32_t acc = 0;
  int bits = 0;
  auto put = [&](uint32_t value, int count) {  // LSB first
    acc |= value << bits;
    bits += count;
    while (bits >= 8) {
      out.push_back(static_cast<uint8_t>(acc));
      acc >>= 8;
      bits -= 8;
    }
  };
  auto code = [&](uint32_t value, int count) {  // Huffman codes go MSB first
    for (int i = count - 1; i >= 0; --i) put((value >> i) & 1, 1);
  };
  put(0, 1);      // not the last block
  put(1, 2);      // fixed codes
  code(0x30, 8);  // literal 0
  for (size_t i = 0; i < matches; ++i) {
    code(0xC5, 8);  // length 258
    code(0, 5);     // distance 1
  }
  if (bits > 0) out.push_back(static_cast<uint8_t>(acc));
  return out;
}

// A drawing group whose picture store holds `count` compressed metafiles (EMF), each claiming
// `claimed` bytes unpacked and holding `zlib`.
inline std::vector<uint8_t> MetafileStore(size_t count, uint32_t claimed,
                                          const std::vector<uint8_t>& zlib) {
  Data blip;
  blip.Raw(std::vector<uint8_t>(16, 0xCD)).U32(claimed).Raw(std::vector<uint8_t>(24, 0));
  blip.U32(static_cast<uint32_t>(zlib.size())).U8(0).U8(0xFE).Raw(zlib);
  Data fbse;
  fbse.U8(2).U8(2).Raw(std::vector<uint8_t>(16, 0xCD)).U16(0xFF).U32(0).U32(1).U32(0);
  fbse.U8(0).U8(0).U8(0).U8(0).Raw(Escher(0xF01A, 0x3D40, blip.bytes));
  Data store;
  for (size_t i = 0; i < count; ++i) store.Raw(Escher(0xF007, 0x0022, fbse.bytes));
  return Escher(0xF000, 0x000F,
                Escher(0xF001, static_cast<uint16_t>(count << 4 | 0xF), store.bytes));
}

// Writes `data` as a record and as many CONTINUE records as its length needs.
inline void ContinuedRecord(Stream& s, uint16_t id, const std::vector<uint8_t>& data) {
  constexpr size_t kMax = 8224;
  size_t at = 0;
  do {
    const size_t end = std::min(data.size(), at + kMax);
    s.Record(at == 0 ? id : 0x003C,
             std::vector<uint8_t>(data.begin() + static_cast<std::ptrdiff_t>(at),
                                  data.begin() + static_cast<std::ptrdiff_t>(end)));
    at = end;
  } while (at < data.size());
}

// A BIFF8 BOF record of the given substream type (5 workbook globals, 0x10 worksheet).
inline Data Bof8(uint16_t type) { return Data().U16(0x0600).U16(type).U16(0).U16(0).U32(0).U32(0); }

// A BIFF8 workbook stream: globals with `globals` records, one worksheet `name` with `sheet`.
inline std::vector<uint8_t> Book8(const std::function<void(Stream&)>& globals,
                                  const std::function<void(Stream&)>& sheet,
                                  const std::string& name = "Data") {
  Stream s;
  s.Record(0x0809, Bof8(0x0005));
  globals(s);
  size_t offsetAt = s.Size() + 4;
  s.Record(0x0085, Data().U32(0).U8(0).U8(0).Str8(name));
  s.Record(0x000A, Data());
  s.Patch32(offsetAt, static_cast<uint32_t>(s.Size()));
  s.Record(0x0809, Bof8(0x0010));
  sheet(s);
  s.Record(0x000A, Data());
  return s.bytes;
}

}  // namespace quillane::biff::test
