// Writes small zip archives for tests: stored entries, or entries packed elsewhere (raw deflate),
// optionally with data descriptors or zip64 records.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "spreadsheet/container/Zip.h"

namespace quillane::testing {

class ZipWriter {
 public:
  bool zip64 = false;            // sizes and offsets in zip64 extra fields and end records
  bool dataDescriptors = false;  // local headers without sizes, a descriptor after the data

  void Add(const std::string& name, const std::string& data) {
    Add(name, std::vector<uint8_t>(data.begin(), data.end()));
  }
  void Add(const std::string& name, const std::vector<uint8_t>& data) {
    AddPacked(name, data, 0, data.size(), container::Crc32(data));
  }
  // An entry whose data are already packed by `method`.
  void AddPacked(const std::string& name, const std::vector<uint8_t>& packed, uint16_t method,
                 uint64_t size, uint32_t crc) {
    const uint64_t offset = out_.size();
    const uint16_t flags = dataDescriptors ? 0x0008 : 0;
    U32(out_, 0x04034B50);
    U16(out_, zip64 ? 45 : 20);
    U16(out_, flags);
    U16(out_, method);
    U32(out_, 0);  // time and date
    U32(out_, dataDescriptors ? 0 : crc);
    U32(out_, dataDescriptors ? 0 : (zip64 ? 0xFFFFFFFF : packed.size()));
    U32(out_, dataDescriptors ? 0 : (zip64 ? 0xFFFFFFFF : size));
    U16(out_, static_cast<uint16_t>(name.size()));
    U16(out_, zip64 ? 20 : 0);
    out_.insert(out_.end(), name.begin(), name.end());
    if (zip64) {
      U16(out_, 1);
      U16(out_, 16);
      U64(out_, size);
      U64(out_, packed.size());
    }
    out_.insert(out_.end(), packed.begin(), packed.end());
    if (dataDescriptors) {
      U32(out_, 0x08074B50);
      U32(out_, crc);
      U32(out_, static_cast<uint32_t>(packed.size()));
      U32(out_, static_cast<uint32_t>(size));
    }
    // The central record.
    U32(central_, 0x02014B50);
    U16(central_, 45);
    U16(central_, zip64 ? 45 : 20);
    U16(central_, flags);
    U16(central_, method);
    U32(central_, 0);
    U32(central_, crc);
    U32(central_, zip64 ? 0xFFFFFFFF : static_cast<uint32_t>(packed.size()));
    U32(central_, zip64 ? 0xFFFFFFFF : static_cast<uint32_t>(size));
    U16(central_, static_cast<uint16_t>(name.size()));
    U16(central_, zip64 ? 28 : 0);
    U16(central_, 0);  // comment
    U16(central_, 0);  // disk
    U16(central_, 0);
    U32(central_, 0);
    U32(central_, zip64 ? 0xFFFFFFFF : static_cast<uint32_t>(offset));
    central_.insert(central_.end(), name.begin(), name.end());
    if (zip64) {
      U16(central_, 1);
      U16(central_, 24);
      U64(central_, size);
      U64(central_, packed.size());
      U64(central_, offset);
    }
    ++count_;
  }

  std::vector<uint8_t> Finish() const {
    std::vector<uint8_t> out = out_;
    const uint64_t dirOffset = out.size();
    out.insert(out.end(), central_.begin(), central_.end());
    if (zip64) {
      const uint64_t endOffset = out.size();
      U32(out, 0x06064B50);
      U64(out, 44);
      U16(out, 45);
      U16(out, 45);
      U32(out, 0);
      U32(out, 0);
      U64(out, count_);
      U64(out, count_);
      U64(out, central_.size());
      U64(out, dirOffset);
      U32(out, 0x07064B50);
      U32(out, 0);
      U64(out, endOffset);
      U32(out, 1);
    }
    U32(out, 0x06054B50);
    U16(out, 0);
    U16(out, 0);
    U16(out, zip64 ? 0xFFFF : static_cast<uint16_t>(count_));
    U16(out, zip64 ? 0xFFFF : static_cast<uint16_t>(count_));
    U32(out, zip64 ? 0xFFFFFFFF : static_cast<uint32_t>(central_.size()));
    U32(out, zip64 ? 0xFFFFFFFF : static_cast<uint32_t>(dirOffset));
    U16(out, 0);
    return out;
  }

 private:
  static void U16(std::vector<uint8_t>& v, uint64_t x) {
    v.push_back(static_cast<uint8_t>(x));
    v.push_back(static_cast<uint8_t>(x >> 8));
  }
  static void U32(std::vector<uint8_t>& v, uint64_t x) {
    U16(v, x & 0xFFFF);
    U16(v, (x >> 16) & 0xFFFF);
  }
  static void U64(std::vector<uint8_t>& v, uint64_t x) {
    U32(v, x & 0xFFFFFFFF);
    U32(v, x >> 32);
  }

  std::vector<uint8_t> out_, central_;
  uint64_t count_ = 0;
};

// The same archive with every entry renamed by `rename` (entries stored, in the same order).
inline std::vector<uint8_t> Renamed(const std::vector<uint8_t>& bytes,
                                    const std::function<std::string(const std::string&)>& rename) {
  const container::Zip zip(bytes);
  ZipWriter out;
  for (const auto& e : zip.Entries()) out.Add(rename(e.name), zip.Read(e));
  return out.Finish();
}

// A name as some producers write it: backslashes for slashes, and every letter in upper case.
inline std::string WindowsName(const std::string& name) {
  std::string out = name;
  for (char& c : out) {
    if (c == '/') c = '\\';
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
  return out;
}

}  // namespace quillane::testing
