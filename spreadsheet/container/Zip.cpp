#include "spreadsheet/container/Zip.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "spreadsheet/container/Inflate.h"
#include "support/Ascii.h"

namespace quillane::container {

namespace {

constexpr uint32_t kLocalHeader = 0x04034B50;
constexpr uint32_t kCentralHeader = 0x02014B50;
constexpr uint32_t kEndOfDirectory = 0x06054B50;
constexpr uint32_t kZip64End = 0x06064B50;
constexpr uint32_t kZip64Locator = 0x07064B50;
constexpr size_t kEndSize = 22;
constexpr size_t kMaxComment = 0xFFFF;

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t U32(const uint8_t* p) {
  return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}
uint64_t U64(const uint8_t* p) { return uint64_t{U32(p)} | (uint64_t{U32(p + 4)} << 32); }

[[noreturn]] void Damaged(const std::string& what) {
  throw ContainerError("The zip archive is damaged: " + what);
}

// Eight tables: the CRC advances eight bytes a step ("slicing by 8").
using CrcTables = std::array<std::array<uint32_t, 256>, 8>;

const CrcTables& CrcTable() {
  static const CrcTables tables = [] {
    CrcTables t{};
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[0][i] = c;
    }
    for (uint32_t i = 0; i < 256; ++i) {
      for (size_t k = 1; k < 8; ++k) t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
    }
    return t;
  }();
  return tables;
}

// The sizes and offset of a central entry that stand as 0xFFFFFFFF are in its zip64 extra field,
// in this order, each present only when needed.
void ReadZip64Extra(const uint8_t* extra, size_t length, Zip::Entry& entry, bool needSize,
                    bool needPacked, bool needOffset) {
  size_t at = 0;
  while (at + 4 <= length) {
    const uint16_t id = U16(extra + at);
    const uint16_t size = U16(extra + at + 2);
    if (at + 4 + size > length) break;
    if (id == 0x0001) {
      const uint8_t* p = extra + at + 4;
      size_t left = size;
      auto take = [&](uint64_t& field) {
        if (left < 8) Damaged("a zip64 field is too short");
        field = U64(p);
        p += 8;
        left -= 8;
      };
      if (needSize) take(entry.size);
      if (needPacked) take(entry.packedSize);
      if (needOffset) take(entry.headerOffset);
      return;
    }
    at += 4 + size;
  }
  if (needSize || needPacked || needOffset) Damaged("a zip64 field is missing");
}

}  // namespace

