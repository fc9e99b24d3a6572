// Writing a file so that it is either the complete new file or the complete old one.
//
// The bytes go to a temporary file in the folder of the final path, which is renamed over that
// path once it is whole. A failure (a full disk, a folder that cannot be written) or a kill before
// the rename leaves the old file untouched; the rename replaces whatever stands at the path, a
// symbolic link included, without following it. Files are not flushed to the disk one by one (a
// batch would be several times slower): after a crash of the machine itself, rerun the batch.
//
// Temporaries are named "<file name>.gridcast-tmp-<host>-<process>-<six characters>", so that
// they are recognisably ours: those an interrupted run left behind are removed the next time a
// file is written in their folder (only when their process on this host is gone), and those of
// the running process can be removed from a signal handler.
#pragma once

#include <string>
#include <string_view>

namespace quillane::files {

class AtomicFile {
 public:
  // Creates the temporary beside `path`. Throws std::runtime_error when it cannot.
  explicit AtomicFile(std::string path);
  // Removes the temporary unless Commit succeeded.
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // Appends bytes. Throws std::runtime_error naming the path when the write fails.
  void Write(std::string_view bytes);
  // Closes the temporary and renames it over the path. Throws on failure, and the old file stays
  // as it was.
  void Commit();

  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  std::string temporary_;
  int fd_ = -1;
  int slot_ = -1;  // place in the table of temporaries in flight, or -1
  bool committed_ = false;
};

// Writes `bytes` to `path` through an AtomicFile.
void WriteFileAtomically(const std::string& path, std::string_view bytes);

// Removes every temporary this process is writing. Async-signal-safe: for a handler of SIGINT or
// SIGTERM that ends the process.
void RemoveTemporaryFilesNow() noexcept;

// Removes, once per folder and process, the temporaries in `folder` that a process of this host
// which is no longer running left behind. Never throws. AtomicFile calls it itself.
void RemoveStaleTemporaries(const std::string& folder);

// Tells that this process has just made `folder`, so it holds no temporaries of a run that is
// gone and is never looked through for them.
void NoteNewFolder(const std::string& folder);

}  // namespace quillane::files
