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

  r = Parse({"--subfolders", "--overwrite", "--compress", "--keep-files", "--sheets=2", "--dest=/o",
             "--log=/l/x.log", "--password", "pw", "x.xls"});
  EXPECT_TRUE(r.error.empty()) << r.error;
  EXPECT_TRUE(r.options.Overwrite && r.options.Compress && r.options.CreateFilesDir &&
              r.options.IncludeSubfolders);
  EXPECT_EQ(r.options.SheetRange, "2");
  EXPECT_EQ(r.options.OutputFolder, "/o");
  EXPECT_EQ(r.options.LogPath, "/l/x.log");
  EXPECT_EQ(r.options.Password, "pw");

  // The log option always takes a value, like --dest: never a workbook, never the flags after it.
  r = Parse({"book.xls", "-o", "-l", "run2.log"});
  EXPECT_EQ(r.options.LogPath, "/work/run2.log");
  EXPECT_EQ(r.entries, Strings{"/work/book.xls"});
  r = Parse({"-lcf", "--log", "x.log", "--sheets", "3"});
  EXPECT_EQ(r.options.LogPath, "/work/x.log");
  EXPECT_FALSE(r.options.Compress || r.options.CreateFilesDir);
  EXPECT_EQ(Parse({"-lcf"}).options.LogPath, "/work/cf");
  EXPECT_EQ(Parse(Strings{"a.xls", "-l"}).error, "option -l needs a value");
  EXPECT_EQ(Parse({"--log="}).error, "option --log needs a file");
}

TEST(PosixArguments, JobsListsAndShares) {
  RunRequest r = Parse({"-j3", "--files-from", "list.txt", "-0", "--shard", "2/5"});
  EXPECT_TRUE(r.error.empty()) << r.error;
  EXPECT_EQ(r.jobs, 3);
  EXPECT_EQ(r.filesFrom, "/work/list.txt");
  EXPECT_TRUE(r.nulSeparated);
  EXPECT_EQ(r.shardIndex, 2);
  EXPECT_EQ(r.shardCount, 5);
  EXPECT_EQ(Parse(Strings{"--jobs=1", "--files-from=-"}).jobs, 1);
  EXPECT_EQ(Parse({"--files-from=-"}).filesFrom, "-");
  EXPECT_EQ(Parse({"a.xls"}).jobs, DefaultJobs());
  for (const char* bad : {"0", "x", "-1", "1025", "2.5", ""}) {
    EXPECT_EQ(Parse({"-j", bad}).error, "option -j needs a number of workbooks from 1 to 1024")
        << bad;
  }
  for (const char* bad : {"0/3", "4/3", "3", "1/0", "a/b", "1/3/4"}) {
    EXPECT_EQ(Parse({"--shard", bad}).error,
              "option --shard needs K/N with 1 <= K <= N, for example 2/3")
        << bad;
  }
  EXPECT_EQ(Parse(Strings{"-0", "a.xls"}).error, "option -0 goes with --files-from");
  EXPECT_EQ(Parse(Strings{"--files-from=a", "--files-from=b"}).error,
            "option --files-from is given twice");
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

TEST(PosixArguments, TheUsageNamesEveryOptionAndStatusInLinesThatFit) {
  const std::string usage = PosixUsageText();
  for (const char* option : {"-d, --dest DIR",
                             "-s, --subfolders",
                             "-o, --overwrite",
                             "-e, --sheets RANGE",
                             "-c, --compress",
                             "-f, --keep-files",
                             "-p, --password PASS",
                             "-l, --log FILE",
                             "-j, --jobs N",
                             "--files-from LIST",
                             "-0, --null",
                             "--shard K/N",
                             "-h, -?, --help",
                             "--version",
                             ".xls .xlt .xlw\n",
                             ".xlsx .xlsm .xltx .xltm\n",
                             ".ods .ots .fods\n",
                             "GRIDCAST_PASSWORD",
                             "$XDG_STATE_HOME/quillane",
                             "program's folder",
                             "\n  0 ",
                             "\n  1 ",
                             "\n  2 ",
                             "no arguments",
                             "--dest folder that does not",
                             "\n  130 ",
                             "143"}) {
    EXPECT_NE(usage.find(option), std::string::npos) << option;
  }
  size_t start = 0;
  for (size_t end; (end = usage.find('\n', start)) != std::string::npos; start = end + 1) {
    EXPECT_LE(end - start, 80u) << usage.substr(start, end - start);
  }
  // The usage's own example parses.
  RunRequest r = Parse({"/data/test.xls", "/tmp/*.xls", "--log", "/tmp/abc.log"});
  EXPECT_TRUE(r.error.empty());
  EXPECT_EQ(r.options.LogPath, "/tmp/abc.log");
}
