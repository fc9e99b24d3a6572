// Test helper: small SpreadsheetML packages written from the test code.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "tests/spreadsheet/container/ZipWriter.h"

namespace quillane::testing {

inline constexpr const char* kMainNs = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
inline constexpr const char* kRelNs =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

// A package of parts by name; the content types, the root relationships and the workbook's
// relationships to its sheets, styles and shared strings are made from what is there.
struct PackageParts {
  std::map<std::string, std::string> parts;
  std::vector<std::string> sheetNames;  // sheet i is xl/worksheets/sheet<i+1>.xml
  std::vector<std::string> sheetStates;
  std::string workbookPr;
  std::string relsNs = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
  // Parts named by the relationships (or made here) but left out of the package.
  std::set<std::string> omit;

  std::vector<uint8_t> Build() const {
    std::map<std::string, std::string> made;
    made["[Content_Types].xml"] =
        "<?xml version=\"1.0\"?><Types "
        "xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
        "<Override PartName=\"/xl/workbook.xml\" ContentType=\"application/"
        "vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/></Types>";
    made["_rels/.rels"] = "<Relationships><Relationship Id=\"rId1\" Type=\"" + relsNs +
                          "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>";
    std::string sheets, rels = "<Relationships>";
    for (size_t i = 0; i < sheetNames.size(); ++i) {
      const std::string n = std::to_string(i + 1);
      sheets +=
          "<sheet name=\"" + sheetNames[i] + "\" sheetId=\"" + n + "\" r:id=\"rId" + n + "\"" +
          (i < sheetStates.size() && !sheetStates[i].empty() ? " state=\"" + sheetStates[i] + "\""
                                                             : "") +
          "/>";
      rels += "<Relationship Id=\"rId" + n + "\" Type=\"" + relsNs +
              "/worksheet\" Target=\"worksheets/sheet" + n + ".xml\"/>";
    }
    for (const char* part : {"styles", "sharedStrings", "theme"}) {
      const std::string name =
          std::string(part) == "theme" ? "theme/theme1.xml" : std::string(part) + ".xml";
      if (parts.count("xl/" + name)) {
        rels += "<Relationship Id=\"r" + std::string(part) + "\" Type=\"" + relsNs + "/" + part +
                "\" Target=\"" + name + "\"/>";
      }
    }
    made["xl/_rels/workbook.xml.rels"] = rels + "</Relationships>";
    made["xl/workbook.xml"] = std::string("<workbook xmlns=\"") + kMainNs + "\" xmlns:r=\"" +
                              relsNs + "\">" + workbookPr + "<sheets>" + sheets +
                              "</sheets></workbook>";
    // The parts given take the place of those made.
    for (const auto& [name, text] : parts) made[name] = text;
    ZipWriter zip;
    for (const char* first :
         {"[Content_Types].xml", "_rels/.rels", "xl/_rels/workbook.xml.rels", "xl/workbook.xml"}) {
      if (!omit.count(first)) zip.Add(first, made[first]);
      made.erase(first);
    }
    for (const auto& [name, text] : made) {
      if (!omit.count(name)) zip.Add(name, text);
    }
    return zip.Finish();
  }
};

inline std::string SheetXml(const std::string& body) {
  return std::string("<worksheet xmlns=\"") + kMainNs + "\" xmlns:r=\"" + kRelNs + "\">" + body +
         "</worksheet>";
}

}  // namespace quillane::testing
