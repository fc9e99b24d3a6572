// The workbook model: what every reader fills and the page publisher reads.
//
// It belongs to no file format. Colours are RGB values (or "automatic"), number formats are
// format codes, cells and rich-text runs name styles and fonts by their place in the model's own
// tables (`Workbook::styles`, `Workbook::fonts`). What only one reader needs to know of its
// source, such as the .xls reader's version, code page and palette indexes, is kept in a
// sub-structure of its own (`Workbook::biff`) that the publisher never reads. Text is UTF-8
// throughout; every size says its unit.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "spreadsheet/model/Basics.h"
#include "spreadsheet/model/Chart.h"
#include "spreadsheet/model/ConditionalFormat.h"
#include "spreadsheet/model/Limits.h"

namespace quillane::model {

// Palette indexes with a fixed meaning in the .xls formats.
inline constexpr uint16_t kColorAutoForeground = 0x40;  // window text
inline constexpr uint16_t kColorAutoBackground = 0x41;  // window background
inline constexpr uint16_t kColorAutoFont = 0x7FFF;      // "automatic" font colour

enum class CellType : uint8_t {
  Blank,    // no value, only a format (BLANK, MULBLANK, formula with an empty result)
  Number,   // `number`
  String,   // `text` indexes Workbook::strings
  Boolean,  // `code` 0 or 1
  Error,    // `code` is the error code (0x07 #DIV/0! ...), see ErrorText
};

struct Cell {
  uint32_t row = 0;    // 0-based
  uint16_t col = 0;    // 0-based
  uint16_t style = 0;  // index into Workbook::styles
  CellType type = CellType::Blank;
  bool formula = false;  // the value is a formula's cached result
  uint8_t code = 0;
  uint32_t text = 0;
  double number = 0;
};

// A run of rich text: from `first` (a code-point offset into the string) on, the text uses `font`.
struct TextRun {
  uint32_t first = 0;
  uint16_t font = 0;
};

enum class HAlign : uint8_t {
  General,
  Left,
  Center,
  Right,
  Fill,
  Justify,
  CenterAcross,
  Distributed
};
enum class VAlign : uint8_t { Top, Center, Bottom, Justify, Distributed };

// The look of a cell.
struct CellStyle {
  uint16_t font = 0;                     // index into Workbook::fonts
  std::string numberFormat = "General";  // the number-format code
  uint16_t parent = 0xFFF;
  bool isStyle = false;  // a style XF rather than a cell XF
  bool locked = true;
  bool hidden = false;
  HAlign hAlign = HAlign::General;
  VAlign vAlign = VAlign::Bottom;
  bool wrap = false;
  bool shrink = false;
  uint8_t indent = 0;
  uint8_t rotation = 0;  // 0-90 up, 91-180 down (90 + degrees), 255 stacked vertically
  Border left, right, top, bottom;
  uint8_t pattern = 0;      // fill pattern: 0 none, 1 solid, 2-18 the patterns
  Color patternColor;       // foreground of the pattern (the solid colour)
  Color patternBackground;  // behind the pattern
};

// An XF record as the .xls formats store it: colours as palette indexes, the number format as
// an index (built-in or BiffSource::formats); the other fields as in CellStyle.
struct XfRecord {
  uint16_t font = 0;
  uint16_t format = 0;
  uint16_t parent = 0xFFF;
  bool isStyle = false;
  bool locked = true;
  bool hidden = false;
  HAlign hAlign = HAlign::General;
  VAlign vAlign = VAlign::Bottom;
  bool wrap = false;
  bool shrink = false;
  uint8_t indent = 0;
  uint8_t rotation = 0;
  struct Line {
    uint8_t style = 0;
    uint16_t color = kColorAutoForeground;
  };
  Line left, right, top, bottom;
  uint8_t pattern = 0;
  uint16_t patternColor = kColorAutoForeground;
  uint16_t patternBackground = kColorAutoBackground;
};

// What the .xls reader keeps of its source. The publisher never reads it.
struct BiffSource {
  int version = 8;                          // 2, 3, 4, 5 (also BIFF7) or 8
  uint16_t codepage = 1252;                 // of the 8-bit texts
  std::map<uint16_t, std::string> formats;  // custom number formats by index (FORMAT records)
  std::vector<XfRecord> xfs;                // XF records, one per Workbook::styles entry
  std::vector<uint16_t> fontColors;         // palette index of the colour of each font
  std::vector<std::string> chartsLeftOut;   // why each embedded chart not read was left out
};

struct ColumnInfo {
  uint16_t first = 0, last = 0;  // inclusive, 0-based
  uint16_t width = 0;            // in 1/256 of the width of the default font's zero digit
  uint16_t style = 0;
  bool hidden = false;
  uint8_t outlineLevel = 0;
};

struct RowInfo {
  uint16_t height = 255;  // twips
  bool hidden = false;
  bool customHeight = false;  // the height was set by hand (not fitted to the contents)
  bool hasStyle = false;      // `style` formats the whole row
  uint16_t style = 0;
};

enum class LinkKind : uint8_t { Url, File, Place };

struct Hyperlink {
  Range range;
  LinkKind kind = LinkKind::Url;
  std::string target;       // URL or file path; empty for a place in the workbook
  std::string location;     // text mark: "Sheet2!A1", a name, or the part after '#'
  std::string description;  // the text shown, when the file holds one
  std::string tooltip;
};

struct Comment {
  uint32_t row = 0;
  uint16_t col = 0;
  std::string author;
  std::string text;
};

enum class BlipType : uint8_t { Unknown, Emf, Wmf, Pict, Jpeg, Png, Dib, Tiff };

// The kind of a picture told from its first bytes (64 are enough); a DIB is a bitmap file with
// its 14-byte header.
BlipType BlipTypeOf(std::span<const uint8_t> head);

// The code of an error value from its text ("#DIV/0!" 0x07), or nothing for another text.
std::optional<uint8_t> ErrorCodeOf(std::string_view text);

// Receives bytes piece by piece, in order.
using ByteSink = std::function<void(std::span<const uint8_t> piece)>;

// A picture's bytes from the workbook's picture store. For Dib, the bytes are the DIB as stored
// (BITMAPINFOHEADER and pixels, no file header). They are held in `data`, or, for pictures of a
// package, left packed in the workbook and unpacked by `unpack` when their page is written, so
// a workbook of many large pictures holds none of them whole.
struct Blip {
  BlipType type = BlipType::Unknown;
  std::vector<uint8_t> data;
  // Hands the packed picture's bytes to a sink; throws when they turn out damaged. The first
  // `skip` of them are not the picture's (a file header), and `size` counts the rest.
  std::function<void(const ByteSink&)> unpack;
  uint32_t skip = 0;
  uint64_t size = 0;

