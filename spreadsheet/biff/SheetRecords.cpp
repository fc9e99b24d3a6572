// The records of one sheet: cells, rows, columns, merged ranges, window and panes, notes (with
// their TXO text), hyperlinks and drawings.
//
// Order of work: the handlers fill the sheet as its records come; FinishSheet, at the sheet's EOF,
// joins what the format spreads over several records (the panes that WINDOW2 says are frozen, the
// BIFF8 notes and the text of their objects, the pictures of the drawing) and sorts the sheet.
// Invariants: every cell, range, note, link and picture lies inside the grid of the file's version
// (past it is damage and left out or cut at the edge); column ranges end sorted and apart.
// Bounds: the cells per sheet and per workbook of model/Limits.h (AddCell throws past them).
#include <algorithm>
#include <cstring>

#include "spreadsheet/biff/Drawing.h"
#include "spreadsheet/biff/Parser.h"

namespace quillane::biff::reader {

namespace {

double RkValue(uint32_t rk) {
  double value;
  if (rk & 2) {
    value = static_cast<double>(static_cast<int32_t>(rk) >> 2);
  } else {
    uint64_t bits = static_cast<uint64_t>(rk & 0xFFFFFFFCu) << 32;
    std::memcpy(&value, &bits, sizeof value);
  }
  if (rk & 1) value /= 100;
  return value;
}

}  // namespace

void Parser::OnNumber(ByteReader r, Substream& st) {
  uint32_t row = r.U16();
  uint16_t col = r.U16();
  uint16_t xf = r.U16();
  Cell& cell = AddCell(st, row, col, CellStyleIndex(st, xf));
  cell.type = CellType::Number;
  cell.number = r.Double();
}

void Parser::OnRk(ByteReader r, Substream& st) {
  uint32_t row = r.U16();
  uint16_t col = r.U16();
  uint16_t xf = r.U16();
  uint32_t rk = r.U32();
  Cell& cell = AddCell(st, row, col, CellStyleIndex(st, xf));
  cell.type = CellType::Number;
  cell.number = RkValue(rk);
}

void Parser::OnMulRk(std::span<const uint8_t> data, Substream& st) {
  ByteReader r(data);
  uint32_t row = r.U16();
  uint32_t col = r.U16();
  size_t count = data.size() >= 6 ? (data.size() - 6) / 6 : 0;
  for (size_t i = 0; i < count && col <= model::kMaxColumn; ++i, ++col) {
    uint16_t xf = r.U16();
    uint32_t rk = r.U32();
    Cell& cell = AddCell(st, row, static_cast<uint16_t>(col), CellStyleIndex(st, xf));
    cell.type = CellType::Number;
    cell.number = RkValue(rk);
  }
}

void Parser::OnBlank(ByteReader r, Substream& st) {
  uint32_t row = r.U16();
  uint16_t col = r.U16();
  AddCell(st, row, col, CellStyleIndex(st, r.U16()));
}

void Parser::OnMulBlank(std::span<const uint8_t> data, Substream& st) {
  ByteReader r(data);
  uint32_t row = r.U16();
  uint32_t col = r.U16();
  size_t count = data.size() >= 6 ? (data.size() - 6) / 2 : 0;
  for (size_t i = 0; i < count && col <= model::kMaxColumn; ++i, ++col) {
    AddCell(st, row, static_cast<uint16_t>(col), CellStyleIndex(st, r.U16()));
  }
}

void Parser::OnLabelSst(ByteReader r, Substream& st) {
  uint32_t row = r.U16();
  uint16_t col = r.U16();
  uint16_t xf = r.U16();
  uint32_t index = r.U32();
  Cell& cell = AddCell(st, row, col, CellStyleIndex(st, xf));
  if (index < sstCount_) {
    cell.type = CellType::String;
    cell.text = sstBase_ + index;
  }
}

// LABEL and RSTRING: a string of the cell itself, with formatting runs in RSTRING.
void Parser::OnLabel(uint16_t id, ByteReader r, Substream& st) {
  uint32_t row = r.U16();
  uint16_t col = r.U16();
  uint16_t xf = r.U16();
  std::string text;
  std::vector<model::TextRun> runs;
  if (version_ == 8) {
    size_t count = r.U16();
    text = Unicode(r, count);
    if (id == rec::kRString && r.Remaining() >= 2) {
      size_t runCount = r.U16();
      for (size_t i = 0; i < runCount && r.Remaining() >= 4; ++i) {
        uint16_t first = r.U16();
        runs.push_back({first, r.U16()});
      }
    }
  } else {
    text = ByteString16(r);
    if (id == rec::kRString && r.Remaining() >= 1) {
      size_t runCount = r.U8();
      for (size_t i = 0; i < runCount && r.Remaining() >= 2; ++i) {
        uint8_t first = r.U8();
        runs.push_back({first, static_cast<uint16_t>(st.fontBase + r.U8())});
      }
    }
  }
  RunsToCodePoints(text, runs);
  Cell& cell = AddCell(st, row, col, CellStyleIndex(st, xf));
  cell.type = CellType::String;
  cell.text = book_.AddString(std::move(text));
  if (!runs.empty()) book_.richText.emplace(cell.text, std::move(runs));
}

void Parser::OnBoolErr(ByteReader r, Substream& st) {
  uint32_t row = r.U16();
  uint16_t col = r.U16();
  uint16_t xf = r.U16();
  uint8_t value = r.U8();
  uint8_t isError = r.U8();
  Cell& cell = AddCell(st, row, col, CellStyleIndex(st, xf));
  cell.type = isError ? CellType::Error : CellType::Boolean;
  cell.code = isError ? value : (value ? 1 : 0);
}

void Parser::OnFormula(uint16_t id, ByteReader r, Substream& st) {
  uint32_t row = r.U16();
  uint16_t col = r.U16();
  uint16_t style;
  if (id == rec::kFormula && version_ == 2) {
    style = Biff2Style(st, r.Bytes(3));
  } else {
    style = CellStyleIndex(st, r.U16());
  }
  const uint8_t* result = r.Bytes(8);
  Cell& cell = AddCell(st, row, col, style);
  if (&cell == &dropped_) return;
  cell.formula = true;
  if (Le16(result + 6) != 0xFFFF) {
    cell.type = CellType::Number;
    cell.number = LeDouble(result);
    return;
  }
  switch (result[0]) {
    case 0:  // a string: the STRING record that follows holds it
      cell.type = CellType::String;
      cell.text = book_.AddString({});
      st.pendingString = static_cast<int64_t>(st.sheet->cells.size() - 1);
      break;
    case 1:
      cell.type = CellType::Boolean;
      cell.code = result[2] ? 1 : 0;
      break;
    case 2:
      cell.type = CellType::Error;
      cell.code = result[2];
      break;
    default:  // an empty result
      cell.type = CellType::Blank;
      break;
  }
}

// The result of the formula before it, when that is a string.
void Parser::OnString(uint16_t id, std::span<const uint8_t> data, size_t next, Substream& st) {
  Sheet* sheet = st.sheet;
  ByteReader r(data);
  if (st.pendingString < 0) return;
  std::string text;
  if (id == rec::kString2) {
    text = ByteString8(r);
  } else if (version_ == 8) {
    // A long result goes on in CONTINUE records.
    std::vector<std::span<const uint8_t>> pieces = Continues(next);
    pieces.insert(pieces.begin(), data);
    ContinuedReader cr(std::move(pieces));
    size_t count = cr.U16();
    uint8_t flags = cr.U8();
    try {
      cr.Chars(count, flags & 1, text);
    } catch (const ShortRecord&) {
      // keep the characters there are
    }
  } else {
    text = ByteString16(r);
  }
  Cell& cell = sheet->cells[static_cast<size_t>(st.pendingString)];
  book_.strings[cell.text] = std::move(text);
  st.pendingString = -1;
}

// BIFF2 cell records: a 3-byte attribute block in place of the XF index.
void Parser::OnBiff2Cell(uint16_t id, ByteReader r, Substream& st) {
  uint32_t row = r.U16();
  uint16_t col = r.U16();
  const uint8_t* attr = r.Bytes(3);
  uint16_t style = Biff2Style(st, attr);
  if (id == rec::kBlank2) {
    AddCell(st, row, col, style);
  } else if (id == rec::kInteger2) {
    uint16_t value = r.U16();
    Cell& cell = AddCell(st, row, col, style);
    cell.type = CellType::Number;
    cell.number = value;
  } else if (id == rec::kNumber2) {
    double value = r.Double();
    Cell& cell = AddCell(st, row, col, style);
    cell.type = CellType::Number;
    cell.number = value;
  } else if (id == rec::kLabel2) {
    std::string text = ByteString8(r);
    Cell& cell = AddCell(st, row, col, style);
    cell.type = CellType::String;
    cell.text = book_.AddString(std::move(text));
  } else {
    uint8_t value = r.U8();
    uint8_t isError = r.U8();
    Cell& cell = AddCell(st, row, col, style);
    cell.type = isError ? CellType::Error : CellType::Boolean;
    cell.code = isError ? value : (value ? 1 : 0);
  }
}

void Parser::OnDimensions(uint16_t id, std::span<const uint8_t> data, Substream& st) {
  Sheet* sheet = st.sheet;
  ByteReader r(data);
  uint32_t firstRow, lastRow;
  if (version_ == 8 && id == rec::kDimensions && data.size() >= 12) {
    firstRow = r.U32();
    lastRow = r.U32();
  } else {
    firstRow = r.U16();
    lastRow = r.U16();
  }
  uint16_t firstCol = r.U16();
  uint16_t lastCol = r.U16();
  lastRow = std::min(lastRow, maxRow_ + 1);
  lastCol = std::min<uint16_t>(lastCol, model::kMaxColumn + 1);
  sheet->hasDimensions = lastRow > firstRow && lastCol > firstCol;
  if (sheet->hasDimensions) {
    sheet->dimensions = {firstRow, lastRow - 1, firstCol, static_cast<uint16_t>(lastCol - 1)};
  }
}

void Parser::OnRow(uint16_t id, ByteReader r, Substream& st) {
  uint32_t row = r.U16();
  r.Skip(4);
  uint16_t height = r.U16();
  model::RowInfo info;
  info.height = height & 0x7FFF;
  if (id == rec::kRow2) {
    info.customHeight = !(height & 0x8000);
    r.Skip(2);
    uint8_t hasAttributes = r.U8();
    r.Skip(2);
    if (hasAttributes == 1 && r.Remaining() >= 3) {
      info.hasStyle = true;
      info.style = Biff2Style(st, r.Bytes(3));
    }
  } else {
    r.Skip(4);
    uint16_t flags = r.U16();
    uint16_t xf = r.Remaining() >= 2 ? r.U16() : 0;
    info.hidden = flags & 0x20;
    info.customHeight = (flags & 0x40) || (version_ <= 4 && !(height & 0x8000));
    info.hasStyle = flags & 0x80;
    if (info.hasStyle) info.style = CellStyleIndex(st, xf & 0xFFF);
  }
  // Rows come in order: the end is where each goes, found without a search.
  if (row <= maxRow_) st.sheet->rows.insert_or_assign(st.sheet->rows.end(), row, info);
}

void Parser::OnDefaultRowHeight(uint16_t id, ByteReader r, Substream& st) {
  if (id == rec::kDefaultRowHeight2) {
    st.sheet->defaultRowHeight = r.U16() & 0x7FFF;
    return;
  }
  uint16_t flags = r.U16();
  st.sheet->defaultRowHeight = r.U16() & 0x7FFF;
  st.sheet->defaultRowsHidden = flags & 2;
}

void Parser::OnColInfo(ByteReader r, Substream& st) {
  Sheet* sheet = st.sheet;
  model::ColumnInfo info;
  info.first = r.U16();
  info.last = r.U16();
  info.width = r.U16();
  info.style = CellStyleIndex(st, r.U16());
  uint16_t options = r.Remaining() >= 2 ? r.U16() : 0;
  info.hidden = options & 1;
  info.outlineLevel = (options >> 8) & 7;
  info.last = std::min(info.last, model::kMaxColumn);  // columns past the grid are damage
  if (info.first <= info.last) sheet->columns.push_back(info);
}

void Parser::OnColWidth2(ByteReader r, Substream& st) {
  Sheet* sheet = st.sheet;
  model::ColumnInfo info;
  info.first = r.U8();
  info.last = r.U8();
  info.width = r.U16();
  if (info.first <= info.last) sheet->columns.push_back(info);
}

void Parser::OnMergedCells(ByteReader r, Substream& st) {
  Sheet* sheet = st.sheet;
  size_t count = r.U16();
  for (size_t i = 0; i < count && r.Remaining() >= 8; ++i) {
    model::Range range = ReadRange(r);
    if (ClipToGrid(range)) sheet->merged.push_back(range);
  }
}

void Parser::OnWindow2(uint16_t id, ByteReader r, Substream& st) {
  Sheet* sheet = st.sheet;
  if (id == rec::kWindow2) {
    uint16_t flags = r.U16();
    sheet->showGridlines = flags & 0x02;
    st.frozen = flags & 0x08;
    return;
  }
  r.U8();
  sheet->showGridlines = r.U8() != 0;
  r.U8();
  st.frozen = r.U8() != 0;
}

// The split of the window; used when WINDOW2 says the panes are frozen.
void Parser::OnPane(ByteReader r, Substream& st) {
  st.paneCols = r.U16();
  st.paneRows = r.U16();
}

// A sheet whose WSBOOL says it is a dialog sheet.
void Parser::OnWsBool(ByteReader r, Substream& st) {
  if (r.U16() & 0x10) st.sheet->type = model::SheetType::Dialog;
}

// BIFF8: the id of the object whose TXO record (a note's text) follows.
void Parser::OnObj(ByteReader r, Substream& st) {
  if (r.U16() == 0x15) {  // the common object data come first
    r.U16();
    uint16_t type = r.U16();
    st.lastObjId = r.U16();
    NoteObject(st, type, nullptr);
  }
}

void Parser::OnNote(ByteReader r, Substream& st) {
  uint16_t row = r.U16();
  uint16_t col = r.U16();
  if (version_ == 8) {
    r.U16();  // flags
    uint16_t object = r.U16();
    std::string author;
    try {
      author = UnicodeLong(r);
    } catch (const ShortRecord&) {
    }
    if (row <= maxRow_ && col <= model::kMaxColumn) {
      st.notes.push_back({row, col, object, std::move(author)});
    }
    return;
  }
  // The older formats hold the text in the NOTE records themselves; a record with row 0xFFFF
  // goes on with the text of the one before.
  size_t length = r.U16();
  size_t here = std::min(length, r.Remaining());
  std::string text = Bytes8(r.Bytes(here), here);
  if (row == 0xFFFF) {
    if (st.lastComment >= 0) st.sheet->comments[st.lastComment].text += text;
    return;
  }
  if (row > maxRow_ || col > model::kMaxColumn) {
    st.lastComment = -1;
    return;
  }
  model::Comment comment;
  comment.row = row;
  comment.col = col;
  comment.text = std::move(text);
  st.sheet->comments.push_back(std::move(comment));
  st.lastComment = static_cast<int64_t>(st.sheet->comments.size() - 1);
}

void Parser::OnTxo(std::span<const uint8_t> data, size_t next, Substream& st) {
  if (data.size() < 12) return;
  size_t count = Le16(&data[10]);
  std::vector<std::span<const uint8_t>> continues = Continues(next);
  std::string text;
  if (version_ == 8) {
    continues.insert(continues.begin(), std::span<const uint8_t>());
    ContinuedReader r(std::move(continues));
    try {
      r.Chars(count, false, text);
    } catch (const ShortRecord&) {
    }
  } else {
    std::vector<uint8_t> bytes;
    for (auto piece : continues) bytes.insert(bytes.end(), piece.begin(), piece.end());
    text = Bytes8(bytes.data(), std::min(count, bytes.size()));
  }
  // Line breaks are stored as CR LF or CR.
  std::string clean;
  clean.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      clean.push_back('\n');
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      clean.push_back(text[i]);
    }
  }
  st.objectText[st.lastObjId] = std::move(clean);
}

