// Conditional formats of .xls sheets: CONDFMT with CF records, CONDFMT12 with CF12 records.
#include <gtest/gtest.h>

#include "RecordWriter.h"
#include "spreadsheet/biff/WorkbookReader.h"

using namespace quillane;
using namespace quillane::biff::test;
using model::CfKind;
using model::CfOperand;
using model::CfThreshold;

namespace {

Data CondFmt(uint16_t rules, uint16_t r1, uint16_t r2, uint16_t c1, uint16_t c2) {
  return Data()
      .U16(rules)
      .U16(1)
      .U16(r1)
      .U16(r2)
      .U16(c1)
      .U16(c2)
      .U16(1)
      .U16(r1)
      .U16(r2)
      .U16(c1)
      .U16(c2);
}

// A CF record: comparison `cp` (0 for a formula rule) with a DXFN of the given flags and blocks.
Data Cf(uint8_t ct, uint8_t cp, const std::vector<uint8_t>& f1, const std::vector<uint8_t>& f2,
        uint32_t flags, const std::vector<uint8_t>& blocks) {
  return Data()
      .U8(ct)
      .U8(cp)
      .U16(static_cast<uint16_t>(f1.size()))
      .U16(static_cast<uint16_t>(f2.size()))
      .U32(flags)
      .U16(0)
      .Raw(blocks)
      .Raw(f1)
      .Raw(f2);
}

Data Cfvo(uint8_t type, double value) {
  Data d;
  d.U8(type).U16(0);
  if (type != 2 && type != 3) d.Double(value);
  return d;
}

Data RgbColor(uint8_t r, uint8_t g, uint8_t b) {
  return Data().U32(2).U8(r).U8(g).U8(b).U8(0).Double(0);
}

// A CF12 record of kind `ct` followed by `body` (a CFGradient or CFDatabar).
Data Cf12(uint8_t ct, const Data& body) {
  Data d;
  d.U16(0x087A).U16(0).Raw(std::vector<uint8_t>(8, 0)).U8(ct).U8(0).U16(0).U16(0);
  d.U32(0).U16(0);                                                       // no format
  d.U16(0).U8(0).U16(1).U16(0).U8(16).Raw(std::vector<uint8_t>(16, 0));  // active, flags, ...
  return d.Raw(body.bytes);
}

}  // namespace

