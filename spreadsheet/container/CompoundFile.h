// Compound files (OLE2 structured storage): the container of BIFF5-8 workbooks.
//
// A compound file is read from bytes the caller keeps alive for the life of the CompoundFile
// object (the object keeps a view of them, not a copy; a mapped file serves, and only the parts
// read are then brought into memory). The constructor checks the header and
// reads the sector tables and the directory; streams are copied out on request.
//
// Damaged files: every table is bounded by the size of the file, every sector chain is followed
// with a visited bitmap, so no input makes the reader loop, read outside the bytes or allocate
// more than a small multiple of the file's size. A stream whose directory size is larger than its
// sector chain holds (a chain that ends early, leaves the file or runs into a truncated end) is
// clipped to the bytes the chain holds, without an error. A chain that loops, or a stream whose
// first sector lies outside the file, throws ContainerError, as does a header that cannot be used.
#pragma once

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace quillane::container {

class ContainerError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class CompoundFile {
 public:
  // One entry of the directory, as read.
  struct Entry {
    std::string name;  // UTF-8
    uint8_t type = 0;  // 1 storage, 2 stream, 5 root storage
    uint32_t left = kNoEntry;
    uint32_t right = kNoEntry;
    uint32_t child = kNoEntry;
    uint32_t start = 0;  // first sector (mini sector for small streams)
    uint64_t size = 0;   // as the directory states it
  };
  static constexpr uint32_t kNoEntry = 0xFFFFFFFFu;
  // Streams smaller than this live in the mini stream.
  static constexpr uint64_t kMiniStreamCutoff = 4096;

  // Parses the header, FAT, DIFAT, mini FAT and directory. Throws ContainerError.
  explicit CompoundFile(std::span<const uint8_t> bytes);
  // True when the bytes start with the 8-byte compound-file signature.
  static bool IsCompoundFile(std::span<const uint8_t> bytes);

  // Names of the root storage's streams compare without regard to case (ASCII letters).
  bool HasStream(const std::string& name) const;
  // The bytes of a stream of the root storage. Throws ContainerError when there is no such stream
  // or its sector chain is unusable (see above).
  std::vector<uint8_t> ReadStream(const std::string& name) const;
  // The size of a stream of the root storage as far as the file can hold it (the directory's
  // size, at most the file's): what ReadStream may need. Throws ContainerError like ReadStream.
  uint64_t StreamSize(const std::string& name) const;

  // The streams of the root storage, in directory order.
  std::vector<std::string> StreamNames() const;
  // Every directory entry, in directory order (entry 0 is the root storage).
  const std::vector<Entry>& Entries() const { return entries_; }
  // Bytes of the stream of directory entry `index` (a stream anywhere in the tree).
  std::vector<uint8_t> ReadStreamEntry(uint32_t index) const;
  uint32_t SectorSize() const { return sectorSize_; }

 private:
  uint64_t SectorOffset(uint32_t sector) const;
  // Follows a chain of the FAT (or the mini FAT) from `start`, at most `maxCount` sectors.
  // Throws ContainerError when the chain loops; stops at its end or where it leaves the table.
  std::vector<uint32_t> Chain(uint32_t start, uint64_t maxCount, bool mini, const char* what) const;
  void ReadFat(const uint8_t* header);
  void ReadDirectory(uint32_t start);
  void ReadMiniStream();
  void CollectRootStreams();
  const Entry* FindStream(const std::string& name) const;

  std::span<const uint8_t> bytes_;
  uint32_t sectorSize_ = 512;
  uint32_t sectorShift_ = 9;
  uint32_t miniSectorSize_ = 64;
  uint32_t miniSectorShift_ = 6;
  uint32_t sectorCount_ = 0;  // sectors the file holds (the last one may be short)
  std::vector<uint32_t> fat_;
  std::vector<uint32_t> miniFat_;
  std::vector<uint32_t> miniStreamSectors_;  // the root entry's chain: where mini sectors live
  uint64_t miniStreamSize_ = 0;
  std::string miniStreamError_;  // why small streams cannot be read, when they cannot
  std::vector<Entry> entries_;
  std::vector<uint32_t> rootStreams_;  // indices into entries_
};

}  // namespace quillane::container