  uint64_t Size() const { return unpack ? size : data.size(); }
  // The bytes, from `data` or unpacked, whole or piece by piece.
  void BytesTo(const ByteSink& sink) const;
  std::vector<uint8_t> Bytes() const;
};

// A picture of the drawing layer anchored to cells. Offsets are in the file's units: dx in
// 1/1024 of the column's width, dy in 1/256 of the row's height.
struct Picture {
  uint32_t blip = 0;  // index into Workbook::blips
  uint16_t col1 = 0, dx1 = 0;
  uint32_t row1 = 0;
  uint16_t dy1 = 0;
  uint16_t col2 = 0, dx2 = 0;
  uint32_t row2 = 0;
  uint16_t dy2 = 0;
  std::string name;
};

enum class SheetType : uint8_t { Worksheet, Chart, Macro, Module, Dialog };
enum class Visibility : uint8_t { Visible, Hidden, VeryHidden };

struct Sheet {
  std::string name;
  SheetType type = SheetType::Worksheet;
  Visibility visibility = Visibility::Visible;

  // Sorted by (row, col), one cell per position, once the reader calls Normalize().
  std::vector<Cell> cells;
  std::map<uint32_t, RowInfo> rows;  // rows with a ROW record
  std::vector<ColumnInfo> columns;   // COLINFO ranges, sorted, not overlapping
  uint16_t defaultColWidth = 8;      // DEFCOLWIDTH, in characters
  uint16_t standardWidth = 0;        // STANDARDWIDTH in 1/256 characters; 0 when absent
  uint16_t defaultRowHeight = 255;   // DEFAULTROWHEIGHT, twips
  bool defaultRowsHidden = false;
  Range dimensions;  // DIMENSIONS (inclusive; empty sheet: hasDimensions false)
  bool hasDimensions = false;

