#include "spreadsheet/biff/WorkbookReader.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <unordered_map>
#include <unordered_set>

#include "spreadsheet/biff/Decryptor.h"
#include "spreadsheet/biff/Drawing.h"
#include "spreadsheet/biff/Records.h"
#include "spreadsheet/biff/Text.h"
#include "spreadsheet/container/CompoundFile.h"
#include "spreadsheet/container/Detect.h"
#include "spreadsheet/container/MappedFile.h"
#include "spreadsheet/format/NumberFormat.h"
#include "spreadsheet/model/Limits.h"

namespace quillane::biff {

namespace {

using model::Cell;
using model::CellStyle;
using model::XfRecord;
using model::CellType;
using model::Sheet;

constexpr const char* kWrongPassword =
    "The workbook is password-protected and the password did not open it";

[[noreturn]] void Damaged(const std::string& what) {
  throw ReadError("The workbook is damaged: " + what);
}

bool IsBofId(uint16_t id) {
  return id == rec::kBof || id == rec::kBof2 || id == rec::kBof3 || id == rec::kBof4;
}

// Formatting runs count UTF-16 code units; the model counts code points. They differ only for
// text with characters beyond U+FFFF (4-byte UTF-8 sequences).
void RunsToCodePoints(const std::string& text, std::vector<model::TextRun>& runs) {
  bool wide = false;
  for (char c : text) {
    if (static_cast<uint8_t>(c) >= 0xF0) wide = true;
  }
  if (!wide || runs.empty()) return;
  std::vector<uint32_t> pointAtUnit;  // code-point index of each UTF-16 unit
  uint32_t point = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    uint8_t c = static_cast<uint8_t>(text[i]);
    if ((c & 0xC0) == 0x80) continue;
    pointAtUnit.push_back(point);
    if (c >= 0xF0) pointAtUnit.push_back(point);
    ++point;
  }
  for (model::TextRun& run : runs) {
    run.first = run.first < pointAtUnit.size() ? pointAtUnit[run.first] : point;
  }
}

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

model::HAlign HAlignOf(unsigned v) {
  return v <= 7 ? static_cast<model::HAlign>(v) : model::HAlign::General;
}
model::VAlign VAlignOf(unsigned v) {
  return v <= 4 ? static_cast<model::VAlign>(v) : model::VAlign::Bottom;
}

// The state of one substream (the globals, or one sheet) while its records are read.
struct Substream {
  Sheet* sheet = nullptr;
  int64_t pendingString = -1;  // cell waiting for the STRING record of its formula
  uint16_t ixfe = 0;           // BIFF2: the XF index for the next cell record
  bool frozen = false;
  uint16_t paneCols = 0, paneRows = 0;
  std::vector<uint8_t> drawing;          // the sheet's MSODRAWING data, joined
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
};

struct SheetEntry {
  uint32_t offset = 0;
  uint8_t visibility = 0;
  uint8_t type = 0;
  std::string name;
};

class Parser {
 public:
  Parser(std::vector<uint8_t> stream, const std::string& password, bool compound,
         bool bookStream = false)
      : s_(std::move(stream)), password_(password), compound_(compound), bookStream_(bookStream) {}

  model::Workbook Run(const std::string& singleSheetName);

 private:
  size_t ReadSubstream(size_t pos, Substream& st);
  size_t SkipSubstream(size_t pos);
  void Handle(uint16_t id, std::span<const uint8_t> data, size_t pos, Substream& st);
  std::vector<std::span<const uint8_t>> Continues(size_t next) const;
  void FinishSheet(Substream& st);
  void DecryptFrom(size_t pos);

