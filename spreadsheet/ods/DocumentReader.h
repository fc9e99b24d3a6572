// The pieces of the OpenDocument reader, private to spreadsheet/ods: one handler reads the
// documents of a spreadsheet (styles.xml, content.xml, or a flat document). Its styles are read in
// Styles.cpp, its tables, columns and rows in Tables.cpp, its cells and their text in Cells.cpp,
// its pictures in Pictures.cpp; OdsReader.cpp holds the event dispatch and the package around it.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "spreadsheet/format/DateSerial.h"
#include "spreadsheet/model/Limits.h"
#include "spreadsheet/model/Workbook.h"
#include "spreadsheet/ods/OdsReader.h"
#include "spreadsheet/ods/Namespaces.h"
#include "spreadsheet/xml/Xml.h"

namespace quillane::ods::parts {

using model::Cell;
using model::CellStyle;
using model::CellType;
using model::Color;
using model::Font;
using model::Sheet;

[[noreturn]] void Damaged(const std::string& what);

// ---- Values of attributes (Cells.cpp).

// `s` without the spaces and quotes around it (a font family).
std::string_view Trim(std::string_view s);
// A finite number at the start of `s` (leading spaces and a plus sign allowed).
bool ParseDouble(std::string_view s, double& value);
// A repeat or span count: at least 1, at most `limit`.
uint64_t Count(std::string_view s, uint64_t limit);
// A length ("0.889in", "2.258cm", "10pt") in points; nothing for other forms.
std::optional<double> Points(std::string_view s);
// "Sheet1.B3" / "'My sheet'.$B$3" -> the 0-based row and column of the cell.
bool ParseCellAddress(std::string_view address, uint32_t& row, uint16_t& col);

// The bytes of base64 text (a picture inside the document; Pictures.cpp).
std::vector<uint8_t> DecodeBase64(std::string_view text);

// The properties of a style, flattened: "fo:background-color" -> "#ffcc00", from all its
// property elements.
using Properties = std::unordered_map<std::string, std::string>;

struct StyleDef {
  std::string parent;
  std::string dataStyle;
  Properties properties;
};

// A picture anchored to a cell, placed once the sheet's widths and heights are known.
struct PendingPicture {
  uint32_t row = 0;
  uint16_t col = 0;
  double x = 0, y = 0, width = 0, height = 0;  // points
  bool hasEnd = false;
  uint32_t endRow = 0;
  uint16_t endCol = 0;
  double endX = 0, endY = 0;
  uint32_t blip = 0;
  std::string name;
};

struct RowRun {
  uint64_t first, last;
  model::RowInfo info;
};

struct ColumnDefault {
  uint16_t first, last;
  std::string style;
};

class DocumentReader final : public xml::Handler {
 public:
  DocumentReader(model::Workbook& book, const PartReader* parts,
                 const PictureReader* pictures = nullptr)
      : book_(book), parts_(parts), pictures_(pictures) {}

  // The size of the document about to be read: each table makes room for as many cells as a
  // document of that size can hold at most in plain cells, once, instead of growing step by
  // step (the room a table does not use is given back at its end).
  void ExpectBytes(uint64_t bytes) {
    expectedCells_ = static_cast<size_t>(std::min<uint64_t>(bytes / 64, model::kMaxSheetCells));
  }
  // The size of the file read: the cells it may stand for are bounded by it.
  void FileBytes(uint64_t bytes) { cellBudget_ = model::CellBudget(bytes); }

  // Reads one document (styles.xml, content.xml or a flat document).
  void Read(std::span<const uint8_t> document, std::string_view what) {
    Check(xml::Parse(document, *this, kNamespaces), what);
  }

  // The outcome of a document parsed in pieces.
  static void Check(const std::string& error, std::string_view what) {
    if (!error.empty()) Damaged(std::string(what) + " is not well-formed XML: " + error);
  }

  bool SawDocument() const { return sawRoot_; }
  bool SawSpreadsheet() const { return sawSpreadsheet_; }

  void Start(std::string_view name, const xml::Attrs& attributes) override;

  void End(std::string_view name) override;

  void Text(std::string_view text) override;

 private:
  enum class TextTarget { None, Cell, Annotation, Author, Binary };

  // ---- styles

  void KeepStyle(xml::Node node);

  const StyleDef* FindStyle(std::string_view family, std::string_view name) const {
    auto it = styles_.find(std::string(family) + '\x1f' + std::string(name));
    return it == styles_.end() ? nullptr : &it->second;
  }

  // The properties of a style with its parents' and the family's default under them; the data
  // style is the nearest one named.
  Properties Resolve(std::string_view family, std::string_view name, std::string* dataStyle,
                     bool withDefault = true) const;

  static std::string_view Get(const Properties& p, const char* key) {
    auto it = p.find(key);
    return it == p.end() ? std::string_view() : std::string_view(it->second);
  }

  uint16_t FontIndex(const Properties& p);

  static model::Border ParseBorder(std::string_view value);

  CellStyle MakeCellStyle(const Properties& p, const std::string& dataStyle);

  std::string NumberFormat(const std::string& dataStyle);

  // The model's style of a cell style name (the family's default for an empty name).
  uint16_t CellStyleIndex(const std::string& name);

  // A style like `style` with a number format of its own (for values whose style shows them as
  // plain numbers), or wrapping its text (for text of several lines, which is shown on as many).
  uint16_t Derived(uint16_t style, const char* format, bool wrap);
  uint16_t WithFormat(uint16_t style, const char* format) { return Derived(style, format, false); }

  // Makes the default font and style (index 0) before any other.
  void EnsureDefaults();

  // ---- tables

  void BeginTable(std::span<const xml::Attribute> attributes);

