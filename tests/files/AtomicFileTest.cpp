#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/wait.h>
#endif
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <regex>

#include "TempFolder.h"
#include "files/AtomicFile.h"

namespace fs = std::filesystem;
using namespace quillane::files;
using quillane::testing::ReadFile;
using quillane::testing::TempFolder;

namespace {

std::vector<std::string> Names(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

#ifndef _WIN32
// A process id that is not running: a child that has ended and been reaped.
pid_t DeadProcess() {
  pid_t child = fork();
  if (child == 0) _exit(0);
  waitpid(child, nullptr, 0);
  return child;
}
#endif

}  // namespace

// Writes past a file-size limit fail the way a full disk does.
TEST(AtomicFile, AFailedWriteLeavesTheOldFileWholeAndNoTemporary) {
#ifdef _WIN32
  GTEST_SKIP() << "a full disk is played by a per-file size limit (setrlimit), which Windows lacks";
#else
  TempFolder temp;
  const std::string page = temp.Write("page.htm", "the complete old page");
  quillane::testing::WithFileSizeLimit(4096, [&] {
    EXPECT_THROW(WriteFileAtomically(page, std::string(100000, 'x')), std::runtime_error);
  });
  EXPECT_EQ(ReadFile(page), "the complete old page");
  EXPECT_EQ(Names(temp.path()), std::vector<std::string>{"page.htm"});
#endif
}

TEST(AtomicFile, ReplacesALinkInsteadOfWritingThroughIt) {
  TempFolder temp;
  const std::string victim = temp.Write("elsewhere/victim.txt", "mine");
  QUILLANE_SKIP_WITHOUT_LINKS();
  fs::create_symlink(victim, temp / "page.htm");
  fs::create_symlink(temp / "elsewhere/created.txt", temp / "dangling.htm");
  WriteFileAtomically(temp / "page.htm", "page");
  WriteFileAtomically(temp / "dangling.htm", "page");
  EXPECT_EQ(ReadFile(victim), "mine");
  EXPECT_FALSE(fs::exists(temp / "elsewhere/created.txt"));
  EXPECT_FALSE(fs::is_symlink(temp / "page.htm"));
  EXPECT_EQ(ReadFile(temp / "dangling.htm"), "page");
}

TEST(AtomicFile, TemporariesOfAKilledRunGoOnTheNextRunAndOnASignal) {
#ifndef _WIN32
  TempFolder temp;
  const std::string page = temp.Write("book_1.htm", "old page");
  // A run killed while it writes leaves the old page and its temporary.
  pid_t child = fork();
  if (child == 0) {
    AtomicFile file(page);
    file.Write("half a pa");
    raise(SIGKILL);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(ReadFile(page), "old page");
  std::vector<std::string> left = Names(temp.path());
  ASSERT_EQ(left.size(), 2u);
  const std::string killed = left[1];
  EXPECT_TRUE(std::regex_match(
      killed, std::regex("book_1\\.htm\\.gridcast-tmp-.+-" + std::to_string(child) + "-\\w{6}")))
      << killed;

  // Temporaries of live processes and of other machines stay; an older version's goes too.
  const std::string live = std::regex_replace(killed, std::regex("-\\d+-(\\w{6})$"),
                                              "-" + std::to_string(getpid()) + "-$1");
  temp.Write(live);
  temp.Write("other.htm.gridcast-tmp-elsewhere-" + std::to_string(child) + "-abcdef");
  temp.Write("old.htm.gridcast-tmp" + std::to_string(DeadProcess()));
  WriteFileAtomically(temp / "book_2.htm", "another page");
  std::vector<std::string> kept = {
      "book_1.htm", "book_2.htm", live,
      "other.htm.gridcast-tmp-elsewhere-" + std::to_string(child) + "-abcdef"};
  std::sort(kept.begin(), kept.end());
  EXPECT_EQ(Names(temp.path()), kept);
#endif

  // A signal handler (on Windows: the console's handler) removes the temporaries in flight.
  TempFolder other;
  AtomicFile inFlight(other / "page.htm");
  inFlight.Write("part");
  const std::vector<std::string> names = Names(other.path());
  ASSERT_EQ(names.size(), 1u);
  RemoveTemporaryFilesNow();
#ifndef _WIN32  // Windows deletes an open file only when its last handle closes: at the process's
                // end
  EXPECT_TRUE(Names(other.path()).empty());
#endif
}
