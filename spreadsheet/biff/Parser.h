// The reader of the .xls family inside: one Parser walks a workbook stream once, record by record,
// and fills the model. Private to spreadsheet/biff (the public entry is WorkbookReader.h).
//
// Its work is spread over these files along the lines of the stream:
//   RecordWalk.cpp     the order of substreams (globals, then each sheet), CONTINUE records, the
//                      hand-over to decryption, and Handle, which only routes a record to its
//                      handler;
//   Globals.cpp        workbook-wide records: code page, date mode, FONT, FORMAT, XF, PALETTE,
//                      BOUNDSHEET, SST, the drawing group; the styles made from them at the end;
//   SheetRecords.cpp   the records of one sheet: cells, rows, columns, merges, window and panes,
//                      notes, links, drawings; the sheet made whole at its EOF;
//   Charts*.cpp        the chart substreams embedded in a sheet (ChartsReader.h): the reader's
//                      blocks and end (Charts.cpp), its records by group (ChartsRecords.cpp),
//                      formats and texts (ChartsFormats.cpp); the chart objects, the sheet
//                      references of their series and their places (ChartsPlace.cpp).
//   CondFormats.cpp    the sheet's conditional formats.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "spreadsheet/biff/Decryptor.h"
#include "spreadsheet/biff/Records.h"
#include "spreadsheet/biff/Text.h"
#include "spreadsheet/model/Limits.h"
#include "spreadsheet/model/ReadError.h"
#include "spreadsheet/model/Workbook.h"

namespace quillane::biff::reader {

using model::Cell;
using model::CellStyle;
using model::CellType;
using model::ReadError;
using model::Sheet;
using model::XfRecord;

[[noreturn]] inline void Damaged(const std::string& what) {
  throw ReadError("The workbook is damaged: " + what);
}

inline bool IsBofId(uint16_t id) {
  return id == rec::kBof || id == rec::kBof2 || id == rec::kBof3 || id == rec::kBof4;
}

inline model::HAlign HAlignOf(unsigned v) {
  return v <= 7 ? static_cast<model::HAlign>(v) : model::HAlign::General;
}
inline model::VAlign VAlignOf(unsigned v) {
  return v <= 4 ? static_cast<model::VAlign>(v) : model::VAlign::Bottom;
}

// Formatting runs count UTF-16 code units; the model counts code points. They differ only for
// text with characters beyond U+FFFF (4-byte UTF-8 sequences).
void RunsToCodePoints(const std::string& text, std::vector<model::TextRun>& runs);

// The state of one substream (the globals, or one sheet) while its records are read.
struct Substream {
  Sheet* sheet = nullptr;
  int64_t pendingString = -1;  // cell waiting for the STRING record of its formula
  uint16_t ixfe = 0;           // BIFF2: the XF index for the next cell record
  bool frozen = false;
  uint16_t paneCols = 0, paneRows = 0;
  std::vector<uint8_t> drawing;  // the sheet's MSODRAWING data, joined
  uint16_t lastObjId = 0;
  std::unordered_map<uint16_t, std::string> objectText;  // TXO text by object id
  struct Note {
    uint32_t row;
    uint16_t col;
    uint16_t object;
    std::string author;
  };
  std::vector<Note> notes;
  int64_t lastComment = -1;  // BIFF2-7: the comment a continued NOTE record extends
  // BIFF4 workbooks: a sheet with its own formatting records numbers them from these bases.
  bool ownFonts = false, ownFormats = false, ownStyles = false;
  uint16_t fontBase = 0, formatBase = 0, styleBase = 0;
  uint16_t fontCount = 0, formatCount = 0;
  std::unordered_map<uint32_t, uint16_t> biff2Styles;  // cell attributes -> style index
  // Embedded charts: the chart object waiting for its substream, and the charts read, each with
  // where its shape lies in `drawing` (or its own anchor in the older formats).
  struct ChartPlace {
    size_t from = 0, to = 0;  // the drawing data between the object before and this one
    bool anchored = false;
    model::Anchor anchor;
  };
  size_t objectDrawingEnd = 0;  // `drawing`'s size at the last OBJ record
  bool chartObject = false;
  ChartPlace chartPlace;
  std::vector<std::pair<model::Chart, ChartPlace>> charts;
  // Conditional formats: the block the CF records that follow belong to, and the first cell of
  // its bounding range (relative references count from it).
  int64_t condFormat = -1;
  uint32_t cfBaseRow = 0, cfBaseCol = 0, cfPriority = 0;
};

struct SheetEntry {
  uint32_t offset = 0;
  uint8_t visibility = 0;
  uint8_t type = 0;
  std::string name;
};

class Parser {
  friend class ChartReader;