  // Record handlers.
  void OnFont(uint16_t id, ByteReader r, Substream& st);
  void OnFormat(uint16_t id, ByteReader r, Substream& st);
  void OnXf(uint16_t id, ByteReader r, Substream& st);
  void OnSst(std::span<const uint8_t> data, size_t next);
  void OnFormula(uint16_t id, ByteReader r, Substream& st);
  void OnRow(uint16_t id, ByteReader r, Substream& st);
  void OnNote(ByteReader r, Substream& st);
  void OnTxo(std::span<const uint8_t> data, size_t next, Substream& st);
  void OnHlink(ByteReader r, Substream& st);
  void OnTooltip(ByteReader r, Substream& st);

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
  uint16_t Biff2Style(Substream& st, const uint8_t* attr);
  void FinishStyles();
  // Cuts a range at the edge of the format's grid; false when it is empty or starts past it.
  bool ClipToGrid(model::Range& range) const {
    if (range.firstRow > range.lastRow || range.firstCol > range.lastCol) return false;
    if (range.firstRow > maxRow_ || range.firstCol > model::kMaxColumn) return false;
    range.lastRow = std::min(range.lastRow, maxRow_);
    range.lastCol = std::min(range.lastCol, model::kMaxColumn);
    return true;
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
};

std::string Parser::Unicode(ByteReader& r, size_t count, std::vector<model::TextRun>* runs) {
  uint8_t flags = r.U8();
  size_t runCount = (flags & 0x08) ? r.U16() : 0;
  size_t extLength = (flags & 0x04) ? r.U32() : 0;
  std::string out;
  if (flags & 1) {
    AppendUtf16(out, r.Bytes(count * 2), count);
  } else {
    AppendLatin1(out, r.Bytes(count), count);
  }
  for (size_t i = 0; i < runCount && r.Remaining() >= 4; ++i) {
    uint16_t first = r.U16();
    uint16_t font = r.U16();
    if (runs) runs->push_back({first, font});
  }
  if (extLength <= r.Remaining()) r.Skip(extLength);
  return out;
}

std::string Parser::Utf16(ByteReader& r, size_t units) {
  const uint8_t* p = r.Bytes(units * 2);
  while (units > 0 && p[2 * units - 2] == 0 && p[2 * units - 1] == 0) --units;
  std::string out;
  AppendUtf16(out, p, units);
  return out;
}

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
      Damaged("the workbook stream ends inside " + (st.sheet ? "sheet \"" + st.sheet->name + "\""
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
      // An embedded substream (a chart inside a sheet): not read.
      pos = SkipSubstream(pos);
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

void Parser::OnFont(uint16_t id, ByteReader r, Substream& st) {
  model::Font font;
  uint16_t color = model::kColorAutoFont;
  font.height = r.U16();
  uint16_t flags = r.U16();
  font.italic = flags & 0x02;
  font.strike = flags & 0x08;
  font.outline = flags & 0x10;
  font.shadow = flags & 0x20;
  if (version_ == 2) {
    if (flags & 0x01) font.weight = 700;
    if (flags & 0x04) font.underline = model::Underline::Single;
    font.outline = font.shadow = false;
    font.name = ByteString8(r);
  } else if (id == rec::kFont3) {
    if (flags & 0x01) font.weight = 700;
    if (flags & 0x04) font.underline = model::Underline::Single;
    color = r.U16();
    font.name = ByteString8(r);
  } else {
    color = r.U16();
    font.weight = r.U16();
    uint16_t script = r.U16();
    font.script = script == 1   ? model::Script::Super
                  : script == 2 ? model::Script::Sub
                                : model::Script::None;
    switch (r.U8()) {
      case 0x01: font.underline = model::Underline::Single; break;
      case 0x02: font.underline = model::Underline::Double; break;
      case 0x21: font.underline = model::Underline::SingleAccounting; break;
      case 0x22: font.underline = model::Underline::DoubleAccounting; break;
      default: break;
    }
    font.family = r.U8();
    font.charset = r.U8();
    r.U8();
    font.name = version_ == 8 ? UnicodeShort(r) : ByteString8(r);
  }
  // FONT index 4 is never written: keep the numbering by filling the gap.
  uint16_t& count = st.ownFonts ? st.fontCount : globalFontCount_;
  if (count == 4) {
    book_.fonts.push_back(book_.fonts[book_.fonts.size() - 4]);
    book_.biff.fontColors.push_back(book_.biff.fontColors[book_.biff.fontColors.size() - 4]);
    ++count;
  }
  book_.fonts.push_back(std::move(font));
  book_.biff.fontColors.push_back(color);
  ++count;
}

void Parser::OnFormat(uint16_t id, ByteReader r, Substream& st) {
  uint16_t index;
  std::string code;
  if (id == rec::kFormat2 || version_ <= 4) {
    // The older formats number their FORMAT records in order.
    if (id == rec::kFormat) r.Skip(2);
    code = ByteString8(r);
    index = static_cast<uint16_t>(st.formatBase + st.formatCount);
    ++st.formatCount;
  } else {
    index = r.U16();
    code = version_ == 8 ? UnicodeLong(r) : ByteString8(r);
  }
  book_.biff.formats[index] = std::move(code);
}

// The text orientation of BIFF4-7 XF records (0 none, 1 letters stacked, 2 turned up, 3 down).
uint8_t RotationOfOrientation(unsigned orientation) {
  switch (orientation & 3) {
    case 1: return 255;
    case 2: return 90;
    case 3: return 180;
    default: return 0;
  }
}

// The type word and the alignment byte that BIFF4-8 XF records share; `vMask` keeps the bits of
// the vertical alignment the version has. Returns the alignment byte.
uint8_t ReadTypeAndAlignment(ByteReader& r, XfRecord& xf, uint8_t vMask) {
  uint16_t type = r.U16();
  xf.locked = type & 1;
  xf.hidden = type & 2;
  xf.isStyle = type & 4;
  xf.parent = type >> 4;
  uint8_t align = r.U8();
  xf.hAlign = HAlignOf(align & 7);
  xf.wrap = align & 8;
  xf.vAlign = VAlignOf((align >> 4) & vMask);
  return align;
}

void Parser::OnXf(uint16_t id, ByteReader r, Substream& st) {
  XfRecord xf;
  auto fontIndex = [&](uint16_t font) { return static_cast<uint16_t>(st.fontBase + font); };
  auto formatIndex = [&](uint16_t format) {
    return static_cast<uint16_t>(st.formatBase + format);
  };
  if (id == rec::kXf) {  // BIFF5-8
    xf.font = r.U16();
    xf.format = r.U16();
    ReadTypeAndAlignment(r, xf, 7);
    if (version_ == 8) {
      xf.rotation = r.U8();
      uint8_t indent = r.U8();
      xf.indent = indent & 0x0F;
      xf.shrink = indent & 0x10;
      r.U8();  // attributes used
      uint32_t b1 = r.U32();
      uint32_t b2 = r.U32();
      uint16_t fill = r.U16();
      xf.left = {static_cast<uint8_t>(b1 & 0xF), static_cast<uint16_t>((b1 >> 16) & 0x7F)};
      xf.right = {static_cast<uint8_t>((b1 >> 4) & 0xF), static_cast<uint16_t>((b1 >> 23) & 0x7F)};
      xf.top = {static_cast<uint8_t>((b1 >> 8) & 0xF), static_cast<uint16_t>(b2 & 0x7F)};
      xf.bottom = {static_cast<uint8_t>((b1 >> 12) & 0xF), static_cast<uint16_t>((b2 >> 7) & 0x7F)};
      xf.pattern = static_cast<uint8_t>((b2 >> 26) & 0x3F);
      xf.patternColor = fill & 0x7F;
      xf.patternBackground = (fill >> 7) & 0x7F;
    } else {
      xf.rotation = RotationOfOrientation(r.U8());
      uint32_t fill = r.U32();
      uint32_t lines = r.U32();
      xf.patternColor = fill & 0x7F;
      xf.patternBackground = (fill >> 7) & 0x7F;
      xf.pattern = static_cast<uint8_t>((fill >> 16) & 0x3F);
      xf.bottom = {static_cast<uint8_t>((fill >> 22) & 7), static_cast<uint16_t>((fill >> 25) & 0x7F)};
      xf.top = {static_cast<uint8_t>(lines & 7), static_cast<uint16_t>((lines >> 9) & 0x7F)};
      xf.left = {static_cast<uint8_t>((lines >> 3) & 7), static_cast<uint16_t>((lines >> 16) & 0x7F)};
      xf.right = {static_cast<uint8_t>((lines >> 6) & 7), static_cast<uint16_t>((lines >> 23) & 0x7F)};
    }
  } else if (id == rec::kXf2) {
    xf.font = fontIndex(r.U8());
    r.U8();
    uint8_t format = r.U8();
    xf.format = formatIndex(format & 0x3F);
    xf.locked = format & 0x40;
    xf.hidden = format & 0x80;
    uint8_t look = r.U8();
    xf.hAlign = HAlignOf(look & 7);
    if (look & 0x08) xf.left.style = 1;
    if (look & 0x10) xf.right.style = 1;
    if (look & 0x20) xf.top.style = 1;
    if (look & 0x40) xf.bottom.style = 1;
    if (look & 0x80) xf.pattern = 17;  // shaded
    xf.parent = 0;
  } else {  // BIFF3, BIFF4
    xf.font = fontIndex(r.U8());
    xf.format = formatIndex(r.U8());
    if (id == rec::kXf3) {
      uint8_t type = r.U8();
      xf.locked = type & 1;
      xf.hidden = type & 2;
      xf.isStyle = type & 4;
      r.U8();
      uint16_t align = r.U16();
      xf.hAlign = HAlignOf(align & 7);
      xf.wrap = align & 8;
      xf.parent = align >> 4;
    } else {
      uint8_t align = ReadTypeAndAlignment(r, xf, 3);
      xf.rotation = RotationOfOrientation(align >> 6);
      r.U8();
    }
    uint16_t fill = r.U16();
    uint32_t lines = r.U32();
    xf.pattern = fill & 0x3F;
    xf.patternColor = (fill >> 6) & 0x1F;
    xf.patternBackground = (fill >> 11) & 0x1F;
    xf.top = {static_cast<uint8_t>(lines & 7), static_cast<uint16_t>((lines >> 3) & 0x1F)};
    xf.left = {static_cast<uint8_t>((lines >> 8) & 7), static_cast<uint16_t>((lines >> 11) & 0x1F)};
    xf.bottom = {static_cast<uint8_t>((lines >> 16) & 7), static_cast<uint16_t>((lines >> 19) & 0x1F)};
    xf.right = {static_cast<uint8_t>((lines >> 24) & 7), static_cast<uint16_t>((lines >> 27) & 0x1F)};
  }
  if (id == rec::kXf) {
    xf.font = fontIndex(xf.font);
    xf.format = formatIndex(xf.format);
  }
  book_.biff.xfs.push_back(std::move(xf));
}

uint16_t Parser::Biff2Style(Substream& st, const uint8_t* attr) {
  uint16_t xf = attr[0] & 0x3F;
  if (xf == 63) xf = st.ixfe;
  xf = CellStyleIndex(st, xf);
  uint16_t format = static_cast<uint16_t>(st.formatBase + (attr[1] & 0x3F));
  uint16_t font = static_cast<uint16_t>(st.fontBase + (attr[1] >> 6));
  // The cell's own attributes hold its format; the XF is used when they agree with it.
  if (xf < book_.biff.xfs.size()) {
    const XfRecord& style = book_.biff.xfs[xf];
    if (style.format == format && style.font == font &&
        static_cast<uint8_t>(style.hAlign) == (attr[2] & 7)) {
      return xf;
    }
  }
  uint32_t key = (static_cast<uint32_t>(xf) << 24) ^ (attr[1] << 8) ^ attr[2] ^
                 (static_cast<uint32_t>(attr[0] & 0xC0) << 10);
  auto found = st.biff2Styles.find(key);
  if (found != st.biff2Styles.end()) return found->second;
  XfRecord style = xf < book_.biff.xfs.size() ? book_.biff.xfs[xf] : XfRecord();
  style.format = format;
  style.font = font;
  style.locked = attr[0] & 0x40;
  style.hidden = attr[0] & 0x80;
  style.hAlign = HAlignOf(attr[2] & 7);
  style.left.style = (attr[2] & 0x08) ? 1 : 0;
  style.right.style = (attr[2] & 0x10) ? 1 : 0;
  style.top.style = (attr[2] & 0x20) ? 1 : 0;
  style.bottom.style = (attr[2] & 0x40) ? 1 : 0;
  style.pattern = (attr[2] & 0x80) ? 17 : 0;
  if (book_.biff.xfs.size() >= 0xFFFF) return xf;
  book_.biff.xfs.push_back(style);
  uint16_t index = static_cast<uint16_t>(book_.biff.xfs.size() - 1);
  st.biff2Styles.emplace(key, index);
  return index;
}

void Parser::OnSst(std::span<const uint8_t> data, size_t next) {
  if (haveSst_ || data.size() < 8) return;
  haveSst_ = true;
  sstBase_ = static_cast<uint32_t>(book_.strings.size());
  uint32_t unique = Le32(&data[4]);
  std::vector<std::span<const uint8_t>> pieces = Continues(next);
  pieces.insert(pieces.begin(), data.subspan(8));
  ContinuedReader r(std::move(pieces));
  try {
    // The count may lie: reading stops where the data end.
    for (uint32_t i = 0; i < unique && !r.AtEnd(); ++i) {
      size_t count = r.U16();
      uint8_t flags = r.U8();
      size_t runCount = (flags & 0x08) ? r.U16() : 0;
      size_t extLength = (flags & 0x04) ? r.U32() : 0;
      std::string text;
      r.Chars(count, flags & 1, text);
      uint32_t index = static_cast<uint32_t>(book_.strings.size());
      book_.strings.push_back(std::move(text));
      if (runCount > 0) {
        std::vector<model::TextRun> runs;
        for (size_t k = 0; k < runCount; ++k) {
          uint16_t first = r.U16();
          uint16_t font = r.U16();
          runs.push_back({first, font});
        }
        RunsToCodePoints(book_.strings[index], runs);
        book_.richText.emplace(index, std::move(runs));
      }
      r.Skip(extLength);
    }
  } catch (const ShortRecord&) {
    // The table ends early; the strings read so far stand.
  }
  sstCount_ = static_cast<uint32_t>(book_.strings.size()) - sstBase_;
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
  if (row <= maxRow_) st.sheet->rows[row] = info;
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
                                           0xC0, 0, 0, 0, 0, 0, 0, 0x46};
  model::Hyperlink link;
  link.range.firstRow = r.U16();
  link.range.lastRow = r.U16();
  link.range.firstCol = r.U16();
  link.range.lastCol = r.U16();
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

void Parser::Handle(uint16_t id, std::span<const uint8_t> data, size_t next, Substream& st) {
  ByteReader r(data);
  Sheet* sheet = st.sheet;
  switch (id) {
    // ---- Workbook-wide records (also inside the single sheet of the older formats).
    case rec::kFilePass: {
      if (decryptor_) return;
      try {
        decryptor_ = Decryptor::Create(version_, data, password_);
      } catch (const PasswordError&) {
        throw PasswordError(kWrongPassword);
      }
      DecryptFrom(next);
      return;
    }
    case rec::kCodepage:
      book_.biff.codepage = r.U16();
      text_.SetCodepage(book_.biff.codepage);
      return;
    case rec::kDateMode:
      book_.date1904 = r.U16() == 1;
      return;
    case rec::kFont:
    case rec::kFont3:
      if (!st.ownFonts && sheet && !entries_.empty() && version_ == 4) {
        st.ownFonts = true;
        st.fontBase = static_cast<uint16_t>(book_.fonts.size());
      }
      OnFont(id, r, st);
      return;
    case rec::kFontColor2:
      if (!book_.biff.fontColors.empty()) book_.biff.fontColors.back() = r.U16();
      return;
    case rec::kFormat:
    case rec::kFormat2:
      if (!st.ownFormats && sheet && !entries_.empty() && version_ == 4) {
        st.ownFormats = true;
        st.formatBase = book_.biff.formats.empty()
                            ? 0
                            : static_cast<uint16_t>(book_.biff.formats.rbegin()->first + 1);
      }
      OnFormat(id, r, st);
      return;
    case rec::kXf:
    case rec::kXf2:
    case rec::kXf3:
    case rec::kXf4:
      if (!st.ownStyles && sheet && !entries_.empty() && version_ == 4) {
        st.ownStyles = true;
        st.styleBase = static_cast<uint16_t>(book_.biff.xfs.size());
      }
      OnXf(id, r, st);
      return;
    case rec::kPalette: {
      size_t count = std::min<size_t>(r.U16(), 56);
      for (size_t i = 0; i < count; ++i) {
        const uint8_t* p = r.Bytes(4);
        book_.palette[i] = (static_cast<uint32_t>(p[0]) << 16) | (p[1] << 8) | p[2];
      }
      return;
    }
    case rec::kBoundSheet:
    case rec::kBundleSheet4: {
      if (sheet) return;  // sheets are listed in the globals only
      SheetEntry entry;
      entry.offset = r.U32();
      entry.visibility = r.U8() & 3;
      entry.type = r.U8();
      entry.name = version_ == 8 ? UnicodeShort(r) : ByteString8(r);
      entries_.push_back(std::move(entry));
      return;
    }
    case rec::kSst:
      OnSst(data, next);
      return;
    case rec::kMsoDrawingGroup: {
      drawingGroup_.insert(drawingGroup_.end(), data.begin(), data.end());
      for (auto piece : Continues(next)) drawingGroup_.insert(drawingGroup_.end(), piece.begin(), piece.end());
      return;
    }
    default:
      break;
  }
  if (!sheet) return;
  switch (id) {
    // ---- Cells.
    case rec::kIxfe2:
      st.ixfe = r.U16();
      return;
    case rec::kNumber: {
      uint32_t row = r.U16();
      uint16_t col = r.U16();
      uint16_t xf = r.U16();
      Cell& cell = AddCell(st, row, col, CellStyleIndex(st, xf));
      cell.type = CellType::Number;
      cell.number = r.Double();
      return;
    }
    case rec::kRk: {
      uint32_t row = r.U16();
      uint16_t col = r.U16();
      uint16_t xf = r.U16();
      uint32_t rk = r.U32();
      Cell& cell = AddCell(st, row, col, CellStyleIndex(st, xf));
      cell.type = CellType::Number;
      cell.number = RkValue(rk);
      return;
    }
    case rec::kMulRk: {
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
      return;
    }
    case rec::kBlank: {
      uint32_t row = r.U16();
      uint16_t col = r.U16();
      AddCell(st, row, col, CellStyleIndex(st, r.U16()));
      return;
    }
    case rec::kMulBlank: {
      uint32_t row = r.U16();
      uint32_t col = r.U16();
      size_t count = data.size() >= 6 ? (data.size() - 6) / 2 : 0;
      for (size_t i = 0; i < count && col <= model::kMaxColumn; ++i, ++col) {
        AddCell(st, row, static_cast<uint16_t>(col), CellStyleIndex(st, r.U16()));
      }
      return;
    }
    case rec::kLabelSst: {
      uint32_t row = r.U16();
      uint16_t col = r.U16();
      uint16_t xf = r.U16();
      uint32_t index = r.U32();
      Cell& cell = AddCell(st, row, col, CellStyleIndex(st, xf));
      if (index < sstCount_) {
        cell.type = CellType::String;
        cell.text = sstBase_ + index;
      }
      return;
    }
    case rec::kLabel:
    case rec::kRString: {
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
      return;
    }
    case rec::kBoolErr: {
      uint32_t row = r.U16();
      uint16_t col = r.U16();
      uint16_t xf = r.U16();
      uint8_t value = r.U8();
      uint8_t isError = r.U8();
      Cell& cell = AddCell(st, row, col, CellStyleIndex(st, xf));
      cell.type = isError ? CellType::Error : CellType::Boolean;
      cell.code = isError ? value : (value ? 1 : 0);
      return;
    }
    case rec::kFormula:
    case rec::kFormula3:
    case rec::kFormula4:
      OnFormula(id, r, st);
      return;
    case rec::kString:
    case rec::kString2: {
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
      return;
    }
    // BIFF2 cell records: a 3-byte attribute block in place of the XF index.
    case rec::kBlank2:
    case rec::kInteger2:
    case rec::kNumber2:
    case rec::kLabel2:
    case rec::kBoolErr2: {
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
      return;
    }
    // ---- Layout.
    case rec::kDimensions:
    case rec::kDimensions2: {
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
      return;
    }
    case rec::kRow:
    case rec::kRow2:
      OnRow(id, r, st);
      return;
    case rec::kDefaultRowHeight: {
      uint16_t flags = r.U16();
      sheet->defaultRowHeight = r.U16() & 0x7FFF;
      sheet->defaultRowsHidden = flags & 2;
      return;
    }
    case rec::kDefaultRowHeight2:
      sheet->defaultRowHeight = r.U16() & 0x7FFF;
      return;
    case rec::kColInfo: {
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
      return;
    }
    case rec::kColWidth2: {
      model::ColumnInfo info;
      info.first = r.U8();
      info.last = r.U8();
      info.width = r.U16();
      if (info.first <= info.last) sheet->columns.push_back(info);
      return;
    }
    case rec::kDefColWidth:
      sheet->defaultColWidth = r.U16();
      return;
    case rec::kStandardWidth:
      sheet->standardWidth = r.U16();
      return;
    case rec::kMergedCells: {
      size_t count = r.U16();
      for (size_t i = 0; i < count && r.Remaining() >= 8; ++i) {
        model::Range range;
        range.firstRow = r.U16();
        range.lastRow = r.U16();
        range.firstCol = r.U16();
        range.lastCol = r.U16();
        if (ClipToGrid(range)) sheet->merged.push_back(range);
      }
      return;
    }
    case rec::kWindow2: {
      uint16_t flags = r.U16();
      sheet->showGridlines = flags & 0x02;
      st.frozen = flags & 0x08;
      return;
    }
    case rec::kWindow2_2: {
      r.U8();
      sheet->showGridlines = r.U8() != 0;
      r.U8();
      st.frozen = r.U8() != 0;
      return;
    }
    case rec::kPane:
      st.paneCols = r.U16();
      st.paneRows = r.U16();
      return;
    case rec::kWsBool:
      if (r.U16() & 0x10) sheet->type = model::SheetType::Dialog;
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
      if (version_ == 8) {
        if (r.U16() == 0x15) {  // the common object data come first
          r.U16();
          r.U16();
          st.lastObjId = r.U16();
        }
      }
      return;
    case rec::kTxo:
      OnTxo(data, next, st);
      return;
    case rec::kMsoDrawing:
      st.drawing.insert(st.drawing.end(), data.begin(), data.end());
      for (auto piece : Continues(next)) st.drawing.insert(st.drawing.end(), piece.begin(), piece.end());
      return;
    default:
      return;
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
  // Column ranges: sorted, without overlaps (a later range gives way to an earlier one).
  std::stable_sort(sheet.columns.begin(), sheet.columns.end(),
                   [](const model::ColumnInfo& a, const model::ColumnInfo& b) {
                     return a.first < b.first;
                   });
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

// The model's styles and font colours from the XF and FONT records, once the palette (which may
// come after them) is known: palette indexes become colours, format indexes format codes.
void Parser::FinishStyles() {
  auto color = [&](uint16_t index) { return book_.IndexedColor(index); };
  for (size_t i = 0; i < book_.fonts.size() && i < book_.biff.fontColors.size(); ++i) {
    book_.fonts[i].color = color(book_.biff.fontColors[i]);
  }
  const format::FormatTable formats(book_.biff.formats);
  book_.styles.clear();
  book_.styles.reserve(book_.biff.xfs.size());
  for (const XfRecord& xf : book_.biff.xfs) {
    CellStyle& style = book_.styles.emplace_back();
    style.font = xf.font;
    style.numberFormat = std::string(formats.Code(xf.format));
    style.parent = xf.parent;
    style.isStyle = xf.isStyle;
    style.locked = xf.locked;
    style.hidden = xf.hidden;
    style.hAlign = xf.hAlign;
    style.vAlign = xf.vAlign;
    style.wrap = xf.wrap;
    style.shrink = xf.shrink;
    style.indent = xf.indent;
    style.rotation = xf.rotation;
    style.left = {xf.left.style, color(xf.left.color)};
    style.right = {xf.right.style, color(xf.right.color)};
    style.top = {xf.top.style, color(xf.top.color)};
    style.bottom = {xf.bottom.style, color(xf.bottom.color)};
    style.pattern = xf.pattern;
    style.patternColor = color(xf.patternColor);
    style.patternBackground = color(xf.patternBackground);
  }
}

model::Workbook Parser::Run(const std::string& singleSheetName) {
  if (s_.size() < 8 || !IsBofId(Le16(&s_[0]))) {
    Damaged("the workbook stream does not start with a BOF record");
  }
  uint16_t bofId = Le16(&s_[0]);
  size_t bofLength = Le16(&s_[2]);
  if (bofLength < 4 || bofLength > s_.size() - 4) Damaged("the first BOF record is damaged");
  uint16_t vers = Le16(&s_[4]);
  uint16_t type = Le16(&s_[6]);
  switch (bofId) {
    case rec::kBof2: version_ = 2; break;
    case rec::kBof3: version_ = 3; break;
    case rec::kBof4: version_ = 4; break;
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
  // The default palette of BIFF5/7 differs from the newer one in one colour.
  if (version_ == 5) book_.palette[47 - 8] = 0xE3E3E3;
  book_.biff.codepage = version_ == 8 ? 1200 : 1252;
  text_.SetCodepage(book_.biff.codepage);

  bool globals = (version_ >= 5 && type == 0x0005) || (version_ == 4 && type == 0x0100);
  if (!globals) {
    // One sheet whose stream holds the workbook-wide records as well.
    Sheet& sheet = book_.sheets.emplace_back();
    sheet.name = singleSheetName;
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

  Substream globalsStream;
  size_t next = ReadSubstream(0, globalsStream);
  if (!drawingGroup_.empty()) {
    // Unpacked metafiles may take a few times the stream's size, never more.
    ReadPictureStore(drawingGroup_, 16 * s_.size() + (16u << 20), book_.blips);
    drawingGroup_.clear();
    drawingGroup_.shrink_to_fit();
  }
  if (entries_.empty()) Damaged("the workbook lists no sheets");
  book_.sheets.reserve(entries_.size());
  for (const SheetEntry& entry : entries_) {
    Sheet& sheet = book_.sheets.emplace_back();
    sheet.name = entry.name;
    sheet.visibility = static_cast<model::Visibility>(std::min<uint8_t>(entry.visibility, 2));
    switch (entry.type) {
      case 1: sheet.type = model::SheetType::Macro; break;
      case 2: sheet.type = model::SheetType::Chart; break;
      case 6: sheet.type = model::SheetType::Module; break;
      default: break;
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
      return at >= globalsEnd && s_.size() >= 8 && at <= s_.size() - 8 &&
             IsBofId(Le16(&s_[at])) && read.insert(at).second;
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
  FinishStyles();
  return std::move(book_);
}

std::string Megabytes(uint64_t bytes) { return std::to_string(bytes >> 20) + " MB"; }

}  // namespace

model::Workbook ReadWorkbookBytes(std::span<const uint8_t> bytes, container::MappedFile* mapping,
                                  const std::string& password, const std::string& singleSheetName) {
  const container::InputFormat format = container::DetectFormat(bytes);
  if (format == container::InputFormat::CompoundFile) {
    std::vector<uint8_t> stream;
    bool book = false;
    try {
      container::CompoundFile file(bytes);
      const container::CompoundContent content = container::ContentOf(file);
      if (content != container::CompoundContent::BiffWorkbook &&
          content != container::CompoundContent::BiffBook) {
        throw ReadError(container::NotAWorkbook(content));
      }
      book = content == container::CompoundContent::BiffBook;
      const std::string name = book ? "Book" : "Workbook";
      if (file.StreamSize(name) > model::kMaxStreamBytes) {
        throw ReadError("The workbook is too large: its workbook stream holds more than " +
                        Megabytes(model::kMaxStreamBytes));
      }
      stream = file.ReadStream(name);
    } catch (const container::ContainerError& e) {
      std::string what = e.what();
      const std::string prefix = "Damaged compound file: ";
      if (what.compare(0, prefix.size(), prefix) == 0) what = what.substr(prefix.size());
      Damaged(what);
    }
    if (mapping) mapping->Release();
    if (stream.empty()) Damaged("the workbook stream is empty");
    Parser parser(std::move(stream), password, true, book);
    return parser.Run(singleSheetName);
  }
  if (format == container::InputFormat::BiffStream) {
    if (bytes.size() > model::kMaxStreamBytes) {
      throw ReadError("The workbook is too large: its workbook stream holds more than " +
                      Megabytes(model::kMaxStreamBytes));
    }
    std::vector<uint8_t> stream(bytes.begin(), bytes.end());
    if (mapping) mapping->Release();
    Parser parser(std::move(stream), password, false);
    return parser.Run(singleSheetName);
  }
  throw ReadError(container::NotAWorkbook(bytes));
}

model::Workbook ReadWorkbook(std::span<const uint8_t> bytes, const std::string& password) {
  return ReadWorkbookBytes(bytes, nullptr, password, "Sheet1");
}

}  // namespace quillane::biff
