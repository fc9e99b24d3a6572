// Test helper: lays out a small compound file (header, FAT, DIFAT, directory, mini FAT, mini
// stream, regular streams) so that tests can read it back and damage it on purpose.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace quillane::container::testing {

struct CompoundFileLayout {
  std::vector<uint8_t> bytes;
  uint32_t sectorSize = 0;
  std::vector<uint32_t> fatSectors;
  std::vector<uint32_t> difatSectors;
  uint32_t directoryStart = 0;
  std::vector<uint32_t> streamStarts;  // per stream: first sector (mini sector for small ones)

  size_t SectorOffset(uint32_t sector) const { return (size_t{sector} + 1) * sectorSize; }
  // Byte offset of FAT entry `sector`.
  size_t FatEntryOffset(uint32_t sector) const {
    const uint32_t perSector = sectorSize / 4;
    return SectorOffset(fatSectors[sector / perSector]) + 4 * (sector % perSector);
  }
  // Byte offset of directory entry `index` (the directory is laid out contiguously).
  size_t EntryOffset(uint32_t index) const { return SectorOffset(directoryStart) + 128 * index; }
  void Put32(size_t offset, uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<uint8_t>(v >> (8 * i));
  }
};

inline CompoundFileLayout WriteCompoundFile(
    const std::vector<std::pair<std::string, std::vector<uint8_t>>>& streams,
    uint32_t sectorShift = 9) {
  constexpr uint32_t kEnd = 0xFFFFFFFE, kFree = 0xFFFFFFFF, kFat = 0xFFFFFFFD, kDif = 0xFFFFFFFC;
  const uint32_t ss = 1u << sectorShift, per = ss / 4;
  auto ceilDiv = [](uint64_t a, uint64_t b) { return static_cast<uint32_t>((a + b - 1) / b); };

  uint32_t bigSectors = 0, miniSectors = 0;
  for (const auto& [name, data] : streams) {
    if (data.size() >= 4096)
      bigSectors += ceilDiv(data.size(), ss);
    else
      miniSectors += ceilDiv(data.size(), 64);
  }
  const uint32_t miniStreamSectors = ceilDiv(uint64_t{miniSectors} * 64, ss);
  const uint32_t miniFatSectors = ceilDiv(uint64_t{miniSectors} * 4, ss);
  const uint32_t dirSectors = ceilDiv((streams.size() + 1) * 128, ss);
  const uint32_t content = bigSectors + miniStreamSectors + miniFatSectors + dirSectors;
  uint32_t nFat = 1, nDif = 0;
  for (;;) {
    nDif = nFat > 109 ? ceilDiv(nFat - 109, per - 1) : 0;
    if (uint64_t{nFat} * per >= content + nFat + nDif) break;
    ++nFat;
  }
  const uint32_t total = content + nFat + nDif;

  CompoundFileLayout out;
  out.sectorSize = ss;
  out.bytes.assign((size_t{total} + 1) * ss, 0);
  std::vector<uint32_t> fat(size_t{nFat} * per, kFree);
  uint32_t next = 0;
  auto chain = [&](uint32_t count) {
    const uint32_t first = next;
    for (uint32_t i = 0; i < count; ++i) fat[next + i] = i + 1 < count ? next + i + 1 : kEnd;
    next += count;
    return first;
  };
  for (uint32_t i = 0; i < nFat; ++i) {
    out.fatSectors.push_back(next);
    fat[next++] = kFat;
  }
  for (uint32_t i = 0; i < nDif; ++i) {
    out.difatSectors.push_back(next);
    fat[next++] = kDif;
  }
  out.directoryStart = chain(dirSectors);
  const uint32_t miniFatStart = miniFatSectors ? chain(miniFatSectors) : kEnd;
  const uint32_t miniStreamStart = miniStreamSectors ? chain(miniStreamSectors) : kEnd;

  auto put16 = [&](size_t o, uint32_t v) {
    out.bytes[o] = v & 0xFF;
    out.bytes[o + 1] = (v >> 8) & 0xFF;
  };
  std::vector<uint32_t> miniFat;
  uint32_t miniNext = 0;
  auto writeEntry = [&](uint32_t index, const std::string& name, uint8_t type, uint32_t child,
                        uint32_t right, uint32_t start, uint64_t size) {
    const size_t o = out.EntryOffset(index);
    for (size_t i = 0; i < name.size(); ++i) put16(o + 2 * i, static_cast<uint8_t>(name[i]));
    put16(o + 0x40, static_cast<uint32_t>(2 * (name.size() + 1)));
    out.bytes[o + 0x42] = type;
    out.bytes[o + 0x43] = 1;  // black
    out.Put32(o + 0x44, kFree);
    out.Put32(o + 0x48, right);
    out.Put32(o + 0x4C, child);
    out.Put32(o + 0x74, start);
    out.Put32(o + 0x78, static_cast<uint32_t>(size));
    out.Put32(o + 0x7C, static_cast<uint32_t>(size >> 32));
  };
  for (size_t k = 0; k < streams.size(); ++k) {
    const auto& data = streams[k].second;
    uint32_t start;
    if (data.size() >= 4096) {
      start = chain(ceilDiv(data.size(), ss));
      std::memcpy(&out.bytes[out.SectorOffset(start)], data.data(), data.size());
    } else {
      const uint32_t count = ceilDiv(data.size(), 64);
      start = count ? miniNext : kEnd;
      for (uint32_t i = 0; i < count; ++i)
        miniFat.push_back(i + 1 < count ? miniNext + i + 1 : kEnd);
      // The mini stream's sectors are consecutive, so mini sector m lies at a fixed offset.
      if (count)
        std::memcpy(&out.bytes[out.SectorOffset(miniStreamStart) + 64 * size_t{miniNext}],
                    data.data(), data.size());
      miniNext += count;
    }
    out.streamStarts.push_back(start);
    const uint32_t right = k + 1 < streams.size() ? static_cast<uint32_t>(k + 2) : kFree;
    writeEntry(static_cast<uint32_t>(k + 1), streams[k].first, 2, kFree, right, start, data.size());
  }
  writeEntry(0, "Root Entry", 5, streams.empty() ? kFree : 1, kFree, miniStreamStart,
             uint64_t{miniSectors} * 64);
  for (size_t i = 0; i < miniFat.size(); ++i)
    out.Put32(out.SectorOffset(miniFatStart) + 4 * i, miniFat[i]);
  for (size_t i = miniFat.size(); i < size_t{miniFatSectors} * per; ++i)
    out.Put32(out.SectorOffset(miniFatStart) + 4 * i, kFree);

  // Header.
  const uint8_t signature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  std::memcpy(out.bytes.data(), signature, 8);
  put16(0x18, 0x3E);
  put16(0x1A, sectorShift == 9 ? 3 : 4);
  put16(0x1C, 0xFFFE);
  put16(0x1E, sectorShift);
  put16(0x20, 6);
  out.Put32(0x28, sectorShift == 9 ? 0 : dirSectors);
  out.Put32(0x2C, nFat);
  out.Put32(0x30, out.directoryStart);
  out.Put32(0x38, 4096);
  out.Put32(0x3C, miniFatStart);
  out.Put32(0x40, miniFatSectors);
  out.Put32(0x44, nDif ? out.difatSectors[0] : kEnd);
  out.Put32(0x48, nDif);
  for (uint32_t i = 0; i < 109; ++i) out.Put32(0x4C + 4 * i, i < nFat ? out.fatSectors[i] : kFree);
  for (uint32_t d = 0; d < nDif; ++d) {
    const size_t o = out.SectorOffset(out.difatSectors[d]);
    for (uint32_t i = 0; i + 1 < per; ++i) {
      const uint32_t k = 109 + d * (per - 1) + i;
      out.Put32(o + 4 * i, k < nFat ? out.fatSectors[k] : kFree);
    }
    out.Put32(o + 4 * (per - 1), d + 1 < nDif ? out.difatSectors[d + 1] : kEnd);
  }
  for (size_t i = 0; i < fat.size(); ++i)
    out.Put32(out.FatEntryOffset(static_cast<uint32_t>(i)), fat[i]);
  return out;
}

}  // namespace quillane::container::testing
