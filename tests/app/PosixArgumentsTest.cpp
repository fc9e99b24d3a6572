#include <gtest/gtest.h>

#include "app/PosixArguments.h"
#include "app/modArguments.h"

using namespace quillane::app;

namespace {
RunRequest Parse(std::vector<std::string> args, const std::string& envPassword = "") {
  return ParsePosixArguments(args, "/work", envPassword);
}
using Strings = std::vector<std::string>;
}  // namespace

TEST(PosixArguments, OptionsAnywhereAndFilesMadeAbsolute) {
  RunRequest r = Parse({"a.xls", "-o", "/data/b.xls", "--dest", "out", "data/*.xls", "-c"});
  EXPECT_TRUE(r.error.empty()) << r.error;
  EXPECT_EQ(r.entries, (Strings{"/work/a.xls", "/data/b.xls", "/work/data/*.xls"}));
  EXPECT_EQ(r.options.OutputFolder, "/work/out");
  EXPECT_TRUE(r.options.Overwrite);
  EXPECT_TRUE(r.options.Compress);
  EXPECT_FALSE(r.options.CreateFilesDir);
  EXPECT_FALSE(r.options.IncludeSubfolders);
  EXPECT_TRUE(r.options.WriteLog);
  EXPECT_EQ(r.options.LogPath, "");
}

TEST(PosixArguments, ShortLongBundledAndAttachedForms) {
  RunRequest r = Parse({"-ocfs", "-e1,4-5", "-d", "/out", "-l=run.log", "x.xls"});
  EXPECT_TRUE(r.error.empty()) << r.error;
  EXPECT_TRUE(r.options.Overwrite && r.options.Compress && r.options.CreateFilesDir &&
              r.options.IncludeSubfolders);
  EXPECT_EQ(r.options.SheetRange, "1,4-5");
  EXPECT_EQ(r.options.OutputFolder, "/out");
  EXPECT_EQ(r.options.LogPath, "/work/run.log");

  r = Parse({"--subfolders", "--overwrite", "--compress", "--keep-files", "--sheets=2",
             "--dest=/o", "--log=/l/x.log", "--password", "pw", "x.xls"});
  EXPECT_TRUE(r.error.empty()) << r.error;
  EXPECT_TRUE(r.options.Overwrite && r.options.Compress && r.options.CreateFilesDir &&
              r.options.IncludeSubfolders);
  EXPECT_EQ(r.options.SheetRange, "2");
  EXPECT_EQ(r.options.OutputFolder, "/o");
  EXPECT_EQ(r.options.LogPath, "/l/x.log");
  EXPECT_EQ(r.options.Password, "pw");

  // A log option without a value means the default log; it never takes the next word.
  r = Parse({"-l", "x.xls"});
  EXPECT_EQ(r.options.LogPath, "");
  EXPECT_EQ(r.entries, Strings{"/work/x.xls"});
  r = Parse({"--log", "x.xls", "--sheets", "3"});
  EXPECT_EQ(r.options.LogPath, "");
  EXPECT_EQ(r.options.SheetRange, "3");
}

TEST(PosixArguments, DoubleDashEndsTheOptions) {
  RunRequest r = Parse({"-o", "--", "-c", "--help"});
  EXPECT_TRUE(r.error.empty());
  EXPECT_FALSE(r.options.Compress);
  EXPECT_FALSE(r.showUsage);
  EXPECT_EQ(r.entries, (Strings{"/work/-c", "/work/--help"}));
  EXPECT_EQ(Parse({"-"}).entries, Strings{"/work/-"});
}

TEST(PosixArguments, HelpVersionAndPassword) {
  EXPECT_TRUE(Parse({"a.xls", "-h"}).showUsage);
  EXPECT_TRUE(Parse({"-?"}).showUsage);
  EXPECT_TRUE(Parse({"--help", "a.xls"}).showUsage);
  EXPECT_TRUE(Parse({"--version"}).showVersion);
  EXPECT_EQ(Parse({"a.xls"}, "secret").options.Password, "secret");
  EXPECT_EQ(Parse({"-p", "given", "a.xls"}, "secret").options.Password, "given");
  EXPECT_EQ(Parse({"-p", "", "a.xls"}, "secret").options.Password, "");  // explicitly none
}

TEST(PosixArguments, UnusableArgumentsGiveOneError) {
  EXPECT_EQ(Parse({"-x", "a.xls"}).error, "unknown option '-x'");
  EXPECT_EQ(Parse({"--bogus=1"}).error, "unknown option '--bogus'");
  EXPECT_EQ(Parse({"a.xls", "--dest"}).error, "option --dest needs a value");
  EXPECT_EQ(Parse({"-d"}).error, "option -d needs a value");
  EXPECT_EQ(Parse({"--dest="}).error, "option --dest needs a folder");
  EXPECT_EQ(Parse({"--overwrite=yes"}).error, "option --overwrite takes no value");
  EXPECT_EQ(Parse({""}).error, "an empty file name was given");
  EXPECT_EQ(Parse({"-oz", "-q"}).error, "unknown option '-z'");
}

TEST(PosixArguments, RepeatedFileEntryIsKeptOnce) {
  EXPECT_EQ(Parse({"a.xls", "/work/a.xls", "A.xls"}).entries,
            (Strings{"/work/a.xls", "/work/A.xls"}));
}

TEST(PosixArguments, SameRequestAsTheWindowsSyntax) {
  SetCommandLineText("a.xls b.xls /o /c /f /s /e:1,4-5 /p:pw");
  RunRequest windows = ReadWindowsCommandLine();
  RunRequest posix = Parse({"a.xls", "b.xls", "-o", "-c", "-f", "-s", "-e", "1,4-5", "-p", "pw"});
  EXPECT_EQ(windows.options.Overwrite, posix.options.Overwrite);
  EXPECT_EQ(windows.options.Compress, posix.options.Compress);
  EXPECT_EQ(windows.options.CreateFilesDir, posix.options.CreateFilesDir);
  EXPECT_EQ(windows.options.IncludeSubfolders, posix.options.IncludeSubfolders);
  EXPECT_EQ(windows.options.SheetRange, posix.options.SheetRange);
  EXPECT_EQ(windows.options.Password, posix.options.Password);
  EXPECT_EQ(windows.options.WriteLog, posix.options.WriteLog);
  EXPECT_EQ(windows.entries, (Strings{"a.xls", "b.xls"}));
  EXPECT_EQ(posix.entries, (Strings{"/work/a.xls", "/work/b.xls"}));
}