void Parser::OnHlink(ByteReader r, Substream& st) {
  static const uint8_t kUrlMoniker[16] = {0xE0, 0xC9, 0xEA, 0x79, 0xF9, 0xBA, 0xCE, 0x11,
                                          0x8C, 0x82, 0x00, 0xAA, 0x00, 0x4B, 0xA9, 0x0B};
  static const uint8_t kFileMoniker[16] = {0x03, 0x03, 0, 0, 0, 0, 0, 0,
                                           0xC0, 0,    0, 0, 0, 0, 0, 0x46};
  model::Hyperlink link;
  link.range = ReadRange(r);
  r.Skip(16 + 4);  // class id, stream version
  uint32_t flags = r.U32();
  auto counted = [&]() {
    size_t units = r.U32();
    r.Need(units * 2 > units ? units * 2 : SIZE_MAX);
    return Utf16(r, units);
  };
  if (flags & 0x14) link.description = counted();
  if (flags & 0x80) counted();  // target frame
  bool haveMoniker = false;
  if (flags & 0x01) {
    if (flags & 0x100) {
      link.target = counted();
      link.kind = model::LinkKind::File;
      haveMoniker = true;
    } else {
      const uint8_t* clsid = r.Bytes(16);
      if (std::memcmp(clsid, kUrlMoniker, 16) == 0) {
        size_t bytes = r.U32();
        const uint8_t* p = r.Bytes(bytes);
        size_t units = 0;
        while (units < bytes / 2 && Le16(p + 2 * units) != 0) ++units;
        AppendUtf16(link.target, p, units);
        link.kind = model::LinkKind::Url;
        haveMoniker = true;
      } else if (std::memcmp(clsid, kFileMoniker, 16) == 0) {
        uint16_t up = r.U16();
        size_t ansiLength = r.U32();
        const uint8_t* ansi = r.Bytes(ansiLength);
        size_t ansiChars = 0;
        while (ansiChars < ansiLength && ansi[ansiChars] != 0) ++ansiChars;
        std::string path = Bytes8(ansi, ansiChars);
        r.Skip(2 + 2 + 20);
        uint32_t unicodeSize = r.U32();
        if (unicodeSize > 0) {
          size_t bytes = r.U32();
          r.U16();
          path = Utf16(r, bytes / 2);
        }
        std::string prefix;
        for (uint16_t i = 0; i < up && i < 256; ++i) prefix += "..\\";
        link.target = prefix + path;
        link.kind = model::LinkKind::File;
        haveMoniker = true;
      }
      // Other monikers carry nothing this model shows.
    }
  }
  if (flags & 0x08) link.location = counted();
  if (!haveMoniker) link.kind = model::LinkKind::Place;
  if (!haveMoniker && link.location.empty()) return;
  if (ClipToGrid(link.range)) st.sheet->hyperlinks.push_back(std::move(link));
}