uint32_t Crc32(std::span<const uint8_t> bytes, uint32_t crc) {
  const auto& t = CrcTable();
  crc = ~crc;
  const uint8_t* p = bytes.data();
  size_t n = bytes.size();
  for (; n >= 8; p += 8, n -= 8) {
    const uint32_t lo = U32(p) ^ crc, hi = U32(p + 4);
    crc = t[7][lo & 0xFF] ^ t[6][(lo >> 8) & 0xFF] ^ t[5][(lo >> 16) & 0xFF] ^ t[4][lo >> 24] ^
          t[3][hi & 0xFF] ^ t[2][(hi >> 8) & 0xFF] ^ t[1][(hi >> 16) & 0xFF] ^ t[0][hi >> 24];
  }
  for (; n > 0; ++p, --n) crc = t[0][(crc ^ *p) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

bool Zip::IsZip(std::span<const uint8_t> bytes) {
  return bytes.size() >= 4 && U32(bytes.data()) == kLocalHeader;
}

Zip::Zip(std::span<const uint8_t> bytes) : bytes_(bytes) {
  const size_t n = bytes.size();
  if (n < kEndSize) Damaged("it is too short");
  // The end record is the last one of its signature within the trailing comment's reach.
  const size_t lowest = n - kEndSize > kMaxComment ? n - kEndSize - kMaxComment : 0;
  size_t end = SIZE_MAX;
  for (size_t at = n - kEndSize + 1; at-- > lowest;) {
    if (U32(bytes.data() + at) == kEndOfDirectory) {
      end = at;
      break;
    }
  }
  if (end == SIZE_MAX) Damaged("its central directory is missing");
  const uint8_t* e = bytes.data() + end;
  uint64_t count = U16(e + 10);
  uint64_t dirSize = U32(e + 12);
  uint64_t dirOffset = U32(e + 16);
  if (count == 0xFFFF || dirSize == 0xFFFFFFFF || dirOffset == 0xFFFFFFFF) {
    // Zip64: a locator just before the end record points at the zip64 end record.
    if (end < 20 || U32(e - 20) != kZip64Locator) Damaged("its zip64 locator is missing");
    const uint64_t at = U64(e - 20 + 8);
    if (at > n || n - at < 56 || U32(bytes.data() + at) != kZip64End) {
      Damaged("its zip64 end record is missing");
    }
    const uint8_t* z = bytes.data() + at;
    count = U64(z + 32);
    dirSize = U64(z + 40);
    dirOffset = U64(z + 48);
  }
  if (dirOffset > n || dirSize > n - dirOffset)
    Damaged("its central directory lies outside the file");
  if (count > kMaxEntries) {
    throw ContainerError("The zip archive has too many entries: " + std::to_string(count) +
                         ", more than " + std::to_string(kMaxEntries));
  }
  // Each central record has at least 46 bytes: a count past what the directory holds is damage.
  if (count > dirSize / 46) Damaged("its central directory is shorter than its entry count");
  entries_.reserve(count);
  const uint8_t* p = bytes.data() + dirOffset;
  const uint8_t* const dirEnd = p + dirSize;
  for (uint64_t i = 0; i < count; ++i) {
    if (dirEnd - p < 46 || U32(p) != kCentralHeader)
      Damaged("a central directory record is broken");
    Entry entry;
    entry.flags = U16(p + 8);
    entry.method = U16(p + 10);
    entry.crc = U32(p + 16);
    entry.packedSize = U32(p + 20);
    entry.size = U32(p + 24);
    const uint16_t nameLength = U16(p + 28);
    const uint16_t extraLength = U16(p + 30);
    const uint16_t commentLength = U16(p + 32);
    entry.headerOffset = U32(p + 42);
    const size_t recordSize = size_t{46} + nameLength + extraLength + commentLength;
    if (static_cast<size_t>(dirEnd - p) < recordSize)
      Damaged("a central directory record is cut short");
    entry.name.assign(reinterpret_cast<const char*>(p + 46), nameLength);
    ReadZip64Extra(p + 46 + nameLength, extraLength, entry, entry.size == 0xFFFFFFFF,
                   entry.packedSize == 0xFFFFFFFF, entry.headerOffset == 0xFFFFFFFF);
    p += recordSize;
    // The first of two entries of one name (or of one key) is the one found, as other readers do.
    byName_.emplace(entry.name, entries_.size());
    byKey_.emplace(NameKey(entry.name), entries_.size());
    entries_.push_back(std::move(entry));
  }
  // Each entry's local header names it as the directory does: a name that differs in one of them
  // is damage, which would otherwise pass as a part the package never had.
  for (const Entry& entry : entries_) {
    const std::string quoted = "\"" + entry.name + "\"";
    if (entry.headerOffset > n || n - entry.headerOffset < 30 ||
        U32(bytes.data() + entry.headerOffset) != kLocalHeader) {
      Damaged("the local header of " + quoted + " is missing");
    }
    const uint8_t* local = bytes.data() + entry.headerOffset;
    const size_t nameLength = U16(local + 26);
    if (nameLength != entry.name.size() || n - entry.headerOffset - 30 < nameLength ||
        std::memcmp(local + 30, entry.name.data(), nameLength) != 0) {
      Damaged("the local header of " + quoted + " names another entry");
    }
  }
}

std::string Zip::NameKey(std::string_view name) {
  std::string key(name);
  for (char& c : key) {
    if (c == '\\') c = '/';
    c = support::AsciiLower(c);
  }
  if (!key.empty() && key.front() == '/') key.erase(0, 1);
  return key;
}

const Zip::Entry* Zip::Find(std::string_view name) const {
  if (!name.empty() && name.front() == '/') name.remove_prefix(1);
  if (auto exact = byName_.find(std::string(name)); exact != byName_.end())
    return &entries_[exact->second];
  auto loose = byKey_.find(NameKey(name));
  return loose == byKey_.end() ? nullptr : &entries_[loose->second];
}

std::vector<uint8_t> Zip::Read(std::string_view name) const {
  const Entry* entry = Find(name);
  if (entry == nullptr)
    throw ContainerError("The zip archive has no entry \"" + std::string(name) + "\"");
  return Read(*entry);
}

std::vector<uint8_t> Zip::Read(const Entry& entry) const {
  // Room for what the entry says it unpacks to, as far as the packed bytes this file can hold
  // for it may give: the sizes are checked only as the entry is read.
  std::vector<uint8_t> out;
  const uint64_t packed = std::min<uint64_t>(entry.packedSize, bytes_.size());
  out.reserve(std::min<uint64_t>({entry.size, packed * 16 + 4096, uint64_t{64} << 20}));
  ReadTo(entry, [&out](std::span<const uint8_t> piece) {
    out.insert(out.end(), piece.begin(), piece.end());
  });
  return out;
}

namespace {

// Why an entry cannot be unpacked at all, before any byte of it is.
void CheckEntry(const Zip::Entry& entry, const std::string& quoted) {
  if (entry.flags & 0x0001) throw ContainerError("The zip entry " + quoted + " is encrypted");
  if (entry.method != 0 && entry.method != 8) {
    throw ContainerError("The zip entry " + quoted + " is packed by method " +
                         std::to_string(entry.method) + ", which is not supported");
  }
  if (entry.size > Zip::kMaxEntryBytes) {
    throw ContainerError("The zip entry " + quoted +
                         " is too large: " + std::to_string(entry.size) + " bytes unpacked");
  }
  if (entry.size > Zip::kRatioFloor &&
      entry.size / std::max<uint64_t>(entry.packedSize, 1) > Zip::kMaxRatio) {
    throw ContainerError("The zip entry " + quoted + " expands too far (a zip bomb?)");
  }
}

}  // namespace

std::span<const uint8_t> Zip::PackedBytes(const Entry& entry) const {
  const std::string quoted = "\"" + entry.name + "\"";
  CheckEntry(entry, quoted);
  const size_t n = bytes_.size();
  if (entry.headerOffset > n || n - entry.headerOffset < 30 ||
      U32(bytes_.data() + entry.headerOffset) != kLocalHeader) {
    Damaged("the local header of " + quoted + " is missing");
  }
  const uint8_t* local = bytes_.data() + entry.headerOffset;
  const uint64_t dataOffset = entry.headerOffset + 30 + U16(local + 26) + U16(local + 28);
  if (dataOffset > n || entry.packedSize > n - dataOffset)
    Damaged("the data of " + quoted + " lie outside the file");
  return bytes_.subspan(dataOffset, entry.packedSize);
}

void Zip::Unpack(const Entry& entry, std::span<const uint8_t> packed, const InflateSink& sink,
                 uint64_t& produced) {
  const std::string quoted = "\"" + entry.name + "\"";
  // The check sum runs over the pieces as they pass.
  uint32_t crc = 0;
  if (entry.method == 0) {
    if (entry.packedSize != entry.size) Damaged("the stored entry " + quoted + " has two sizes");
    constexpr size_t kPiece = size_t{1} << 17;
    for (size_t at = 0; at < packed.size(); at += kPiece) {
      const auto piece = packed.subspan(at, std::min(kPiece, packed.size() - at));
      crc = Crc32(piece, crc);
      produced += piece.size();
      sink(piece);
    }
  } else {
    size_t done = 0;
    const bool whole = InflateRawTo(
        packed, entry.size,
        [&](std::span<const uint8_t> piece) {
          crc = Crc32(piece, crc);
          sink(piece);
        },
        &done);
    produced = done;
    if (!whole) Damaged("the entry " + quoted + " does not unpack");
    if (done != entry.size) Damaged("the entry " + quoted + " is shorter than its size");
  }
  if (crc != entry.crc) Damaged("the entry " + quoted + " fails its check sum");
}

void Zip::ReadTo(const Entry& entry, const InflateSink& sink) const {
  const std::span<const uint8_t> packed = PackedBytes(entry);
  if (entry.size > kMaxTotalBytes - std::min(unpacked_, kMaxTotalBytes)) {
    throw ContainerError("The zip archive unpacks to more than " +
                         std::to_string(kMaxTotalBytes >> 20) + " MB");
  }
  // The stated size counts in the archive's total from the start, so reads made while the sink
  // works (a picture that a streamed document names) see it; the entry then counts what it gave.
  unpacked_ += entry.size;
  uint64_t produced = 0;
  try {
    Unpack(entry, packed, sink, produced);
  } catch (...) {
    unpacked_ = unpacked_ - entry.size + produced;
    throw;
  }
  unpacked_ = unpacked_ - entry.size + produced;
}

Zip::Packed Zip::Pack(const Entry& entry, std::vector<uint8_t>* head) const {
  if (head) {
    head->clear();
    ReadTo(entry, [head](std::span<const uint8_t> piece) {
      piece = piece.first(std::min<size_t>(64 - std::min<size_t>(head->size(), 64), piece.size()));
      head->insert(head->end(), piece.begin(), piece.end());
    });
  }
  const std::span<const uint8_t> packed = PackedBytes(entry);
  Packed out;
  out.entry_ = entry;
  out.bytes_.assign(packed.begin(), packed.end());
  return out;
}

void Zip::Packed::UnpackTo(const InflateSink& sink) const {
  uint64_t produced = 0;
  Unpack(entry_, bytes_, sink, produced);
}

}  // namespace quillane::container