 public:
  Parser(std::vector<uint8_t> stream, const std::string& password, bool compound,
         bool bookStream = false)
      : s_(std::move(stream)), password_(password), compound_(compound), bookStream_(bookStream) {}

  model::Workbook Run(const std::string& singleSheetName);

 private:
  // The walk (RecordWalk.cpp).
  void ReadVersion();
  model::Workbook RunSingleSheet(const std::string& name, uint16_t type);
  void ReadSheets(size_t next);
  size_t ReadSubstream(size_t pos, Substream& st);
  size_t SkipSubstream(size_t pos);
  void Handle(uint16_t id, std::span<const uint8_t> data, size_t next, Substream& st);
  bool HandleGlobal(uint16_t id, std::span<const uint8_t> data, size_t next, Substream& st);
  void HandleSheet(uint16_t id, std::span<const uint8_t> data, size_t next, Substream& st);
  std::vector<std::span<const uint8_t>> Continues(size_t next) const;
  // The record and its CONTINUE records after `next`, joined.
  void AppendContinued(std::vector<uint8_t>& out, std::span<const uint8_t> data, size_t next) const;
  void DecryptFrom(size_t pos);

  // Workbook-wide records (Globals.cpp). Those of a BIFF4 workbook may also come inside a sheet.
  void OnFilePass(std::span<const uint8_t> data, size_t next);
  void OnCodepage(ByteReader r);
  void OnFont(uint16_t id, ByteReader r, Substream& st);
  void OnFontColor2(ByteReader r);
  void OnFormat(uint16_t id, ByteReader r, Substream& st);
  void OnXf(uint16_t id, ByteReader r, Substream& st);
  void ReadXf58(ByteReader& r, XfRecord& xf);
  void OnPalette(ByteReader r);
  void OnBoundSheet(ByteReader r, Substream& st);
  void OnSst(std::span<const uint8_t> data, size_t next);
  uint16_t Biff2Style(Substream& st, const uint8_t* attr);
  void FinishStyles();

  // Sheet records (SheetRecords.cpp).
  void OnNumber(ByteReader r, Substream& st);
  void OnRk(ByteReader r, Substream& st);
  void OnMulRk(std::span<const uint8_t> data, Substream& st);
  void OnBlank(ByteReader r, Substream& st);
  void OnMulBlank(std::span<const uint8_t> data, Substream& st);
  void OnLabelSst(ByteReader r, Substream& st);
  void OnLabel(uint16_t id, ByteReader r, Substream& st);
  void OnBoolErr(ByteReader r, Substream& st);
  void OnFormula(uint16_t id, ByteReader r, Substream& st);
  void OnString(uint16_t id, std::span<const uint8_t> data, size_t next, Substream& st);
  void OnBiff2Cell(uint16_t id, ByteReader r, Substream& st);
  void OnDimensions(uint16_t id, std::span<const uint8_t> data, Substream& st);
  void OnRow(uint16_t id, ByteReader r, Substream& st);
  void OnDefaultRowHeight(uint16_t id, ByteReader r, Substream& st);
  void OnColInfo(ByteReader r, Substream& st);
  void OnColWidth2(ByteReader r, Substream& st);
  void OnMergedCells(ByteReader r, Substream& st);
  void OnWindow2(uint16_t id, ByteReader r, Substream& st);
  void OnPane(ByteReader r, Substream& st);
  void OnWsBool(ByteReader r, Substream& st);
  void OnObj(ByteReader r, Substream& st);
  void OnNote(ByteReader r, Substream& st);
  void OnTxo(std::span<const uint8_t> data, size_t next, Substream& st);
  void OnHlink(ByteReader r, Substream& st);
  void OnTooltip(ByteReader r, Substream& st);
  void FinishSheet(Substream& st);

  // Embedded charts (ChartsPlace.cpp).
  void OnExternSheet(std::span<const uint8_t> data, size_t next);
  void OnSupBook(ByteReader r);
  void NoteObject(Substream& st, uint16_t type, const model::Anchor* anchor);
  void OnObj5(ByteReader r, Substream& st);
  size_t ReadEmbedded(size_t pos, Substream& st);
  void PlaceCharts(Substream& st);
  // Conditional formats (CondFormats.cpp): CONDFMT and CONDFMT12 open a block, CF and CF12 add
  // its rules.
  void OnCondFmt(uint16_t id, ByteReader r, Substream& st);
  void OnCf(uint16_t id, ByteReader r, Substream& st);