  std::vector<Range> merged;
  std::vector<Hyperlink> hyperlinks;
  std::vector<Comment> comments;
  std::vector<Picture> pictures;
  std::vector<Chart> charts;  // embedded charts, in drawing order
  std::vector<ConditionalFormat> conditionalFormats;
  std::map<std::string, uint32_t> conditionalRulesLeftOut;  // rules not kept, by reason

  bool showGridlines = true;
  uint32_t frozenRows = 0;
  uint16_t frozenCols = 0;

  // Sorts the cells by position; of two cells at one position the later one stays.
  void Normalize();
  // The cell at a position, or nullptr. Needs Normalize() first.
  const Cell* Find(uint32_t row, uint16_t col) const;
  // Width of a column in 1/256 characters: its COLINFO width, else STANDARDWIDTH, else
  // DEFCOLWIDTH characters. The last leaves out the cell padding the application adds to default
  // columns, which depends on the default font: the page works that out itself.
  uint32_t ColumnWidth(uint16_t col) const;
  bool ColumnHidden(uint16_t col) const;
  // Height of a row in twips and whether it is hidden.
  uint16_t RowHeight(uint32_t row) const;
  bool RowHidden(uint32_t row) const;
};

// What an index out of range stands for.
inline const CellStyle kFallbackStyle{};
inline const Font kFallbackFont{};

struct Workbook {
  // The size of the file the workbook was read from (0 when read from bytes): what it may write
  // is bounded by it.
  uint64_t fileBytes = 0;

  bool date1904 = false;  // dates count days from 1904-01-01 instead of 1900-01-00
  // The last row and column of the file format's grid (0-based). Readers leave out what lies
  // past it, and the page never grows past it.
  uint32_t lastGridRow = kMaxRowBiff8;
  uint16_t lastGridColumn = kMaxColumn;

  std::vector<Font> fonts;
  std::vector<CellStyle> styles;
  // The numbered colours that number-format tags ([Red], [Color12]) name: 0-7 fixed, 8-63 these
  // (0xRRGGBB), which a workbook may change.
  std::array<uint32_t, 56> palette{};
  std::vector<std::string> strings;  // shared strings and every other cell text
  std::unordered_map<uint32_t, std::vector<TextRun>> richText;  // by string index
  std::vector<Sheet> sheets;                                    // in workbook order, every type
  std::vector<Blip> blips;

  BiffSource biff;  // filled by the .xls reader only

  Workbook();  // the default palette, no fonts or styles

  // Colour number `index` as 0xRRGGBB: 0-7 the fixed colours, 8-63 the palette; the automatic
  // and system numbers give `fallback`.
  uint32_t ColorRgb(uint16_t index, uint32_t fallback) const;
  // The same as a colour value: automatic for the automatic and system numbers.
  Color IndexedColor(uint16_t index) const;
  // The style of a cell, or a default style when the index is out of range (asked for every
  // cell of a page, hence here).
  const CellStyle& Style(uint16_t index) const {
    return index < styles.size() ? styles[index] : kFallbackStyle;
  }
  // The font of a style, or a default font when the index is out of range.
  const Font& FontOf(uint16_t fontIndex) const {
    return fontIndex < fonts.size() ? fonts[fontIndex] : kFallbackFont;
  }
  // Adds a string and returns its index.
  uint32_t AddString(std::string text);
};

// The default colours 8..63 of the palette.
const std::array<uint32_t, 56>& DefaultPalette();
// The display text of an error code ("#DIV/0!" ...); "#N/A" for unknown codes.
std::string_view ErrorText(uint8_t code);

}  // namespace quillane::model
