#include "spreadsheet/container/CompoundFile.h"
#include "support/Utf8.h"
#include "support/Ascii.h"

#include <algorithm>
#include <cstring>

namespace quillane::container {

namespace {

constexpr uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
constexpr size_t kHeaderSize = 512;
constexpr uint32_t kHeaderDifatCount = 109;
constexpr uint32_t kMaxRegularSector = 0xFFFFFFFAu;  // larger values are markers
constexpr uint32_t kFreeSector = 0xFFFFFFFFu;
constexpr size_t kEntrySize = 128;

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t U32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
uint64_t U64(const uint8_t* p) { return U32(p) | (static_cast<uint64_t>(U32(p + 4)) << 32); }

// A bitmap of visited sectors, so that a chain that comes back on itself is caught.
class Visited {
 public:
  explicit Visited(size_t count) : bits_((count + 63) / 64, 0) {}
  // Marks `i`; false when it was marked already.
  bool Mark(size_t i) {
    uint64_t& word = bits_[i / 64];
    const uint64_t bit = uint64_t{1} << (i % 64);
    if (word & bit) return false;
    word |= bit;
    return true;
  }

 private:
  std::vector<uint64_t> bits_;
};

using support::AppendUtf8;

// Directory names: up to 31 UTF-16LE code units and a terminator.
std::string DecodeName(const uint8_t* p, uint16_t lengthInBytes) {
  size_t units = std::min<size_t>(lengthInBytes / 2, 32);
  std::string out;
  for (size_t i = 0; i < units; ++i) {
    uint32_t c = U16(p + 2 * i);
    if (c == 0) break;
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < units) {
      const uint32_t low = U16(p + 2 * (i + 1));
      if (low >= 0xDC00 && low < 0xE000) {
        c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        ++i;
      } else {
        c = 0xFFFD;
      }
    } else if (c >= 0xD800 && c < 0xE000) {
      c = 0xFFFD;
    }
    AppendUtf8(out, c);
  }
  return out;
}

bool EqualNoCase(const std::string& a, const std::string& b) { return support::EqualsNoCase(a, b); }

std::string Quoted(const std::string& name) { return "\"" + name + "\""; }

}  // namespace

bool CompoundFile::IsCompoundFile(std::span<const uint8_t> bytes) {
  return bytes.size() >= sizeof kSignature &&
         std::memcmp(bytes.data(), kSignature, sizeof kSignature) == 0;
}

CompoundFile::CompoundFile(std::span<const uint8_t> bytes) : bytes_(bytes) {
  if (!IsCompoundFile(bytes)) {
    throw ContainerError("Not a workbook: the file is not a compound file");
  }
  if (bytes.size() < kHeaderSize) {
    throw ContainerError("Damaged compound file: the file ends inside its header");
  }
  const uint8_t* header = bytes.data();
  sectorShift_ = U16(header + 0x1E);
  if (sectorShift_ != 9 && sectorShift_ != 12) {
    throw ContainerError("Damaged compound file: the sector size (shift " +
                         std::to_string(sectorShift_) + ") is not 512 or 4096 bytes");
  }
  miniSectorShift_ = U16(header + 0x20);
  if (miniSectorShift_ != 6) {
    throw ContainerError("Damaged compound file: the mini sector size (shift " +
                         std::to_string(miniSectorShift_) + ") is not 64 bytes");
  }
  sectorSize_ = 1u << sectorShift_;
  miniSectorSize_ = 1u << miniSectorShift_;
  // The header fills the first sector; sector n starts at (n + 1) * sectorSize. The last sector
  // of a truncated file may be short.
  if (bytes.size() > sectorSize_) {
    const uint64_t count = (bytes.size() - sectorSize_ + sectorSize_ - 1) / sectorSize_;
    sectorCount_ = static_cast<uint32_t>(std::min<uint64_t>(count, kMaxRegularSector));
  }
  if (sectorCount_ == 0) {
    throw ContainerError("Damaged compound file: the file holds no sectors");
  }
  ReadFat(header);
  ReadDirectory(U32(header + 0x30));

  // The mini FAT and the mini stream: only small streams need them, so a fault in either is kept
  // and reported when such a stream is read.
  try {
    const uint32_t miniFatStart = U32(header + 0x3C);
    if (miniFatStart < sectorCount_) {
      const std::vector<uint32_t> sectors =
          Chain(miniFatStart, sectorCount_, false, "the mini FAT");
      miniFat_.reserve(sectors.size() * (sectorSize_ / 4));
      for (uint32_t s : sectors) {
        const uint64_t offset = SectorOffset(s);
        const uint64_t available = std::min<uint64_t>(sectorSize_, bytes_.size() - offset);
        for (uint64_t i = 0; i + 4 <= available; i += 4)
          miniFat_.push_back(U32(&bytes_[offset + i]));
      }
    }
    ReadMiniStream();
  } catch (const ContainerError& e) {
    miniStreamError_ = e.what();
    miniFat_.clear();
    miniStreamSectors_.clear();
    miniStreamSize_ = 0;
  }
  CollectRootStreams();
}

