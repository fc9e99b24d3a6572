// The switches of one batch run. The command line fills them from its options; the window from
// its menu check marks and dialogs.
#pragma once

#include <string>

namespace quillane::convert {

struct ConvertOptions {
  std::string OutputFolder;        // empty: each page goes beside its workbook
  bool Overwrite = false;          // false: a workbook any of whose pages exists is skipped (101)
  bool CreateFilesDir = false;     // keep each page's supporting ".files" folder
  bool Compress = false;           // compact every page written
  std::string Password;            // empty: none (the default password is always tried)
  std::string SheetRange;          // sheet selection such as 1,4-5,10-20; empty: every sheet
  bool WriteLog = true;            // append the run's lines to LogPath
  std::string LogPath;             // empty: DefaultLogPath()
  bool IncludeSubfolders = false;  // wildcard entries also search subfolders
};

}  // namespace quillane::convert
