#include "spreadsheet/ooxml/WorkbookReader.h"

#include "spreadsheet/container/CompoundFile.h"
#include "spreadsheet/container/Detect.h"
#include "spreadsheet/container/Zip.h"
#include "spreadsheet/model/Limits.h"
#include "spreadsheet/ooxml/Charts.h"
#include "spreadsheet/ooxml/Encryption.h"
#include "spreadsheet/ooxml/ReaderParts.h"

namespace quillane::ooxml {

namespace parts {

namespace {

// The workbook part: its sheets in order and its date system.
struct WorkbookHandler : xml::Handler {
  struct Entry {
    std::string name, state, id;
  };
  std::vector<Entry> sheets;
  bool date1904 = false;
  void Start(std::string_view name, const Attrs& a) override {
    if (name == "workbookPr") {
      date1904 = a.Bool("date1904", false);
    } else if (name == "sheet" && sheets.size() < 65535) {
      sheets.push_back(
          {std::string(a.View("name")), std::string(a.View("state")), std::string(a.View("id"))});
    }
  }
};

}  // namespace

model::Workbook Reader::Read() {
  const std::string main = MainPart();
  if (EndsWith(Lower(main), ".bin")) {
    throw ReadError(
        "Not a workbook this version reads: the file is a binary workbook (.xlsb), "
        "which is not supported");
  }
  auto workbookXml = package_.Read(main);
  if (!workbookXml) Damaged("the workbook part " + main + " is missing");
  // The workbook's relationships lead to its sheets, strings and styles: without them every
  // page would be empty.
  if (package_.Find(RelsOf(main)) == nullptr)
    Damaged("the workbook's relationships part " + RelsOf(main) + " is missing");
  const Relationships rels = package_.Rels(main);

  WorkbookHandler wb;
  ParseXml(*workbookXml, wb, main);
  workbookXml.reset();
  book_.date1904 = wb.date1904;
  book_.lastGridRow = model::kMaxRowXlsx;
  book_.lastGridColumn = model::kMaxColumnXlsx;

  ReadTheme(rels);
  ReadStyles(rels);
  ReadSharedStrings(rels);
  const size_t shared = book_.strings.size();

  for (const auto& entry : wb.sheets) {
    Sheet& sheet = book_.sheets.emplace_back();
    sheet.name = entry.name;
    sheet.visibility = entry.state == "hidden"       ? model::Visibility::Hidden
                       : entry.state == "veryHidden" ? model::Visibility::VeryHidden
                                                     : model::Visibility::Visible;
    if (entry.id.empty()) {
      // Listed without a part of its own: a module of macros, not a worksheet.
      sheet.type = model::SheetType::Module;
      continue;
    }
    auto rel = rels.find(entry.id);
    if (rel == rels.end()) {
      Damaged("sheet \"" + entry.name + "\" names the relationship \"" + entry.id +
              "\", which the workbook's relationships do not hold");
    }
    const std::string_view type = TypeName(rel->second.type);
    sheet.type = type == "chartsheet"    ? model::SheetType::Chart
                 : type == "dialogsheet" ? model::SheetType::Dialog
                 : type == "xlMacrosheet" || type == "xlIntlMacrosheet"
                     ? model::SheetType::Macro
                     : model::SheetType::Worksheet;
    if (sheet.type != model::SheetType::Worksheet) continue;
    if (rel->second.external || Lower(rel->second.target) == Lower(main)) {
      Damaged("sheet \"" + entry.name + "\" does not lead to a sheet part of the package");
    }
    ReadSheet(sheet, rel->second.target, shared);
  }
  if (book_.sheets.empty()) Damaged("the workbook has no sheets");
  ResolveChartReferences(book_);
  return std::move(book_);
}

std::string Reader::MainPart() const {
  const Relationships root = package_.Rels("");
  if (const Relationship* doc = FirstOfType(root, "officeDocument")) return doc->target;
  for (const char* name : {"xl/workbook.xml", "xl/workbook.bin"}) {
    if (package_.Find(name)) return name;
  }
  Damaged("the package names no workbook part");
}

// A part that a relationship names: missing, it is damage.
std::optional<std::vector<uint8_t>> Reader::Named(const std::string& part,
                                                  std::string_view kind) const {
  auto bytes = package_.Read(part);
  if (!bytes) Damaged("the " + std::string(kind) + " part " + part + " is missing");
  return bytes;
}

}  // namespace parts

namespace {

using model::ReadError;
using parts::Damaged;
using parts::Inner;

constexpr const char* kWrongPassword =
    "The workbook is password-protected and the password did not open it";

}  // namespace

bool IsSpreadsheetML(const container::Zip& zip) {
  const auto* types = zip.Find("[Content_Types].xml");
  if (types == nullptr || types->size > (uint64_t{16} << 20)) return false;
  // A content-types part that does not unpack is damage, not a sign of another format.
  const std::vector<uint8_t> bytes = zip.Read(*types);
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  return text.find("spreadsheetml.") != std::string_view::npos ||
         text.find("ms-excel.sheet") != std::string_view::npos ||
         text.find("ms-excel.template") != std::string_view::npos;
}

model::Workbook ReadWorkbook(const container::Zip& zip) { return parts::Reader(zip).Read(); }

model::Workbook ReadEncryptedWorkbook(const container::CompoundFile& file,
                                      const std::string& password) {
  std::vector<uint8_t> info, package;
  try {
    info = file.ReadStream("EncryptionInfo");
    if (file.StreamSize("EncryptedPackage") > model::kMaxStreamBytes) {
      throw ReadError("The workbook is too large: its encrypted package is larger than " +
                      std::to_string(model::kMaxStreamBytes >> 20) + " MB");
    }
    package = file.ReadStream("EncryptedPackage");
  } catch (const container::ContainerError& e) {
    Damaged(Inner(e.what()));
  }
  std::vector<uint8_t> plain;
  if (!DecryptPackage(info, package, kDefaultPassword, plain) &&
      (password.empty() || !DecryptPackage(info, package, password, plain))) {
    throw model::PasswordError(kWrongPassword);
  }
  package.clear();
  package.shrink_to_fit();
  try {
    const container::Zip zip(plain);
    if (!IsSpreadsheetML(zip)) {
      throw ReadError("Not a workbook: the file is an encrypted package that holds no workbook");
    }
    return ReadWorkbook(zip);
  } catch (const container::ContainerError& e) {
    Damaged("the decrypted package: " + Inner(e.what()));
  }
}

model::Workbook ReadWorkbookBytes(std::span<const uint8_t> bytes, const std::string& password) {
  try {
    if (container::CompoundFile::IsCompoundFile(bytes)) {
      const container::CompoundFile file(bytes);
      if (container::ContentOf(file) != container::CompoundContent::EncryptedPackage) {
        throw ReadError(container::NotAWorkbook(container::ContentOf(file)));
      }
      return ReadEncryptedWorkbook(file, password);
    }
    const container::Zip zip(bytes);
    if (!IsSpreadsheetML(zip)) throw ReadError(container::NotAWorkbook(bytes));
    return ReadWorkbook(zip);
  } catch (const container::ContainerError& e) {
    Damaged(Inner(e.what()));
  }
}

}  // namespace quillane::ooxml
