// The walk over a workbook stream: the first BOF gives the version; the globals substream comes
// first, then one substream per sheet listed in it; each record goes to its handler (Globals.cpp,
// SheetRecords.cpp) through Handle, which only routes.
//
// Order of work: Run reads the globals (unpacking the picture store once they are read), then
// each worksheet and macro sheet at the offset its BOUNDSHEET entry gives (or the next substream),
// skipping chart sheets, then makes the styles. A FILEPASS record hands the rest of the stream to
// the decryptor, which decrypts it in place before the next record is read.
// Invariants: a record is never read past the end of the stream; a record shorter than its
// contents is left out (ShortRecord); a substream is read at most once; a sheet that cannot be read
// whole is damage, never an empty page, except that a sheet's or the globals' BOF inside a sheet
// ends it (its EOF was lost, taken by a chart that lost its own); of the substreams embedded in a
// sheet only charts are read (Charts.cpp), and a damaged chart costs only the chart.
// Bounds: each substream is read at most once and decryption passes over the stream once, so the
// work grows with the stream; CONTINUE data are joined only for the records that need them; the
// picture store unpacks to at most 16 times the stream's size plus 16 MB.
#include <algorithm>
#include <unordered_set>

#include "spreadsheet/biff/Drawing.h"
#include "spreadsheet/biff/Parser.h"

