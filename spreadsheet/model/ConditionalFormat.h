// Conditional formats in the workbook model.
//
// A block covers one or more ranges of a sheet with rules in priority order. The page tries a
// cell's rules from the first: a rule that holds changes the cell's look where it says so (font
// colour and style, fill, borders) and later rules fill in only what the earlier ones left
// alone; a rule that holds and says "stop if true" ends the search. Colour scales and data bars
// always apply to the numbers of their ranges. Rules whose formula this engine cannot evaluate
// are not kept: the reader counts them by reason in `Sheet::conditionalRulesLeftOut`.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "spreadsheet/model/Basics.h"

namespace quillane::model {

// What a rule changes in a cell's look; what is not set stays as the cell's own style has it.
struct CfFill {
  uint8_t pattern = 1;  // as CellStyle::pattern: 1 solid, 2-18 the patterns
  Color color;          // the solid colour, or the pattern's foreground
  Color background;     // behind a pattern
};

struct DiffStyle {
  std::optional<Color> fontColor;
  std::optional<bool> bold, italic, strike;
  std::optional<Underline> underline;
  std::optional<CfFill> fill;
  std::optional<Border> left, right, top, bottom;

  bool Empty() const {
    return !fontColor && !bold && !italic && !strike && !underline && !fill && !left && !right &&
           !top && !bottom;
  }
};

enum class CfKind : uint8_t {
  CellValue,   // the cell's value compared with one or two operands
  Expression,  // holds when its formula gives true (a non-zero number, TRUE)
  ColorScale,  // a fill between two or three colours by the value's place in the range
  DataBar,     // a bar as long as the value's place in the range
};

enum class CfOperator : uint8_t {
  Between,
  NotBetween,
  Equal,
  NotEqual,
  Greater,
  Less,
  GreaterOrEqual,
  LessOrEqual,
};

// A constant, or one cell of the rule's sheet. A relative row or column of a reference moves
// with the cell being tested: it is kept as the distance from that cell (the reference as
// written for the block's first cell, less that cell).
struct CfOperand {
  enum class Kind : uint8_t { Number, Text, Boolean, Cell } kind = Kind::Number;
  double number = 0;  // Number; Boolean 0 or 1
  std::string text;
  int32_t row = 0, col = 0;
  bool rowRelative = false, colRelative = false;
};

// The functions an expression rule may call.
enum class CfFunction : uint8_t {
  Row,
  Column,
  Mod,
  And,
  Or,
  Not,
  IsBlank,
  IsNumber,
  IsText,
  IsEven,
  IsOdd,
  Len,
  Abs,
};

// One step of an expression rule's formula, in postfix order: an operand pushes its value (a
// cell reference also its place, for ROW and COLUMN); an operator or a call takes its arguments
// from the top.
struct CfToken {
  enum class Kind : uint8_t {
    Operand,
    Negate,
    Percent,
    Add,
    Subtract,
    Multiply,
    Divide,
    Power,
    Concat,
    Equal,
    NotEqual,
    Less,
    LessOrEqual,
    Greater,
    GreaterOrEqual,
    Call,
  } kind = Kind::Operand;
  CfOperand operand;  // Operand
  CfFunction function = CfFunction::Row;
  uint8_t args = 0;  // Call: the number of arguments
};

// Whether a postfix formula is whole: every step finds its arguments, calls have as many as
// their functions take, and one value is left.
inline bool WellFormed(const std::vector<CfToken>& formula) {
  size_t depth = 0;
  for (const CfToken& t : formula) {
    size_t takes = 0;
    switch (t.kind) {
      case CfToken::Kind::Operand:
        break;
      case CfToken::Kind::Negate:
      case CfToken::Kind::Percent:
        takes = 1;
        break;
      case CfToken::Kind::Call: {
        takes = t.args;
        const bool ok = t.function == CfFunction::Row || t.function == CfFunction::Column
                            ? t.args <= 1
                        : t.function == CfFunction::Mod ? t.args == 2
                        : t.function == CfFunction::And || t.function == CfFunction::Or
                            ? t.args >= 1 && t.args <= 30
                            : t.args == 1;
        if (!ok) return false;
        break;
      }
      default:
        takes = 2;
        break;
    }
    if (depth < takes) return false;
    depth = depth - takes + 1;
  }
  return depth == 1;
}

// A point of a colour scale or an end of a data bar.
struct CfThreshold {
  enum class Kind : uint8_t { Min, Max, Number, Percent, Percentile } kind = Kind::Min;
  double value = 0;
};

struct CfColorStop {
  CfThreshold threshold;
  Color color;
};

struct CfDataBar {
  Color color = Color::Rgb(0x638EC6);
  CfThreshold min{CfThreshold::Kind::Min, 0}, max{CfThreshold::Kind::Max, 0};
  uint8_t minLength = 10, maxLength = 90;  // % of the cell's width for the lowest and highest
  bool showValue = true;
  bool gradient = true;  // the bar fades towards its end
};

struct CfRule {
  CfKind kind = CfKind::CellValue;
  uint32_t priority = 0;  // sheet-wide; lower comes first
  bool stopIfTrue = false;
  CfOperator op = CfOperator::Between;
  std::vector<CfOperand> operands;  // CellValue: one, two for (not) between
  std::vector<CfToken> formula;     // Expression
  DiffStyle style;                  // CellValue and Expression
  std::vector<CfColorStop> scale;   // ColorScale: two or three, lowest first
  CfDataBar bar;                    // DataBar
};

struct ConditionalFormat {
  std::vector<Range> ranges;  // the first range's top-left cell is the block's first cell
  std::vector<CfRule> rules;  // by priority
};

}  // namespace quillane::model