TEST(CondFormatReader, RulesFormatsAndLeftOut) {
  auto bytes = Book8(
      [](Stream&) {},
      [](Stream& s) {
        s.Record(0x01B0, CondFmt(5, 1, 9, 1, 2));  // B2:C10
        // Between 10 and 20.5, solid fill of palette colour 10 (red).
        const uint32_t pattern = 1u << 29 | 1u << 17;
        s.Record(0x01B1, Cf(1, 1, {0x1E, 10, 0}, Data().U8(0x1F).Double(20.5).bytes, pattern,
                            Data().U16(1 << 10).U16(10 << 7).bytes));
        // Greater than the cell two columns right (relative), italic blue font.
        std::vector<uint8_t> font(118, 0);
        font[68] = 0x02;
        font[80] = 12;
        font[88] = 0x80;
        font[96] = font[100] = 1;
        s.Record(0x01B1, Cf(1, 5, {0x44, 1, 0, 3, 0xC0}, {}, 1u << 26, font));
        // SUM is a function this engine does not evaluate; MOD(ROW(),2)=0
        // and -5 are kept.
        s.Record(0x01B1, Cf(2, 0, {0x1E, 1, 0, 0x42, 1, 4, 0}, {}, 0, {}));
        s.Record(0x01B1,
                 Cf(2, 0, {0x42, 0, 8, 0, 0x1E, 2, 0, 0x41, 39, 0, 0x1E, 0, 0, 0x0B}, {}, 0, {}));
        s.Record(0x01B1, Cf(1, 3, {0x1E, 5, 0, 0x13}, {}, 0, {}));
        // Newer rules: a three-colour scale, a data bar, an icon set.
        Data head;
        head.U16(0x0879).U16(1).Raw(std::vector<uint8_t>(8, 0));
        s.Record(0x0879, Data().Raw(head.bytes).Raw(CondFmt(3, 0, 4, 0, 0).bytes));
        Data scale;
        scale.U16(0).U8(0).U8(3).U8(3).U8(0);
        scale.Raw(Cfvo(2, 0).bytes).Double(0).Raw(Cfvo(5, 50).bytes).Double(0.5);
        scale.Raw(Cfvo(3, 0).bytes).Double(1);
        scale.Double(0).Raw(RgbColor(0xF8, 0x69, 0x6B).bytes);
        scale.Double(0.5).Raw(RgbColor(0xFF, 0xEB, 0x84).bytes);
        scale.Double(1).Raw(RgbColor(0x63, 0xBE, 0x7B).bytes);
        s.Record(0x087A, Cf12(3, scale));
        Data bar;
        bar.U16(0).U8(0).U8(0).U8(0).U8(100).Raw(RgbColor(0, 0x80, 0).bytes);
        bar.Raw(Cfvo(1, 2).bytes).Raw(Cfvo(4, 80).bytes);
        s.Record(0x087A, Cf12(4, bar));
        s.Record(0x087A, Cf12(6, Data()));
      });
  model::Workbook book = biff::ReadWorkbook(bytes, "");
  const model::Sheet& sheet = book.sheets.at(0);
  ASSERT_EQ(sheet.conditionalFormats.size(), 2u);
  const auto& first = sheet.conditionalFormats[0];
  ASSERT_EQ(first.ranges.size(), 1u);
  EXPECT_EQ(first.ranges[0].firstRow, 1u);
  EXPECT_EQ(first.ranges[0].lastCol, 2u);
  ASSERT_EQ(first.rules.size(), 4u);
  const auto& between = first.rules[0];
  EXPECT_EQ(between.op, model::CfOperator::Between);
  ASSERT_EQ(between.operands.size(), 2u);
  EXPECT_EQ(between.operands[0].number, 10);
  EXPECT_EQ(between.operands[1].number, 20.5);
  ASSERT_TRUE(between.style.fill);
  EXPECT_EQ(between.style.fill->color, model::Color::Rgb(0xFF0000));
  EXPECT_FALSE(between.style.fontColor);
  const auto& greater = first.rules[1];
  ASSERT_EQ(greater.operands.size(), 1u);
  const CfOperand& ref = greater.operands[0];
  EXPECT_EQ(ref.kind, CfOperand::Kind::Cell);
  EXPECT_TRUE(ref.rowRelative && ref.colRelative);
  EXPECT_EQ(ref.row, 0);  // B2 -> D2, counted from B2
  EXPECT_EQ(ref.col, 2);
  EXPECT_EQ(greater.style.italic, true);
  EXPECT_FALSE(greater.style.strike);
  EXPECT_FALSE(greater.style.bold);
  EXPECT_EQ(greater.style.fontColor, model::Color::Rgb(0x0000FF));
  using K = model::CfToken::Kind;
  std::vector<K> steps;
  for (const auto& t : first.rules[2].formula) steps.push_back(t.kind);
  EXPECT_EQ(steps, (std::vector<K>{K::Call, K::Operand, K::Call, K::Operand, K::Equal}));
  EXPECT_EQ(first.rules[2].formula[2].function, model::CfFunction::Mod);
  EXPECT_EQ(first.rules[3].operands.at(0).number, -5);
  EXPECT_LT(first.rules[1].priority, first.rules[2].priority);

  const auto& newer = sheet.conditionalFormats[1];
  ASSERT_EQ(newer.rules.size(), 2u);
  const auto& scale = newer.rules[0];
  EXPECT_EQ(scale.kind, CfKind::ColorScale);
  ASSERT_EQ(scale.scale.size(), 3u);
  EXPECT_EQ(scale.scale[1].threshold.kind, CfThreshold::Kind::Percentile);
  EXPECT_EQ(scale.scale[1].threshold.value, 50);
  EXPECT_EQ(scale.scale[2].color, model::Color::Rgb(0x63BE7B));
  const auto& bar = newer.rules[1];
  EXPECT_EQ(bar.kind, CfKind::DataBar);
  EXPECT_FALSE(bar.bar.showValue);
  EXPECT_EQ(bar.bar.maxLength, 100);
  EXPECT_EQ(bar.bar.color, model::Color::Rgb(0x008000));
  EXPECT_EQ(bar.bar.min.kind, CfThreshold::Kind::Number);
  EXPECT_EQ(bar.bar.min.value, 2);
  EXPECT_EQ(bar.bar.max.kind, CfThreshold::Kind::Percent);

  const std::map<std::string, uint32_t> leftOut = {{"formula the engine cannot evaluate", 1},
                                                   {"icon set", 1}};
  EXPECT_EQ(sheet.conditionalRulesLeftOut, leftOut);
}