uint64_t CompoundFile::SectorOffset(uint32_t sector) const {
  return (static_cast<uint64_t>(sector) + 1) << sectorShift_;
}

void CompoundFile::ReadFat(const uint8_t* header) {
  const uint32_t perSector = sectorSize_ / 4;
  // FAT sectors beyond those that map the file's own sectors say nothing useful.
  const uint64_t needed = (static_cast<uint64_t>(sectorCount_) + perSector - 1) / perSector;
  std::vector<uint32_t> fatSectors;
  fatSectors.reserve(needed);
  bool ended = false;
  for (uint32_t i = 0; i < kHeaderDifatCount && fatSectors.size() < needed; ++i) {
    const uint32_t s = U32(header + 0x4C + 4 * i);
    if (s == kFreeSector || s == 0xFFFFFFFEu) {
      ended = true;
      break;
    }
    fatSectors.push_back(s);
  }
  // The DIFAT sector chain: each sector lists perSector - 1 FAT sectors and then the next one.
  uint32_t difat = U32(header + 0x44);
  Visited visited(sectorCount_);
  while (!ended && fatSectors.size() < needed && difat < sectorCount_) {
    if (!visited.Mark(difat)) {
      throw ContainerError("Damaged compound file: the DIFAT sector chain loops");
    }
    const uint64_t offset = SectorOffset(difat);
    if (offset + sectorSize_ > bytes_.size()) break;  // truncated
    const uint8_t* p = bytes_.data() + offset;
    for (uint32_t i = 0; i + 1 < perSector && fatSectors.size() < needed; ++i) {
      const uint32_t s = U32(p + 4 * i);
      if (s == kFreeSector || s == 0xFFFFFFFEu) {
        ended = true;
        break;
      }
      fatSectors.push_back(s);
    }
    difat = U32(p + 4 * (perSector - 1));
  }
  if (fatSectors.empty()) {
    throw ContainerError("Damaged compound file: the file lists no FAT sectors");
  }
  // A FAT sector that lies outside the file leaves its part of the table free.
  fat_.assign(fatSectors.size() * perSector, kFreeSector);
  for (size_t k = 0; k < fatSectors.size(); ++k) {
    const uint32_t s = fatSectors[k];
    if (s >= sectorCount_) continue;
    const uint64_t offset = SectorOffset(s);
    const uint64_t available = std::min<uint64_t>(sectorSize_, bytes_.size() - offset);
    uint32_t* out = fat_.data() + k * perSector;
    for (uint64_t i = 0; i + 4 <= available; i += 4) out[i / 4] = U32(&bytes_[offset + i]);
  }
}