namespace quillane::biff::reader {

std::vector<std::span<const uint8_t>> Parser::Continues(size_t next) const {
  std::vector<std::span<const uint8_t>> pieces;
  size_t pos = next;
  while (s_.size() >= 4 && pos <= s_.size() - 4 && Le16(&s_[pos]) == rec::kContinue) {
    size_t length = Le16(&s_[pos + 2]);
    if (length > s_.size() - pos - 4) break;
    pieces.emplace_back(s_.data() + pos + 4, length);
    pos += 4 + length;
  }
  return pieces;
}

void Parser::AppendContinued(std::vector<uint8_t>& out, std::span<const uint8_t> data,
                             size_t next) const {
  out.insert(out.end(), data.begin(), data.end());
  for (auto piece : Continues(next)) out.insert(out.end(), piece.begin(), piece.end());
}

// Decrypts every record payload from `pos` to the end of the stream, in place, except what the
// format keeps in the clear.
void Parser::DecryptFrom(size_t pos) {
  while (s_.size() >= 4 && pos <= s_.size() - 4) {
    uint16_t id = Le16(&s_[pos]);
    size_t length = Le16(&s_[pos + 2]);
    size_t data = pos + 4;
    if (length > s_.size() - data) length = s_.size() - data;
    if (length > 0) decryptor_->DecryptRecord(id, &s_[data], length, data);
    pos = data + length;
  }
}

size_t Parser::SkipSubstream(size_t pos) {
  int depth = 0;
  while (s_.size() >= 4 && pos <= s_.size() - 4) {
    uint16_t id = Le16(&s_[pos]);
    size_t length = Le16(&s_[pos + 2]);
    if (length > s_.size() - pos - 4) return s_.size();
    pos += 4 + length;
    if (IsBofId(id)) {
      ++depth;
    } else if (id == rec::kEof && --depth <= 0) {
      return pos;
    }
  }
  return s_.size();
}

size_t Parser::ReadSubstream(size_t pos, Substream& st) {
  // `pos` is at the substream's BOF.
  pos += 4 + Le16(&s_[pos + 2]);
  while (true) {
    if (s_.size() < 4 || pos > s_.size() - 4) {
      // No EOF: the stream was cut inside the substream.
      Damaged("the workbook stream ends inside " + (st.sheet
                                                        ? "sheet \"" + st.sheet->name + "\""
                                                        : std::string("the workbook globals")));
    }
    uint16_t id = Le16(&s_[pos]);
    size_t length = Le16(&s_[pos + 2]);
    size_t data = pos + 4;
    if (length > s_.size() - data) {
      Damaged("a record at offset " + std::to_string(pos) + " runs past the end of the stream");
    }
    if (id == rec::kEof) return data + length;
    if (IsBofId(id)) {
      // The BOF of a sheet or of the globals inside a sheet: the sheet lost its EOF (a chart in
      // it that lost its own took the sheet's), and ends here.
      const uint16_t type = length >= 4 ? Le16(&s_[data + 2]) : 0;
      if (st.sheet && version_ >= 5 && (type == 0x0005 || type == 0x0010 || type == 0x0040)) {
        return pos;
      }
      // An embedded substream: a chart inside a sheet is read, anything else skipped.
      pos = st.sheet ? ReadEmbedded(pos, st) : SkipSubstream(pos);
      continue;
    }
    try {
      Handle(id, std::span<const uint8_t>(s_.data() + data, length), data + length, st);
    } catch (const ShortRecord&) {
      // A record shorter than its contents: the record is left out.
    }
    pos = data + length;
  }
}

void Parser::Handle(uint16_t id, std::span<const uint8_t> data, size_t next, Substream& st) {
  // Workbook-wide records may also come inside the single sheet of the older formats.
  if (HandleGlobal(id, data, next, st)) return;
  if (st.sheet) HandleSheet(id, data, next, st);
}

// The routing tables: one case per record id, each a handler call (or the one field a record
// sets).
bool Parser::HandleGlobal(uint16_t id, std::span<const uint8_t> data, size_t next, Substream& st) {
  ByteReader r(data);
  switch (id) {
    case rec::kFilePass:
      OnFilePass(data, next);
      return true;
    case rec::kCodepage:
      OnCodepage(r);
      return true;
    case rec::kDateMode:
      book_.date1904 = r.U16() == 1;
      return true;
    case rec::kFont:
    case rec::kFont3:
      OnFont(id, r, st);
      return true;
    case rec::kFontColor2:
      OnFontColor2(r);
      return true;
    case rec::kFormat:
    case rec::kFormat2:
      OnFormat(id, r, st);
      return true;
    case rec::kXf:
    case rec::kXf2:
    case rec::kXf3:
    case rec::kXf4:
      OnXf(id, r, st);
      return true;
    case rec::kPalette:
      OnPalette(r);
      return true;
    case rec::kBoundSheet:
    case rec::kBundleSheet4:
      OnBoundSheet(r, st);
      return true;
    case rec::kSst:
      OnSst(data, next);
      return true;
    case rec::kMsoDrawingGroup:
      AppendContinued(drawingGroup_, data, next);
      return true;
    case rec::kExternSheet:
      if (!st.sheet) OnExternSheet(data, next);
      return true;
    case rec::kSupBook:
      if (!st.sheet) OnSupBook(r);
      return true;
    default:
      return false;
  }
}

void Parser::HandleSheet(uint16_t id, std::span<const uint8_t> data, size_t next, Substream& st) {
  ByteReader r(data);
  switch (id) {
    // ---- Cells.
    case rec::kIxfe2:
      st.ixfe = r.U16();
      return;
    case rec::kNumber:
      OnNumber(r, st);
      return;
    case rec::kRk:
      OnRk(r, st);
      return;
    case rec::kMulRk:
      OnMulRk(data, st);
      return;
    case rec::kBlank:
      OnBlank(r, st);
      return;
    case rec::kMulBlank:
      OnMulBlank(data, st);
      return;
    case rec::kLabelSst:
      OnLabelSst(r, st);
      return;
    case rec::kLabel:
    case rec::kRString:
      OnLabel(id, r, st);
      return;
    case rec::kBoolErr:
      OnBoolErr(r, st);
      return;
    case rec::kFormula:
    case rec::kFormula3:
    case rec::kFormula4:
      OnFormula(id, r, st);
      return;
    case rec::kString:
    case rec::kString2:
      OnString(id, data, next, st);
      return;
    case rec::kBlank2:
    case rec::kInteger2:
    case rec::kNumber2:
    case rec::kLabel2:
    case rec::kBoolErr2:
      OnBiff2Cell(id, r, st);
      return;
    // ---- Layout.
    case rec::kDimensions:
    case rec::kDimensions2:
      OnDimensions(id, data, st);
      return;
    case rec::kRow:
    case rec::kRow2:
      OnRow(id, r, st);
      return;
    case rec::kDefaultRowHeight:
    case rec::kDefaultRowHeight2:
      OnDefaultRowHeight(id, r, st);
      return;
    case rec::kColInfo:
      OnColInfo(r, st);
      return;
    case rec::kColWidth2:
      OnColWidth2(r, st);
      return;
    case rec::kDefColWidth:
      st.sheet->defaultColWidth = r.U16();
      return;
    case rec::kStandardWidth:
      st.sheet->standardWidth = r.U16();
      return;
    case rec::kMergedCells:
      OnMergedCells(r, st);
      return;
    case rec::kWindow2:
    case rec::kWindow2_2:
      OnWindow2(id, r, st);
      return;
    case rec::kPane:
      OnPane(r, st);
      return;
    case rec::kWsBool:
      OnWsBool(r, st);
      return;
    // ---- Links, comments, drawings.
    case rec::kHlink:
      if (version_ == 8) OnHlink(r, st);
      return;
    case rec::kHlinkTooltip:
      if (version_ == 8) OnTooltip(r, st);
      return;
    case rec::kNote:
      OnNote(r, st);
      return;
    case rec::kObj:
      if (version_ == 8) OnObj(r, st);
      if (version_ == 5) OnObj5(r, st);
      return;
    case rec::kTxo:
      OnTxo(data, next, st);
      return;
    case rec::kMsoDrawing:
      AppendContinued(st.drawing, data, next);
      return;
    case rec::kCondFmt:
    case rec::kCondFmt12:
      if (version_ == 8) OnCondFmt(id, r, st);
      return;
    case rec::kCf:
    case rec::kCf12:
      if (version_ == 8) OnCf(id, r, st);
      return;
    default:
      return;
  }
}

// The first BOF record: the version of the stream, and the grid, palette and code page that come
// with it.
void Parser::ReadVersion() {
  if (s_.size() < 8 || !IsBofId(Le16(&s_[0]))) {
    Damaged("the workbook stream does not start with a BOF record");
  }
  uint16_t bofId = Le16(&s_[0]);
  size_t bofLength = Le16(&s_[2]);
  if (bofLength < 4 || bofLength > s_.size() - 4) Damaged("the first BOF record is damaged");
  uint16_t vers = Le16(&s_[4]);
  switch (bofId) {
    case rec::kBof2:
      version_ = 2;
      break;
    case rec::kBof3:
      version_ = 3;
      break;
    case rec::kBof4:
      version_ = 4;
      break;
    default:
      // The version field names BIFF8 or BIFF5/7; some writers put other values there, and
      // then the stream's name and the BOF's length tell ("Book" and 8 bytes are BIFF5).
      if (vers == 0x0600) {
        version_ = 8;
      } else if (vers == 0x0500) {
        version_ = 5;
      } else {
        version_ = (compound_ && !bookStream_ && bofLength >= 16) ? 8 : 5;
      }
      break;
  }
  book_.biff.version = version_;
  maxRow_ = model::MaxRow(version_);
  book_.lastGridRow = maxRow_;
  // The default palette of BIFF5/7 differs from the newer one in one colour.
  if (version_ == 5) book_.palette[47 - 8] = 0xE3E3E3;
  book_.biff.codepage = version_ == 8 ? 1200 : 1252;
  text_.SetCodepage(book_.biff.codepage);
}

model::Workbook Parser::RunSingleSheet(const std::string& name, uint16_t type) {
  // One sheet whose stream holds the workbook-wide records as well.
  Sheet& sheet = book_.sheets.emplace_back();
  sheet.name = name;
  if (type == 0x0020) sheet.type = model::SheetType::Chart;
  if (type == 0x0040) sheet.type = model::SheetType::Macro;
  if (type == 0x0006) sheet.type = model::SheetType::Module;
  Substream st;
  st.sheet = &sheet;
  ReadSubstream(0, st);
  FinishSheet(st);
  FinishStyles();
  return std::move(book_);
}

// The sheets listed in the globals, each read from its own substream; `next` is the offset after
// the globals.
void Parser::ReadSheets(size_t next) {
  book_.sheets.reserve(entries_.size());
  for (const SheetEntry& entry : entries_) {
    Sheet& sheet = book_.sheets.emplace_back();
    sheet.name = entry.name;
    sheet.visibility = static_cast<model::Visibility>(std::min<uint8_t>(entry.visibility, 2));
    switch (entry.type) {
      case 1:
        sheet.type = model::SheetType::Macro;
        break;
      case 2:
        sheet.type = model::SheetType::Chart;
        break;
      case 6:
        sheet.type = model::SheetType::Module;
        break;
      default:
        break;
    }
  }
  const size_t globalsEnd = next;
  std::unordered_set<size_t> read;
  for (size_t i = 0; i < book_.sheets.size(); ++i) {
    Sheet& sheet = book_.sheets[i];
    if (sheet.type == model::SheetType::Chart || sheet.type == model::SheetType::Module) continue;
    // The sheet's BOF at the offset its entry gives, else the next substream in the stream.
    size_t pos = entries_[i].offset;
    // A substream is read once: entries that point at the globals or at a substream already
    // read (damaged or hostile files) would otherwise multiply the work and the memory.
    auto usable = [&](size_t at) {
      return at >= globalsEnd && s_.size() >= 8 && at <= s_.size() - 8 && IsBofId(Le16(&s_[at])) &&
             read.insert(at).second;
    };
    if (!usable(pos)) {
      if (!usable(next)) {
        // A sheet that cannot be read whole is damage, never an empty page.
        Damaged(entries_[i].offset >= s_.size()
                    ? "sheet \"" + sheet.name + "\" starts past the end of the workbook stream"
                    : "sheet \"" + sheet.name + "\" has no substream of its own");
      }
      pos = next;
    }
    uint16_t sheetType = Le16(&s_[pos + 6]);
    if (sheetType == 0x0020) {
      sheet.type = model::SheetType::Chart;
      next = SkipSubstream(pos);
      continue;
    }
    if (sheetType == 0x0040) sheet.type = model::SheetType::Macro;
    Substream st;
    st.sheet = &sheet;
    next = ReadSubstream(pos, st);
    FinishSheet(st);
  }
}

model::Workbook Parser::Run(const std::string& singleSheetName) {
  ReadVersion();
  const uint16_t type = Le16(&s_[6]);
  bool globals = (version_ >= 5 && type == 0x0005) || (version_ == 4 && type == 0x0100);
  if (!globals) return RunSingleSheet(singleSheetName, type);

  Substream globalsStream;
  size_t next = ReadSubstream(0, globalsStream);
  if (!drawingGroup_.empty()) {
    // Unpacked metafiles may take a few times the stream's size, never more.
    ReadPictureStore(drawingGroup_, model::PictureBudget(s_.size()), book_.blips);
    drawingGroup_.clear();
    drawingGroup_.shrink_to_fit();
  }
  if (entries_.empty()) Damaged("the workbook lists no sheets");
  ReadSheets(next);
  FinishStyles();
  return std::move(book_);
}

}  // namespace quillane::biff::reader