  // A cell past the grid of the file format is damage: it is left out (the caller fills a
  // scratch cell). Throws ReadError past the limits on cells per sheet and per workbook.
  Cell& AddCell(Substream& st, uint32_t row, uint16_t col, uint16_t style) {
    st.pendingString = -1;
    if (row > maxRow_ || col > model::kMaxColumn) {
      dropped_ = Cell();
      return dropped_;
    }
    if (st.sheet->cells.size() >= model::kMaxSheetCells) {
      throw ReadError("The workbook is too large: sheet \"" + st.sheet->name +
                      "\" holds more than " + std::to_string(model::kMaxSheetCells) +
                      " cells, the most a sheet may have");
    }
    if (++cellCount_ > model::kMaxWorkbookCells) {
      throw ReadError("The workbook is too large: its sheets hold more than " +
                      std::to_string(model::kMaxWorkbookCells) +
                      " cells, the most a workbook may have");
    }
    Cell& cell = st.sheet->cells.emplace_back();
    cell.row = row;
    cell.col = col;
    cell.style = style;
    return cell;
  }
  uint16_t CellStyleIndex(const Substream& st, uint16_t xf) const {
    return st.ownStyles ? static_cast<uint16_t>(st.styleBase + xf) : xf;
  }
  // Cuts a range at the edge of the format's grid; false when it is empty or starts past it.
  bool ClipToGrid(model::Range& range) const {
    if (range.firstRow > range.lastRow || range.firstCol > range.lastCol) return false;
    if (range.firstRow > maxRow_ || range.firstCol > model::kMaxColumn) return false;
    range.lastRow = std::min(range.lastRow, maxRow_);
    range.lastCol = std::min(range.lastCol, model::kMaxColumn);
    return true;
  }
  // A range as the records store it: first and last row, first and last column.
  static model::Range ReadRange(ByteReader& r) {
    model::Range range;
    range.firstRow = r.U16();
    range.lastRow = r.U16();
    range.firstCol = r.U16();
    range.lastCol = r.U16();
    return range;
  }
  // Strings of the record formats.
  std::string Bytes8(const uint8_t* p, size_t n) { return text_.Decode(p, n); }
  std::string ByteString8(ByteReader& r) {  // 8-bit length
    size_t n = r.U8();
    return Bytes8(r.Bytes(n), n);
  }
  std::string ByteString16(ByteReader& r) {  // 16-bit length
    size_t n = r.U16();
    return Bytes8(r.Bytes(n), n);
  }
  // BIFF8 string: `count` characters after an option byte.
  std::string Unicode(ByteReader& r, size_t count, std::vector<model::TextRun>* runs = nullptr);
  std::string UnicodeShort(ByteReader& r) { return Unicode(r, r.U8()); }
  std::string UnicodeLong(ByteReader& r) { return Unicode(r, r.U16()); }
  std::string Utf16(ByteReader& r, size_t units);

  std::vector<uint8_t> s_;
  std::string password_;
  bool compound_;
  bool bookStream_;  // the compound file's stream is "Book" (BIFF5/7), not "Workbook"
  model::Workbook book_;
  int version_ = 8;
  CodepageDecoder text_;
  std::unique_ptr<Decryptor> decryptor_;
  std::vector<SheetEntry> entries_;
  bool haveSst_ = false;
  uint32_t sstBase_ = 0, sstCount_ = 0;
  std::vector<uint8_t> drawingGroup_;
  uint16_t globalFontCount_ = 0;
  uint32_t maxRow_ = model::kMaxRowBiff8;  // the last row of the format's grid
  size_t cellCount_ = 0;                   // cells of all sheets so far
  Cell dropped_;                           // where a cell past the grid goes
  // The sheets that 3-D references name: BIFF8 through SUPBOOK and EXTERNSHEET (-1: not of this
  // workbook), BIFF5/7 through the EXTERNSHEET names of the workbook's own sheets.
  std::vector<bool> ownSupBook_;
  std::vector<int32_t> externSheets_;
  std::vector<std::string> externNames_;
  // Cached chart values still allowed in the whole workbook: one per byte of the stream and 1M.
  size_t chartPointBudget_ = s_.size() + (1u << 20);
};

}  // namespace quillane::biff::reader