std::vector<uint32_t> CompoundFile::Chain(uint32_t start, uint64_t maxCount, bool mini,
                                          const char* what) const {
  const std::vector<uint32_t>& table = mini ? miniFat_ : fat_;
  const uint64_t limit =
      mini ? std::min<uint64_t>(table.size(),
                                (miniStreamSize_ + miniSectorSize_ - 1) / miniSectorSize_)
           : std::min<uint64_t>(table.size(), sectorCount_);
  std::vector<uint32_t> chain;
  chain.reserve(static_cast<size_t>(std::min(maxCount, limit)));
  Visited visited(static_cast<size_t>(limit));
  uint32_t current = start;
  while (chain.size() < maxCount && current < limit) {
    if (!visited.Mark(current)) {
      throw ContainerError(std::string("Damaged compound file: the sector chain of ") + what +
                           " loops");
    }
    chain.push_back(current);
    current = table[current];
  }
  return chain;
}

void CompoundFile::ReadDirectory(uint32_t start) {
  if (start >= sectorCount_) {
    throw ContainerError("Damaged compound file: the directory starts outside the file");
  }
  const std::vector<uint32_t> sectors = Chain(start, sectorCount_, false, "the directory");
  const bool version3 = sectorSize_ == 512;
  entries_.reserve(sectors.size() * (sectorSize_ / kEntrySize));
  for (uint32_t s : sectors) {
    const uint64_t offset = SectorOffset(s);
    const uint64_t available = std::min<uint64_t>(sectorSize_, bytes_.size() - offset);
    for (uint64_t e = 0; e + kEntrySize <= available; e += kEntrySize) {
      const uint8_t* p = bytes_.data() + offset + e;
      Entry entry;
      entry.name = DecodeName(p, U16(p + 0x40));
      entry.type = p[0x42];
      entry.left = U32(p + 0x44);
      entry.right = U32(p + 0x48);
      entry.child = U32(p + 0x4C);
      entry.start = U32(p + 0x74);
      // Files with 512-byte sectors may leave garbage in the high half of the size.
      entry.size = version3 ? U32(p + 0x78) : U64(p + 0x78);
      entries_.push_back(std::move(entry));
    }
  }
  if (entries_.empty()) {
    throw ContainerError("Damaged compound file: the directory is empty");
  }
}

void CompoundFile::ReadMiniStream() {
  const Entry& root = entries_[0];
  const uint64_t size = std::min<uint64_t>(root.size, bytes_.size());
  if (size == 0 || root.start >= sectorCount_) return;
  miniStreamSectors_ =
      Chain(root.start, (size + sectorSize_ - 1) / sectorSize_, false, "the mini stream");
  // Only what the chain holds is usable.
  uint64_t held = 0;
  for (uint32_t s : miniStreamSectors_) {
    const uint64_t offset = SectorOffset(s);
    const uint64_t available = std::min<uint64_t>(sectorSize_, bytes_.size() - offset);
    held += available;
    if (available < sectorSize_) break;
  }
  miniStreamSize_ = std::min(size, held);
}

void CompoundFile::CollectRootStreams() {
  const uint32_t count = static_cast<uint32_t>(entries_.size());
  Visited visited(count);
  visited.Mark(0);
  std::vector<uint32_t> pending;
  if (entries_[0].child < count) pending.push_back(entries_[0].child);
  while (!pending.empty()) {
    const uint32_t i = pending.back();
    pending.pop_back();
    if (!visited.Mark(i)) continue;
    const Entry& e = entries_[i];
    if (e.type == 2) rootStreams_.push_back(i);
    if (e.left < count) pending.push_back(e.left);
    if (e.right < count) pending.push_back(e.right);
  }
  std::sort(rootStreams_.begin(), rootStreams_.end());
}

const CompoundFile::Entry* CompoundFile::FindStream(const std::string& name) const {
  for (uint32_t i : rootStreams_) {
    if (EqualNoCase(entries_[i].name, name)) return &entries_[i];
  }
  // A directory tree that is damaged may hide a stream: look through every entry.
  for (const Entry& e : entries_) {
    if (e.type == 2 && EqualNoCase(e.name, name)) return &e;
  }
  return nullptr;
}

bool CompoundFile::HasStream(const std::string& name) const { return FindStream(name) != nullptr; }

