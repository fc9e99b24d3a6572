// Zip archives: the container of Office Open XML and OpenDocument packages.
//
// A Zip is read from bytes the caller keeps alive for the life of the object (a view, not a
// copy; a mapped file serves). The constructor reads the central directory (zip64 records where
// the sizes or offsets need them); entries are unpacked on request, stored or deflated, and checked
// against their CRC-32. Nothing is ever written to disk: names are only compared.
//
// Names: producers write part names with backslashes for slashes and in any letter case, and the
// package formats compare them without regard to case, so Find takes the exact name first and
// otherwise any spelling that differs only in ASCII case or separator. Of two entries that differ
// only so, the exact spelling asked for wins, else the first in the central directory.
//
// Hostile archives: the entry count, the unpacked size of one entry, the unpacked bytes of all
// reads together and the compression ratio of large entries are bounded; an entry is unpacked
// into at most the size the directory states, so a bomb costs no more than what it declares,
// which the limits refuse first. Every offset and size is checked against the bytes. Anything
// unusable throws ContainerError.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "spreadsheet/container/CompoundFile.h"  // ContainerError
#include "spreadsheet/container/Inflate.h"

namespace quillane::container {

class Zip {
 public:
  struct Entry {
    std::string name;     // as stored (UTF-8 in packages)
    uint16_t method = 0;  // 0 stored, 8 deflated
    uint16_t flags = 0;
    uint32_t crc = 0;
    uint64_t packedSize = 0;
    uint64_t size = 0;          // unpacked, as the central directory states it
    uint64_t headerOffset = 0;  // of the local header
  };

  // The bounds of one archive.
  static constexpr size_t kMaxEntries = 100000;
  static constexpr uint64_t kMaxEntryBytes = uint64_t{1} << 30;
  static constexpr uint64_t kMaxTotalBytes = uint64_t{4} << 30;
  // Entries larger than kRatioFloor unpacked may expand at most kMaxRatio times.
  static constexpr uint64_t kRatioFloor = uint64_t{16} << 20;
  static constexpr uint64_t kMaxRatio = 1000;

  // Reads the central directory. Throws ContainerError when there is none or it is damaged.
  explicit Zip(std::span<const uint8_t> bytes);
  // True when the bytes start with a local file header (the signature "PK\3\4").
  static bool IsZip(std::span<const uint8_t> bytes);

  const std::vector<Entry>& Entries() const { return entries_; }
  // The bytes of the archive.
  uint64_t Size() const { return bytes_.size(); }
  // The entry of that name, or nullptr: the exact name, else the first entry whose name equals
  // it but for ASCII case and "\\" for "/". A leading "/" is not part of stored names.
  const Entry* Find(std::string_view name) const;
  // The form in which names are matched loosely: ASCII lower case, "/" for "\\", no leading "/".
  static std::string NameKey(std::string_view name);
  // The unpacked bytes of an entry. Throws ContainerError when the entry is encrypted, packed by
  // another method, damaged, fails its CRC, or passes one of the bounds.
  std::vector<uint8_t> Read(const Entry& entry) const;
  // The same by name; throws ContainerError when there is no such entry.
  std::vector<uint8_t> Read(std::string_view name) const;
  // Hands the unpacked bytes of an entry to `sink` in pieces, in order, without holding them
  // whole: the same checks and bounds as Read. The check sum is known only at the end, so the
  // sink may have seen the bytes of an entry that then throws.
  void ReadTo(const Entry& entry, const InflateSink& sink) const;

  // An entry's packed bytes, copied out of the archive to be unpacked later (pictures, which
  // are unpacked straight to their files when a page is written): the same checks then.
  class Packed {
   public:
    Packed() = default;
    const Entry& Of() const { return entry_; }
    // Hands the unpacked bytes to `sink` in pieces; throws ContainerError as ReadTo does.
    void UnpackTo(const InflateSink& sink) const;

   private:
    friend class Zip;
    Entry entry_;
    std::vector<uint8_t> bytes_;
  };
  // With `head`, the entry is first unpacked once to be checked (sizes, check sum, the bounds of
  // ReadTo), and `head` keeps its first 64 bytes, enough to tell the kind of a picture.
  Packed Pack(const Entry& entry, std::vector<uint8_t>* head = nullptr) const;

 private:
  // Checks what can be checked before unpacking; the entry's packed bytes.
  std::span<const uint8_t> PackedBytes(const Entry& entry) const;
  // Unpacks `packed` into `sink`, checking the sizes and the check sum. `produced` receives the
  // bytes unpacked.
  static void Unpack(const Entry& entry, std::span<const uint8_t> packed, const InflateSink& sink,
                     uint64_t& produced);

  std::span<const uint8_t> bytes_;
  std::vector<Entry> entries_;
  std::unordered_map<std::string, size_t> byName_;  // exact names
  std::unordered_map<std::string, size_t> byKey_;   // NameKey of each name, built once
  mutable uint64_t unpacked_ = 0;                   // by all reads so far
};

// The CRC-32 of zip entries (the ISO 3309 polynomial).
uint32_t Crc32(std::span<const uint8_t> bytes, uint32_t crc = 0);

}  // namespace quillane::container
