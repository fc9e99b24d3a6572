// The workbook formats the engine reads, by file extension: the one list that the usage text, the
// window's file dialogs and the package description are made from. (The engine tells a format
// from a file's bytes, not its name; the extensions only say what to offer and to look for.)
//
// cmake/Package.cmake reads the extensions of kWorkbookFormats from this file for the package's
// description: keep one row a line, each starting with {".ext", as below.
#pragma once

#include <string>
#include <string_view>

namespace quillane::spreadsheet {

enum class WorkbookFamily { Binary, OfficeOpenXml, OpenDocument };

struct WorkbookFormat {
  std::string_view extension;  // with its dot, in lower case
  WorkbookFamily family;
  std::string_view mimeType;
};

inline constexpr WorkbookFormat kWorkbookFormats[] = {
    {".xls", WorkbookFamily::Binary, "application/vnd.ms-excel"},
    {".xlt", WorkbookFamily::Binary, "application/vnd.ms-excel"},
    {".xlw", WorkbookFamily::Binary, "application/vnd.ms-excel"},
    {".xlsx", WorkbookFamily::OfficeOpenXml,
     "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet"},
    {".xlsm", WorkbookFamily::OfficeOpenXml, "application/vnd.ms-excel.sheet.macroEnabled.12"},
    {".xltx", WorkbookFamily::OfficeOpenXml,
     "application/vnd.openxmlformats-officedocument.spreadsheetml.template"},
    {".xltm", WorkbookFamily::OfficeOpenXml, "application/vnd.ms-excel.template.macroEnabled.12"},
    {".ods", WorkbookFamily::OpenDocument, "application/vnd.oasis.opendocument.spreadsheet"},
    {".ots", WorkbookFamily::OpenDocument,
     "application/vnd.oasis.opendocument.spreadsheet-template"},
    {".fods", WorkbookFamily::OpenDocument,
     "application/vnd.oasis.opendocument.spreadsheet-flat-xml"},
};

struct WorkbookFamilyName {
  WorkbookFamily family;
  std::string_view name;
};

inline constexpr WorkbookFamilyName kWorkbookFamilies[] = {
    {WorkbookFamily::Binary, "binary workbooks (BIFF2 to BIFF8)"},
    {WorkbookFamily::OfficeOpenXml, "Office Open XML workbooks"},
    {WorkbookFamily::OpenDocument, "OpenDocument spreadsheets"},
};

// The extensions of a family in table order, joined by `separator` (".xls .xlt .xlw").
inline std::string WorkbookExtensions(WorkbookFamily family, std::string_view separator = " ") {
  std::string text;
  for (const WorkbookFormat& format : kWorkbookFormats) {
    if (format.family != family) continue;
    if (!text.empty()) text += separator;
    text += format.extension;
  }
  return text;
}

}  // namespace quillane::spreadsheet