std::vector<std::string> CompoundFile::StreamNames() const {
  std::vector<std::string> names;
  names.reserve(rootStreams_.size());
  for (uint32_t i : rootStreams_) names.push_back(entries_[i].name);
  return names;
}

std::vector<uint8_t> CompoundFile::ReadStream(const std::string& name) const {
  const Entry* entry = FindStream(name);
  if (!entry) {
    throw ContainerError("The compound file has no stream " + Quoted(name));
  }
  return ReadStreamEntry(static_cast<uint32_t>(entry - entries_.data()));
}

uint64_t CompoundFile::StreamSize(const std::string& name) const {
  const Entry* entry = FindStream(name);
  if (!entry) {
    throw ContainerError("The compound file has no stream " + Quoted(name));
  }
  return std::min<uint64_t>(entry->size, bytes_.size());
}

std::vector<uint8_t> CompoundFile::ReadStreamEntry(uint32_t index) const {
  if (index >= entries_.size() || entries_[index].type != 2) {
    throw ContainerError("The compound file has no stream at directory entry " +
                         std::to_string(index));
  }
  const Entry& entry = entries_[index];
  // A stream can never be larger than the file that holds it.
  const uint64_t size = std::min<uint64_t>(entry.size, bytes_.size());
  std::vector<uint8_t> out;
  if (size == 0) return out;
  const std::string what = "stream " + Quoted(entry.name);

  if (size < kMiniStreamCutoff) {
    if (!miniStreamError_.empty()) throw ContainerError(miniStreamError_);
    const uint64_t miniCount = (miniStreamSize_ + miniSectorSize_ - 1) / miniSectorSize_;
    if (entry.start >= miniCount || entry.start >= miniFat_.size()) {
      throw ContainerError("Damaged compound file: " + what + " starts outside the mini stream");
    }
    const std::vector<uint32_t> chain =
        Chain(entry.start, (size + miniSectorSize_ - 1) / miniSectorSize_, true, what.c_str());
    const size_t target =
        static_cast<size_t>(std::min<uint64_t>(size, chain.size() * uint64_t{miniSectorSize_}));
    out.reserve(target);
    for (uint32_t m : chain) {
      if (out.size() >= target) break;
      const uint64_t miniOffset = static_cast<uint64_t>(m) << miniSectorShift_;
      const uint64_t big = miniOffset >> sectorShift_;
      const uint64_t offset =
          SectorOffset(miniStreamSectors_[big]) + (miniOffset & (sectorSize_ - 1));
      const uint64_t available =
          std::min<uint64_t>({uint64_t{miniSectorSize_}, miniStreamSize_ - miniOffset,
                              bytes_.size() - offset, target - out.size()});
      out.insert(out.end(), bytes_.data() + offset, bytes_.data() + offset + available);
      if (available < miniSectorSize_) break;
    }
    return out;
  }

  if (entry.start >= sectorCount_) {
    throw ContainerError("Damaged compound file: " + what + " starts outside the file");
  }
  const std::vector<uint32_t> chain =
      Chain(entry.start, (size + sectorSize_ - 1) / sectorSize_, false, what.c_str());
  const size_t target =
      static_cast<size_t>(std::min<uint64_t>(size, chain.size() * uint64_t{sectorSize_}));
  out.reserve(target);
  size_t i = 0;
  while (i < chain.size() && out.size() < target) {
    // Copy a run of consecutive sectors at once.
    size_t j = i + 1;
    while (j < chain.size() && chain[j] == chain[j - 1] + 1) ++j;
    const uint64_t offset = SectorOffset(chain[i]);
    const uint64_t runBytes = static_cast<uint64_t>(j - i) << sectorShift_;
    const uint64_t available =
        std::min<uint64_t>({runBytes, bytes_.size() - offset, target - out.size()});
    out.insert(out.end(), bytes_.data() + offset, bytes_.data() + offset + available);
    if (available < runBytes) break;  // the file ends inside the run
    i = j;
  }
  return out;
}

}  // namespace quillane::container
