// Workbook-wide records: the code page and date mode, FONT, FORMAT, XF, PALETTE, BOUNDSHEET,
// SST and the drawing group, and at the end the model's styles made from them.
//
// Order of work: the records come in the globals substream (in a BIFF2-4 file inside the single
// sheet; a BIFF4 workbook's sheet may bring formatting records of its own, numbered from the
// workbook's count on, see Substream). FONT, FORMAT and XF records are kept as the file numbers
// them (model::Workbook::biff) and become the model's styles in FinishStyles, once the palette,
// which may come after them, is known.
// Invariants: font index 4 is never written by the format and is filled, so indexes stay those
// of the file; BIFF2 cell attributes that differ from their XF become XF records of their own.
// Bounds: BIFF2 cell attributes add XF records only below 0xFFFF of them; the SST stops where its
// data end, whatever its count says; every record is bounded by the stream it comes from.
#include <algorithm>

#include "spreadsheet/biff/Parser.h"
#include "spreadsheet/format/NumberFormat.h"

namespace quillane::biff::reader {

namespace {

constexpr const char* kWrongPassword =
    "The workbook is password-protected and the password did not open it";

// The text orientation of BIFF4-7 XF records (0 none, 1 letters stacked, 2 turned up, 3 down).
uint8_t RotationOfOrientation(unsigned orientation) {
  switch (orientation & 3) {
    case 1:
      return 255;
    case 2:
      return 90;
    case 3:
      return 180;
    default:
      return 0;
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

}  // namespace

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

void Parser::OnFilePass(std::span<const uint8_t> data, size_t next) {
  if (decryptor_) return;
  try {
    decryptor_ = Decryptor::Create(version_, data, password_);
  } catch (const model::PasswordError&) {
    throw model::PasswordError(kWrongPassword);
  }
  DecryptFrom(next);
}

void Parser::OnCodepage(ByteReader r) {
  book_.biff.codepage = r.U16();
  text_.SetCodepage(book_.biff.codepage);
}

void Parser::OnFont(uint16_t id, ByteReader r, Substream& st) {
  // A BIFF4 workbook's sheet may carry its own fonts, numbered after the workbook's.
  if (!st.ownFonts && st.sheet && !entries_.empty() && version_ == 4) {
    st.ownFonts = true;
    st.fontBase = static_cast<uint16_t>(book_.fonts.size());
  }
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
      case 0x01:
        font.underline = model::Underline::Single;
        break;
      case 0x02:
        font.underline = model::Underline::Double;
        break;
      case 0x21:
        font.underline = model::Underline::SingleAccounting;
        break;
      case 0x22:
        font.underline = model::Underline::DoubleAccounting;
        break;
      default:
        break;
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

void Parser::OnFontColor2(ByteReader r) {
  if (!book_.biff.fontColors.empty()) book_.biff.fontColors.back() = r.U16();
}

void Parser::OnFormat(uint16_t id, ByteReader r, Substream& st) {
  if (!st.ownFormats && st.sheet && !entries_.empty() && version_ == 4) {
    st.ownFormats = true;
    st.formatBase = book_.biff.formats.empty()
                        ? 0
                        : static_cast<uint16_t>(book_.biff.formats.rbegin()->first + 1);
  }
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

void Parser::OnXf(uint16_t id, ByteReader r, Substream& st) {
  if (!st.ownStyles && st.sheet && !entries_.empty() && version_ == 4) {
    st.ownStyles = true;
    st.styleBase = static_cast<uint16_t>(book_.biff.xfs.size());
  }
  XfRecord xf;
  auto fontIndex = [&](uint16_t font) { return static_cast<uint16_t>(st.fontBase + font); };
  auto formatIndex = [&](uint16_t format) { return static_cast<uint16_t>(st.formatBase + format); };
  if (id == rec::kXf) {  // BIFF5-8
    ReadXf58(r, xf);
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
    xf.bottom = {static_cast<uint8_t>((lines >> 16) & 7),
                 static_cast<uint16_t>((lines >> 19) & 0x1F)};
    xf.right = {static_cast<uint8_t>((lines >> 24) & 7),
                static_cast<uint16_t>((lines >> 27) & 0x1F)};
  }
  if (id == rec::kXf) {
    xf.font = fontIndex(xf.font);
    xf.format = formatIndex(xf.format);
  }
  book_.biff.xfs.push_back(std::move(xf));
}

// The XF record of BIFF5-8: indexes into the workbook's own FONT and FORMAT numbering.
void Parser::ReadXf58(ByteReader& r, XfRecord& xf) {
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
    xf.bottom = {static_cast<uint8_t>((fill >> 22) & 7),
                 static_cast<uint16_t>((fill >> 25) & 0x7F)};
    xf.top = {static_cast<uint8_t>(lines & 7), static_cast<uint16_t>((lines >> 9) & 0x7F)};
    xf.left = {static_cast<uint8_t>((lines >> 3) & 7), static_cast<uint16_t>((lines >> 16) & 0x7F)};
    xf.right = {static_cast<uint8_t>((lines >> 6) & 7),
                static_cast<uint16_t>((lines >> 23) & 0x7F)};
  }
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

void Parser::OnPalette(ByteReader r) {
  size_t count = std::min<size_t>(r.U16(), 56);
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* p = r.Bytes(4);
    book_.palette[i] = (static_cast<uint32_t>(p[0]) << 16) | (p[1] << 8) | p[2];
  }
}

void Parser::OnBoundSheet(ByteReader r, Substream& st) {
  if (st.sheet) return;  // sheets are listed in the globals only
  SheetEntry entry;
  entry.offset = r.U32();
  entry.visibility = r.U8() & 3;
  entry.type = r.U8();
  entry.name = version_ == 8 ? UnicodeShort(r) : ByteString8(r);
  entries_.push_back(std::move(entry));
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

}  // namespace quillane::biff::reader