  static uint16_t Twips(double points) {
    return static_cast<uint16_t>(std::clamp(std::lround(points * 20), 0L, 8192L));
  }

  int DigitWidth() const {
    const int mdw = static_cast<int>(std::lround(0.556 * book_.FontOf(0).height / 15.0));
    return std::clamp(mdw, 1, 100);
  }

  // A width in points as 1/256 of the default font's digit width.
  uint16_t ColumnUnits(double points) const {
    const double pixels = points * 96 / 72;
    return static_cast<uint16_t>(std::clamp(std::lround(pixels * 256 / DigitWidth()), 1L, 65535L));
  }

  Sheet& CurrentSheet() { return book_.sheets.back(); }

  void TableStart(std::string_view name, std::span<const xml::Attribute> attributes);

  void TableEnd(std::string_view name);

  // ---- rich text: text spans of a cell's paragraphs

  // Notes where the spans open around the text change: from this code point of the cell's text
  // on, the open spans are these.
  void MarkRun();

  // The font of text in spans `key` (style names, outermost first) of a cell of style `cellStyle`:
  // the cell's font with each span's text properties over it.
  uint16_t SpanFont(const std::string& cellStyle, const std::string& key);

  // The runs of the cell's text, when spans change its font somewhere.
  std::vector<model::TextRun> CellRuns(const std::string& cellStyle, uint16_t cellFont,
                                       const std::string& text);

  void Column(std::span<const xml::Attribute> attributes);

  const std::string& ColumnDefaultStyle(uint64_t col) const;

  void BeginRow(std::span<const xml::Attribute> attributes);

  void EndRow();

  // A format repeated from some column to the grid's last one (as a row formatted whole is
  // written) is the row's own format, not thousands of blank cells; the positions before it that
  // have no cell keep their own format as cells of their own.
  void FormatToTheEnd();

  // The row formats: kept row by row up to a little past the last row in use (pictures may reach
  // further down); the run past that becomes the sheet's default. Long runs of formatted empty
  // rows, which end most tables, so cost nothing.
  void KeepRowFormats();

  void BeginCell(std::string_view name, std::span<const xml::Attribute> attributes);

  void EndCell();

  // Days from 1970-01-01 as the serial number of the workbook's date system.
  double Serial(double days) const { return format::SerialOfDays(days, book_.date1904); }

  void AddLink(Sheet& sheet, uint32_t row, uint16_t col, const std::string& href,
               const std::string& text);

  // ---- pictures

  struct Frame {
    PendingPicture picture;
    std::string href;
    std::vector<uint8_t> binary;
  };

  void BeginFrame(std::span<const xml::Attribute> attributes);

  void EndFrame();

  double ColumnPoints(uint16_t col) const;
  double RowPoints(uint32_t row) const;

  // Walks `offset` points right (down) from a column (row): the place and the rest in 1/1024
  // (1/256) of the last one.
  template <typename Index, typename Size>
  void Walk(Index& index, double offset, Index max, Size size, uint16_t& fraction, int units);

  void PlacePictures();

  void EndTable();

  model::Workbook& book_;
  const PartReader* parts_;
  const PictureReader* pictures_;
  size_t expectedCells_ = 0;
  bool sawRoot_ = false, sawSpreadsheet_ = false;
  std::string root_;

  // styles
  bool inStyles_ = false, capture_ = false;
  xml::TreeBuilder tree_;
  std::unordered_map<std::string, std::pair<std::string, std::string>>
      fontFaces_;  // family, generic
  std::unordered_map<std::string, xml::Node> dataStyles_;
  std::unordered_map<std::string, StyleDef> styles_, defaults_;
  std::unordered_map<std::string, std::string> formats_;
  std::unordered_map<std::string, uint16_t> cellStyles_;
  std::map<std::pair<uint16_t, std::string>, uint16_t> derived_;

  // tables
  bool inTable_ = false;
  int tableDepth_ = 0, nested_ = 0;
  uint64_t row_ = 0, col_ = 0, nextColumn_ = 0, rowRepeat_ = 1, cellRepeat_ = 1;
  uint64_t cellCount_ = 0;
  size_t cellBudget_ = model::kMaxWorkbookCells;  // cells of the whole workbook
  size_t pictureCount_ = 0;
  std::vector<ColumnDefault> columnDefaults_;
  std::string rowDefaultStyle_;
  model::RowInfo rowInfo_;
  std::vector<RowRun> rowRuns_;
  bool rowHasInfo_ = false;
  std::vector<Cell> rowCells_;    // values of the row being read
  std::vector<Cell> rowFormats_;  // blank cells kept for their format

  // the cell being read
  bool inCell_ = false, coveredCell_ = false, inParagraph_ = false, hasText_ = false;
  bool inShapes_ = false, inLink_ = false, inAnnotation_ = false, inFrame_ = false;
  int frameDepth_ = 0;
  size_t paragraphs_ = 0, annotationParagraphs_ = 0;
  TextTarget textTarget_ = TextTarget::None;
  struct CellAttributes {
    std::string style, type, value, date, time, boolean, string, calcType, spanCols, spanRows;
    bool hasString = false, formula = false;
  } cell_;
  std::string cellText_, linkHref_, linkText_, annotationText_, annotationAuthor_, binary_;
  std::vector<std::pair<std::string, std::string>> links_;  // href, text
  std::vector<std::string> spans_;                          // the open text spans' styles
  std::vector<std::pair<uint32_t, std::string>> runMarks_;  // see MarkRun
  std::unordered_map<std::string, uint16_t> spanFonts_;
  Frame frame_;
  std::vector<PendingPicture> pending_;
  std::unordered_map<std::string, uint32_t> blipOfPart_;
};

}  // namespace quillane::ods::parts
