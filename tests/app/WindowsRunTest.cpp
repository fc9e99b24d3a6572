// gridcast.exe on Windows (run under Wine here): the Windows syntax of the command line given as
// a real process command line, file names outside the code page, and the POSIX options.
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "TempFolder.h"
#include "app/modMain.h"
#include "files/AtomicFile.h"
#include "files/WideNames.h"
#include "files/modFuntions.h"
#include "spreadsheet/container/MappedFile.h"

namespace fs = std::filesystem;
using quillane::files::Utf8;
using quillane::files::Wide;
using quillane::testing::ReadFile;
using quillane::testing::TempFolder;

namespace {

const std::string kCli = std::string(QUILLANE_SOURCE_DIR) + "/tests/data/cli/";
// "Données 日本": a Latin letter no single-byte code page shares with CJK, and CJK.
const std::string kWideName =
    "Donn\xC3\xA9"
    "es \xE6\x97\xA5\xE6\x9C\xAC";

struct Result {
  DWORD status = 0;
  std::string out;
};

// Starts gridcast.exe with `arguments` as the rest of its command line, as a Windows shell hands
// it over (quotes and all), in `folder`, and waits for it.
Result RunGridcast(const std::string& arguments, const std::string& folder) {
  TempFolder outputs;
  const std::wstring outPath = Wide(outputs / "out");
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE out = CreateFileW(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = out;
  startup.hStdError = out;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  const std::wstring program = fs::absolute(GRIDCAST_PATH).wstring();
  std::wstring line = L"\"" + program + L"\" " + Wide(arguments);
  PROCESS_INFORMATION process{};
  Result run;
  run.status = 999;
  if (CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                     Wide(folder).c_str(), &startup, &process)) {
    WaitForSingleObject(process.hProcess, 120000);
    GetExitCodeProcess(process.hProcess, &run.status);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  CloseHandle(out);
  run.out = ReadFile(outputs / "out");
  return run;
}

std::string Copy(const std::string& from, const std::string& to) {
  fs::create_directories(fs::path(to).parent_path());
  fs::copy_file(from, to, fs::copy_options::overwrite_existing);
  return to;
}

}  // namespace

TEST(WindowsNames, WideNamesReachTheFileSystem) {
  TempFolder temp;
  const std::string folder = temp.MakeFolder(kWideName);
  const std::string book = Copy(kCli + "three-sheets.xls", folder + "\\caf\xC3\xA9.xls");
  // The file is where its UTF-16 name says, not under a name of the code page.
  EXPECT_NE(GetFileAttributesW(Wide(book).c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(quillane::files::FileExists(book));
  EXPECT_TRUE(quillane::files::IsDirectory(folder));
  quillane::container::MappedFile mapped(book);
  EXPECT_EQ(mapped.Bytes().size(), fs::file_size(kCli + "three-sheets.xls"));
  // A character past U+FFFF is a surrogate pair there and four bytes here, both ways.
  const std::string clef = folder + "\\\xF0\x9D\x84\x9E.htm";
  quillane::files::WriteFileAtomically(clef, "one");
  quillane::files::WriteFileAtomically(clef, "two");  // replaces the page
  EXPECT_EQ(ReadFile(clef), "two");
  bool listed = false;
  for (const auto& entry : fs::directory_iterator(fs::path(folder))) {
    listed = listed || entry.path().filename().string() == "\xF0\x9D\x84\x9E.htm";
  }
  EXPECT_TRUE(listed);
  EXPECT_EQ(Utf8(Wide(clef)), clef);
}

TEST(WindowsNames, ProgramFolderAndDefaultLogFolder) {
  const std::string app = quillane::files::AppPath();
  ASSERT_FALSE(app.empty());
  EXPECT_EQ(app.back(), '\\');
  EXPECT_TRUE(fs::exists(fs::path(app) / fs::path(std::string(GRIDCAST_PATH)).filename()) ||
              fs::exists(fs::path(app) / "app_windows_test.exe"));
}

TEST(WindowsCommandLine, WindowsSyntaxWithWideNamesQuotesAndSwitches) {
  TempFolder temp;
  const std::string in = temp.MakeFolder(kWideName);
  Copy(kCli + "three-sheets.xls", in + "\\caf\xC3\xA9.xls");
  Copy(kCli + "three-sheets.xls", in + "\\deep\\inner.XLS");
  const std::string out = temp.MakeFolder("out put");
  const std::string log = temp / "run.log";
  // Switches after the files, values after a colon, folders with blanks in quotes.
  Result run = RunGridcast(
      "\"" + in + "\\*.xls\" /s /d:\"" + out + "\" /l:\"" + log + "\" /e:1-2 /O", temp.str());
  EXPECT_EQ(run.status, 0u) << run.out;
  EXPECT_TRUE(fs::exists(fs::path(out + "\\caf\xC3\xA9_1.htm")));
  EXPECT_TRUE(fs::exists(fs::path(out + "\\caf\xC3\xA9_2.htm")));
  EXPECT_FALSE(fs::exists(fs::path(out + "\\caf\xC3\xA9_3.htm")));  // /e:1-2
  EXPECT_TRUE(fs::exists(fs::path(out + "\\inner_1.htm")));         // /s, any case of .xls
  const std::string lines = ReadFile(log);
  EXPECT_NE(lines.find("100, Successfully convert " + in + "\\caf\xC3\xA9.xls to " + out +
                       "\\caf\xC3\xA9.htm\r\n"),
            std::string::npos)
      << lines;

  // The file list ends at the first switch; /? anywhere shows the usage and converts nothing.
  run = RunGridcast("/o \"" + in + "\\caf\xC3\xA9.xls\" /l:\"" + log + "2\"", temp.str());
  EXPECT_FALSE(fs::exists(fs::path(log + "2")));
  run = RunGridcast("\"" + in + "\\caf\xC3\xA9.xls\" /?", temp.str());
  EXPECT_EQ(run.status, 0u);
  EXPECT_NE(run.out.find("gridcast <File List> [/d:Dest Path]"), std::string::npos) << run.out;
}

TEST(WindowsCommandLine, PathsCompareWithoutRegardToCase) {
  TempFolder temp;
  Copy(kCli + "three-sheets.xls", temp / "Sub\\Book.xls");
  const std::string log = temp / "run.log";
  Result run =
      RunGridcast(temp / "Sub\\Book.xls " + temp / "SUB\\.\\book.XLS /o /l:" + log, temp.str());
  EXPECT_EQ(run.status, 0u) << run.out;
  const std::string lines = ReadFile(log);
  EXPECT_EQ(lines.find("100,"), lines.rfind("100,")) << lines;  // converted once
}

TEST(WindowsCommandLine, PosixOptionsWhereTheyCannotBeMistaken) {
  TempFolder temp;
  const std::string book = Copy(kCli + "three-sheets.xls", temp / (kWideName + ".xls"));
  const std::string out = temp.MakeFolder("out");
  Result run = RunGridcast(
      "--dest \"" + out + "\" -e 2 --log \"" + temp / "p.log" + "\" \"" + book + "\"", temp.str());
  EXPECT_EQ(run.status, 0u) << run.out;
  EXPECT_TRUE(fs::exists(fs::path(out + "\\" + kWideName + "_2.htm")));
  EXPECT_FALSE(fs::exists(fs::path(out + "\\" + kWideName + "_1.htm")));
  EXPECT_TRUE(quillane::app::UsesPosixSyntax({"-o", "a.xls"}));
  EXPECT_FALSE(quillane::app::UsesPosixSyntax({"a.xls", "-o"}));
  // A workbook whose name begins with "-" is a file, not an option.
  Copy(kCli + "three-sheets.xls", temp / "-o");
  const fs::path here = fs::current_path();
  fs::current_path(temp.path());
  EXPECT_FALSE(quillane::app::UsesPosixSyntax({"-o"}));
  fs::current_path(here);
}