void Parser::OnTooltip(ByteReader r, Substream& st) {
  r.Skip(2);
  uint16_t firstRow = r.U16();
  r.Skip(2);
  uint16_t firstCol = r.U16();
  r.Skip(2);
  std::string tip = Utf16(r, r.Remaining() / 2);
  // The tooltip follows its link; look back a few links at most.
  auto& links = st.sheet->hyperlinks;
  for (size_t back = 1; back <= links.size() && back <= 8; ++back) {
    model::Hyperlink& link = links[links.size() - back];
    if (link.range.firstRow == firstRow && link.range.firstCol == firstCol) {
      link.tooltip = std::move(tip);
      return;
    }
  }
}

void Parser::FinishSheet(Substream& st) {
  Sheet& sheet = *st.sheet;
  if (st.frozen) {
    sheet.frozenCols = std::min(st.paneCols, model::kMaxColumn);
    sheet.frozenRows = std::min<uint32_t>(st.paneRows, maxRow_);
  }
  for (Substream::Note& note : st.notes) {
    model::Comment comment;
    comment.row = note.row;
    comment.col = note.col;
    comment.author = std::move(note.author);
    auto text = st.objectText.find(note.object);
    if (text != st.objectText.end()) comment.text = text->second;
    sheet.comments.push_back(std::move(comment));
  }
  if (!st.drawing.empty() && !book_.blips.empty()) {
    ReadSheetPictures(st.drawing, book_.blips.size(), sheet.pictures);
    // Pictures anchored past the grid are damage; those reaching past it end at its edge.
    std::erase_if(sheet.pictures, [&](const model::Picture& p) {
      return p.row1 > maxRow_ || p.col1 > model::kMaxColumn;
    });
    for (model::Picture& p : sheet.pictures) {
      p.row2 = std::min(p.row2, maxRow_);
      p.col2 = std::min(p.col2, model::kMaxColumn);
    }
  }
  PlaceCharts(st);
  // Column ranges: sorted, without overlaps (a later range gives way to an earlier one).
  std::stable_sort(
      sheet.columns.begin(), sheet.columns.end(),
      [](const model::ColumnInfo& a, const model::ColumnInfo& b) { return a.first < b.first; });
  std::vector<model::ColumnInfo> columns;
  for (model::ColumnInfo info : sheet.columns) {
    if (!columns.empty() && info.first <= columns.back().last) {
      if (info.last <= columns.back().last) continue;
      info.first = static_cast<uint16_t>(columns.back().last + 1);
    }
    columns.push_back(info);
  }
  sheet.columns = std::move(columns);
  sheet.Normalize();
}

}  // namespace quillane::biff::reader
