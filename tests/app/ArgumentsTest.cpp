// The Windows syntax of the command line, parsed from a command-line text.
#include <gtest/gtest.h>

#include <cstdlib>

#include "app/modArguments.h"
#include "app/modMain.h"

using namespace quillane::app;

namespace {
std::vector<std::string> Args(const std::string& text) {
  SetCommandLineText(text);
  std::vector<std::string> args;
  for (int i = 1; i <= ArgCount(); ++i) args.push_back(GetArg(i, false));
  return args;
}
using Strings = std::vector<std::string>;
#ifdef _WIN32
int setenv(const char* name, const char* value, int) { return _putenv_s(name, value); }
int unsetenv(const char* name) { return _putenv_s(name, ""); }
#endif
}  // namespace

TEST(WindowsArguments, SplittingAtBlanksSlashesAndQuotes) {
  EXPECT_EQ(Args("a.xls /o"), (Strings{"a.xls", "/o"}));
  EXPECT_EQ(Args("a.xls/o"), (Strings{"a.xls", "/o"}));
  EXPECT_EQ(Args("  a.xls    b.xls  "), (Strings{"a.xls", "b.xls"}));
  EXPECT_EQ(Args(""), Strings{});
  EXPECT_EQ(ArgCount(), 0);
  // Quotes keep blanks and slashes inside one argument, and stay part of it.
  EXPECT_EQ(Args("\"C:\\a b/c.xls\" /o"), (Strings{"\"C:\\a b/c.xls\"", "/o"}));
  EXPECT_EQ(GetArg(1), "C:\\a b/c.xls");
  EXPECT_EQ(Args("/d:\"C:\\My Out\" /c"), (Strings{"/d:\"C:\\My Out\"", "/c"}));
  // Doubled quotes survive the parse as they were written.
  EXPECT_EQ(Args("\"say \"\"hi\"\"\".xls"), (Strings{"\"say \"\"hi\"\"\".xls"}));
  // An unmatched quote counts as closed at the end.
  EXPECT_EQ(Args("\"C:\\My Folder\\a.xls"), (Strings{"\"C:\\My Folder\\a.xls \""}));
  EXPECT_EQ(GetArg(0), "");
  EXPECT_EQ(GetArg(2), "");
}

TEST(WindowsArguments, RepeatedArgumentIsLeftOutAndTheRestKept) {
  EXPECT_EQ(Args("a.xls A.XLS b.xls /o /O"), (Strings{"a.xls", "b.xls", "/o"}));
}

TEST(WindowsArguments, Switches) {
  SetCommandLineText("a.xls /Sub /help /d:x /dy \"/o\"");
  EXPECT_TRUE(SwitchPresent("s"));
  EXPECT_TRUE(SwitchPresent("S"));
  EXPECT_TRUE(SwitchPresent("h"));
  EXPECT_TRUE(SwitchPresent("su"));
  EXPECT_FALSE(SwitchPresent("o"));  // a quoted switch is not a switch
  EXPECT_FALSE(SwitchPresent("c"));
  EXPECT_EQ(GetSwitchValue("d"), ":x");  // the first of two
  EXPECT_EQ(GetSwitchValue("c"), "");

  SetCommandLineText("/d:\"C:\\My Out\"");
  EXPECT_EQ(GetSwitchValue("d"), ":\"C:\\My Out\"");
  SetCommandLineText("/d=C:\\Out");
  EXPECT_EQ(GetSwitchValue("d"), "C:\\Out");
  SetCommandLineText("/d\"=C:\\Out \"");
  EXPECT_EQ(GetSwitchValue("d"), "C:\\Out");
}

TEST(WindowsArguments, StripQuotes) {
  EXPECT_EQ(StripQuotes("\"abc\""), "abc");
  EXPECT_EQ(StripQuotes("\"a\"\"b\""), "a\"b");
  EXPECT_EQ(StripQuotes("\"\""), "");
  EXPECT_EQ(StripQuotes("\""), "");
  EXPECT_EQ(StripQuotes("\"abc"), "\"abc");
  EXPECT_EQ(StripQuotes("abc\""), "abc\"");
  EXPECT_EQ(StripQuotes(""), "");
}

TEST(WindowsArguments, RequestFromTheSwitches) {
  SetCommandLineText("C:\\test.xls C:\\Temp\\*.xls /l:c:\\abc.log");
  RunRequest r = ReadWindowsCommandLine();
  EXPECT_EQ(r.entries, (Strings{"C:\\test.xls", "C:\\Temp\\*.xls"}));
  EXPECT_EQ(r.options.LogPath, "c:\\abc.log");
  EXPECT_TRUE(r.options.WriteLog);
  EXPECT_FALSE(r.showUsage);

  // The file list ends at the first switch.
  SetCommandLineText("/s C:\\Temp\\*.xls");
  r = ReadWindowsCommandLine();
  EXPECT_TRUE(r.entries.empty());
  EXPECT_TRUE(r.options.IncludeSubfolders);

  SetCommandLineText("\"C:\\My Data\\a.xls\" /d:\"C:\\My Out\" /o /c /f /e:1,4-5");
  r = ReadWindowsCommandLine();
  EXPECT_EQ(r.entries, Strings{"C:\\My Data\\a.xls"});
  EXPECT_EQ(r.options.OutputFolder, "C:\\My Out");
  EXPECT_TRUE(r.options.Overwrite && r.options.Compress && r.options.CreateFilesDir);
  EXPECT_EQ(r.options.SheetRange, "1,4-5");  // the colon goes, so sheet 1 counts

  // Only a colon is dropped from a value: the drive letter stays.
  SetCommandLineText("a.xls /d=C:\\Out /e1,4-5 /l");
  r = ReadWindowsCommandLine();
  EXPECT_EQ(r.options.OutputFolder, "C:\\Out");
  EXPECT_EQ(r.options.SheetRange, "1,4-5");
  EXPECT_EQ(r.options.LogPath, "");

  SetCommandLineText("a.xls /l: /e=1,4-5");
  r = ReadWindowsCommandLine();
  EXPECT_EQ(r.options.LogPath, "");  // the default log, not a file named ":"
  EXPECT_EQ(r.options.SheetRange, "1,4-5");

  SetCommandLineText("a.xls /?");
  EXPECT_TRUE(ReadWindowsCommandLine().showUsage);
  SetCommandLineText("a.xls /H");
  EXPECT_TRUE(ReadWindowsCommandLine().showUsage);
}

TEST(WindowsArguments, PasswordFromTheSwitchOrTheEnvironment) {
  setenv("GRIDCAST_PASSWORD", "from-env", 1);
  SetCommandLineText("a.xls /p:\"two words\"");
  EXPECT_EQ(ReadWindowsCommandLine().options.Password, "two words");
  SetCommandLineText("a.xls");
  EXPECT_EQ(ReadWindowsCommandLine().options.Password, "from-env");
  unsetenv("GRIDCAST_PASSWORD");
  EXPECT_EQ(ReadWindowsCommandLine().options.Password, "");
}
