// A sheet's conditional formats: CONDFMT opens a block (its ranges), the CF records after it are
// its rules: a comparison of the cell's value with one or two formulas, or a formula of its own,
// and the differential format (DXFN) the rule applies. CONDFMT12 and CF12 do the same for the
// newer rules, of which colour scales and data bars are kept.
//
// A cell-value rule is kept when its formulas are constants (a number, a text, a Boolean, with
// signs) or one cell reference each; a formula rule when it uses only the operators and the
// functions the page evaluates (model::CfFunction). Any other rule is left out and counted in
// the sheet by reason.
// Invariants: a block's ranges lie inside the grid; a CF record without a block before it is
// left out; a DXFN is read only as far as the record holds it (ShortRecord drops the rule).
#include <algorithm>
#include <cmath>
#include <optional>

#include "spreadsheet/biff/Parser.h"

namespace quillane::biff::reader {

namespace {

using model::CfOperand;
using model::CfRule;
using model::CfThreshold;
using model::CfToken;
using model::Color;
using model::DiffStyle;

constexpr const char* kUnevaluated = "formula the engine cannot evaluate";

// A CF formula as postfix steps, or nullopt when it holds anything this engine does not
// evaluate. Relative references become distances from the block's first cell.
std::optional<std::vector<CfToken>> ReadFormula(std::span<const uint8_t> rgce, uint32_t baseRow,
                                                uint32_t baseCol) {
  using K = CfToken::Kind;
  using F = model::CfFunction;
  ByteReader r(rgce);
  std::vector<CfToken> out;
  auto op = [&](K kind) { out.push_back(CfToken{kind, {}, F::Row, 0}); };
  auto call = [&](uint16_t iftab, uint8_t args) {
    static constexpr std::pair<uint16_t, F> kFunctions[] = {
        {8, F::Row},      {9, F::Column}, {39, F::Mod},      {36, F::And},
        {37, F::Or},      {38, F::Not},   {129, F::IsBlank}, {128, F::IsNumber},
        {127, F::IsText}, {32, F::Len},   {24, F::Abs}};
    for (const auto& [id, function] : kFunctions) {
      if (id == iftab) {
        out.push_back(CfToken{K::Call, {}, function, args});
        return true;
      }
    }
    return false;
  };
  while (!r.AtEnd()) {
    const uint8_t ptg = r.U8();
    if (ptg >= 0x03 && ptg <= 0x0E) {
      static constexpr K kBinary[] = {K::Add,   K::Subtract,       K::Multiply, K::Divide,
                                      K::Power, K::Concat,         K::Less,     K::LessOrEqual,
                                      K::Equal, K::GreaterOrEqual, K::Greater,  K::NotEqual};
      op(kBinary[ptg - 0x03]);
      continue;
    }
    CfOperand o;
    switch (ptg) {
      case 0x12:  // unary plus
      case 0x15:  // parentheses
        continue;
      case 0x13:
        op(K::Negate);
        continue;
      case 0x14:
        op(K::Percent);
        continue;
      case 0x19: {  // attributes: spaces and the volatile mark are passed over
        const uint8_t kind = r.U8();
        r.Skip(2);
        if (kind != 0x40 && kind != 0x01) return std::nullopt;
        continue;
      }
      case 0x21:
      case 0x41:
      case 0x61: {
        static constexpr std::pair<uint16_t, uint8_t> kArity[] = {
            {39, 2}, {38, 1}, {129, 1}, {128, 1}, {127, 1}, {32, 1}, {24, 1}};
        const uint16_t iftab = r.U16();
        const auto* a = std::find_if(std::begin(kArity), std::end(kArity),
                                     [&](const auto& e) { return e.first == iftab; });
        if (a == std::end(kArity) || !call(iftab, a->second)) return std::nullopt;
        continue;
      }
      case 0x22:
      case 0x42:
      case 0x62: {
        const uint8_t args = r.U8() & 0x7F;
        if (!call(r.U16() & 0x7FFF, args)) return std::nullopt;
        continue;
      }
      case 0x1E:
        o.number = r.U16();
        break;
      case 0x1F:
        o.number = r.Double();
        break;
      case 0x1D:
        o.kind = CfOperand::Kind::Boolean;
        o.number = r.U8() ? 1 : 0;
        break;
      case 0x17: {
        o.kind = CfOperand::Kind::Text;
        const size_t count = r.U8();
        if (r.U8() & 1) {
          AppendUtf16(o.text, r.Bytes(count * 2), count);
        } else {
          AppendLatin1(o.text, r.Bytes(count), count);
        }
        break;
      }
      case 0x24:
      case 0x44:
      case 0x64:
      case 0x2C:
      case 0x4C:
      case 0x6C: {
        o.kind = CfOperand::Kind::Cell;
        const uint16_t row = r.U16();
        const uint16_t col = r.U16();
        o.rowRelative = col & 0x8000;
        o.colRelative = col & 0x4000;
        const bool offsets = (ptg & 0x0F) == 0x0C;  // PtgRefN: relative parts are offsets
        if (o.rowRelative) {
          o.row = offsets ? static_cast<int16_t>(row) : static_cast<int32_t>(row - baseRow);
        } else {
          o.row = row;
        }
        if (o.colRelative) {
          o.col = offsets ? static_cast<int8_t>(col & 0xFF)
                          : static_cast<int32_t>((col & 0x3FFF) - baseCol);
        } else {
          o.col = col & 0x3FFF;
        }
        break;
      }
      default:
        return std::nullopt;
    }
    out.push_back(CfToken{K::Operand, std::move(o), F::Row, 0});
  }
  if (!model::WellFormed(out)) return std::nullopt;
  return out;
}

// The operand a cell-value rule compares with: a constant (a number with its signs) or one
// cell.
std::optional<CfOperand> ReadOperand(std::span<const uint8_t> rgce, uint32_t baseRow,
                                     uint32_t baseCol) {
  auto formula = ReadFormula(rgce, baseRow, baseCol);
  if (!formula || formula->front().kind != CfToken::Kind::Operand) return std::nullopt;
  CfOperand o = std::move(formula->front().operand);
  for (size_t i = 1; i < formula->size(); ++i) {
    if ((*formula)[i].kind != CfToken::Kind::Negate || o.kind != CfOperand::Kind::Number)
      return std::nullopt;
    o.number = -o.number;
  }
  return o;
}

// A DXFN: the parts of a look a rule sets. Colours are palette numbers.
DiffStyle ReadDxfn(ByteReader& r, const model::Workbook& book) {
  DiffStyle style;
  const uint32_t flags = r.U32();
  const uint16_t more = r.U16();
  if (flags & (1u << 25)) {  // number format
    if (more & 1) {
      const uint16_t size = r.U16();
      r.Skip(size >= 2 ? size - 2 : 0);
    } else {
      r.Skip(2);
    }
  }
  if (flags & (1u << 26)) {  // font
    const uint8_t* f = r.Bytes(118);
    const uint32_t ts = Le32(f + 68);
    const uint16_t weight = Le16(f + 72);
    const uint8_t underline = f[76];
    const uint32_t color = Le32(f + 80);
    const uint32_t tsNinch = Le32(f + 88);
    const uint32_t ulsNinch = Le32(f + 96);
    const uint32_t blsNinch = Le32(f + 100);
    if (!(tsNinch & 0x02)) style.italic = (ts & 0x02) != 0;
    if (!(tsNinch & 0x80)) style.strike = (ts & 0x80) != 0;
    if (!blsNinch && weight >= 100 && weight <= 1000) style.bold = weight >= 600;
    if (!ulsNinch && underline != 0xFF) {
      style.underline = underline == 1      ? model::Underline::Single
                        : underline == 2    ? model::Underline::Double
                        : underline == 0x21 ? model::Underline::SingleAccounting
                        : underline == 0x22 ? model::Underline::DoubleAccounting
                                            : model::Underline::None;
    }
    if (color != 0xFFFFFFFF && color <= 0xFFFF) {
      const Color c = book.IndexedColor(static_cast<uint16_t>(color));
      if (!c.automatic) style.fontColor = c;
    }
  }
  if (flags & (1u << 27)) r.Skip(8);  // alignment
  if (flags & (1u << 28)) {           // borders
    const uint32_t b1 = r.U32();
    const uint32_t b2 = r.U32();
    auto line = [&](bool ninch, uint32_t lineStyle, uint32_t icv,
                    std::optional<model::Border>& to) {
      if (ninch) return;
      to = model::Border{static_cast<uint8_t>(lineStyle), book.IndexedColor(icv & 0x7F)};
    };
    line(flags & (1u << 10), b1 & 0xF, b1 >> 16, style.left);
    line(flags & (1u << 11), (b1 >> 4) & 0xF, b1 >> 23, style.right);
    line(flags & (1u << 12), (b1 >> 8) & 0xF, b2, style.top);
    line(flags & (1u << 13), (b1 >> 12) & 0xF, b2 >> 7, style.bottom);
  }
  if (flags & (1u << 29)) {  // pattern
    const uint16_t p1 = r.U16();
    const uint16_t p2 = r.U16();
    const bool patternSet = !(flags & (1u << 16));
    const bool foreSet = !(flags & (1u << 17));
    const bool backSet = !(flags & (1u << 18));
    const uint8_t pattern = patternSet ? static_cast<uint8_t>(p1 >> 10) : 1;
    const Color fore = foreSet ? book.IndexedColor(p2 & 0x7F) : Color::Auto();
    const Color back = backSet ? book.IndexedColor((p2 >> 7) & 0x7F) : Color::Auto();
    // A solid fill of a differential format shows its background colour.
    if (pattern == 1 && (backSet || foreSet)) {
      style.fill = model::CfFill{1, backSet ? back : fore, Color::Auto()};
    } else if (pattern > 1 && pattern <= 18) {
      style.fill = model::CfFill{pattern, fore, back};
    }
  }
  if (flags & (1u << 30)) r.Skip(2);  // protection
  return style;
}

// A CFColor: automatic, a palette number, RGB or a theme colour (of the default theme), with a
// tint.
Color ReadCfColor(ByteReader& r, const model::Workbook& book) {
  static constexpr uint32_t kTheme[12] = {0xFFFFFF, 0x000000, 0xE7E6E6, 0x44546A,
                                          0x4472C4, 0xED7D31, 0xA5A5A5, 0xFFC000,
                                          0x5B9BD5, 0x70AD47, 0x0563C1, 0x954F72};
  const uint32_t type = r.U32();
  const uint8_t* v = r.Bytes(4);
  const double tint = r.Double();
  uint32_t rgb;
  switch (type) {
    case 1: {
      const Color c = book.IndexedColor(Le16(v));
      if (c.automatic) return c;
      rgb = c.rgb;
      break;
    }
    case 2:
      rgb = (uint32_t{v[0]} << 16) | (uint32_t{v[1]} << 8) | v[2];
      break;
    case 3:
      rgb = kTheme[std::min<uint32_t>(Le32(v), 11)];
      break;
    default:
      return Color::Auto();
  }
  return Color::Rgb(model::ApplyTint(rgb, tint));
}

// A CFVO; false when its value comes from a formula (not evaluated).
bool ReadCfvo(ByteReader& r, CfThreshold& t) {
  const uint8_t type = r.U8();
  const uint16_t cce = r.U16();
  r.Skip(cce);
  const bool hasNumber = cce == 0 && type != 2 && type != 3;
  const double value = hasNumber ? r.Double() : 0;
  switch (type) {
    case 1:
      t = {CfThreshold::Kind::Number, value};
      break;
    case 2:
      t = {CfThreshold::Kind::Min, 0};
      break;
    case 3:
      t = {CfThreshold::Kind::Max, 0};
      break;
    case 4:
      t = {CfThreshold::Kind::Percent, value};
      break;
    case 5:
      t = {CfThreshold::Kind::Percentile, value};
      break;
    default:
      return false;
  }
  return cce == 0;
}

}  // namespace

void Parser::OnCondFmt(uint16_t id, ByteReader r, Substream& st) {
  st.condFormat = -1;
  if (id == rec::kCondFmt12) r.Skip(12);
  r.U16();  // the number of rules
  r.U16();  // nID
  const uint16_t boundRow = r.U16();
  r.U16();
  const uint16_t boundCol = r.U16();
  r.U16();
  const size_t count = r.U16();
  model::ConditionalFormat block;
  for (size_t i = 0; i < count && r.Remaining() >= 8; ++i) {
    model::Range range = ReadRange(r);
    if (ClipToGrid(range)) block.ranges.push_back(range);
  }
  if (block.ranges.empty()) return;
  st.cfBaseRow = boundRow;
  st.cfBaseCol = boundCol;
  st.sheet->conditionalFormats.push_back(std::move(block));
  st.condFormat = static_cast<int64_t>(st.sheet->conditionalFormats.size() - 1);
}

void Parser::OnCf(uint16_t id, ByteReader r, Substream& st) {
  if (st.condFormat < 0) return;
  auto& leftOut = st.sheet->conditionalRulesLeftOut;
  if (id == rec::kCf12) r.Skip(12);
  const uint8_t ct = r.U8();
  const uint8_t cp = r.U8();
  const uint16_t cce1 = r.U16();
  const uint16_t cce2 = r.U16();
  CfRule rule;
  if (id == rec::kCf12) {
    const uint32_t cbDxf = r.U32();
    if (cbDxf == 0) {
      r.Skip(2);
    } else {
      const size_t start = r.Position();
      rule.style = ReadDxfn(r, book_);
      const size_t used = r.Position() - start;
      if (cbDxf > used) r.Skip(cbDxf - used);  // the extended colours that follow
    }
  } else {
    rule.style = ReadDxfn(r, book_);
  }
  const std::span<const uint8_t> rgce1(r.Bytes(cce1), cce1);
  const std::span<const uint8_t> rgce2(r.Bytes(cce2), cce2);
  if (id == rec::kCf12) {
    r.Skip(r.U16());  // the formula that makes the rule active
    const uint8_t bits = r.U8();
    rule.stopIfTrue = bits & 0x02;
    r.Skip(2 + 2 + 1 + 16);  // priority (the order of the records is kept), template
  }
  switch (ct) {
    case 1:
    case 2: {
      if (ct == 1 && (cp < 1 || cp > 8)) {
        ++leftOut["comparison of an unknown kind"];
        return;
      }
      if (ct == 2) {
        auto formula = ReadFormula(rgce1, st.cfBaseRow, st.cfBaseCol);
        if (!formula) {
          ++leftOut[kUnevaluated];
          return;
        }
        rule.kind = model::CfKind::Expression;
        rule.formula = std::move(*formula);
        break;
      }
      rule.kind = model::CfKind::CellValue;
      rule.op = static_cast<model::CfOperator>(cp - 1);
      const size_t needed = cp <= 2 ? 2 : 1;
      for (size_t i = 0; i < needed; ++i) {
        auto operand = ReadOperand(i == 0 ? rgce1 : rgce2, st.cfBaseRow, st.cfBaseCol);
        if (!operand) {
          ++leftOut[kUnevaluated];
          return;
        }
        rule.operands.push_back(std::move(*operand));
      }
      break;
    }
    case 3: {  // colour scale
      r.Skip(3);
      const uint8_t points = r.U8();
      const uint8_t colors = r.U8();
      r.U8();
      if (points < 2 || points > 3 || colors != points) {
        ++leftOut["colour scale of an unknown kind"];
        return;
      }
      rule.kind = model::CfKind::ColorScale;
      rule.scale.resize(points);
      bool evaluated = true;
      for (auto& stop : rule.scale) {
        evaluated = ReadCfvo(r, stop.threshold) && evaluated;
        r.Double();
      }
      for (auto& stop : rule.scale) {
        r.Double();
        stop.color = ReadCfColor(r, book_);
      }
      if (!evaluated) {
        ++leftOut[kUnevaluated];
        return;
      }
      break;
    }
    case 4: {  // data bar
      r.Skip(3);
      const uint8_t bits = r.U8();
      rule.kind = model::CfKind::DataBar;
      rule.bar.showValue = bits & 0x02;
      rule.bar.minLength = std::min<uint8_t>(r.U8(), 100);
      rule.bar.maxLength = std::min<uint8_t>(r.U8(), 100);
      const Color color = ReadCfColor(r, book_);
      if (!color.automatic) rule.bar.color = color;
      const bool a = ReadCfvo(r, rule.bar.min);
      const bool b = ReadCfvo(r, rule.bar.max);
      if (!a || !b) {
        ++leftOut[kUnevaluated];
        return;
      }
      break;
    }
    case 5:
      ++leftOut["top, bottom or average rule"];
      return;
    case 6:
      ++leftOut["icon set"];
      return;
    default:
      ++leftOut["rule of an unknown kind"];
      return;
  }
  rule.priority = st.cfPriority++;
  st.sheet->conditionalFormats[static_cast<size_t>(st.condFormat)].rules.push_back(std::move(rule));
}

}  // namespace quillane::biff::reader
