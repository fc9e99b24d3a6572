// Applying conditional formats: rules in priority order over the cells of their blocks.
//
// Order of work: every rule of the sheet, lowest priority number first, visits the cells of its
// block that hold a value. A cell-value or expression rule that holds adds what its format sets
// and the cell has not got yet; one that holds and says "stop if true" ends the rules for that
// cell. A colour scale gives a number its colour unless a rule before it set a fill; a data bar
// gives a number its bar unless one did before. Values compare as the application compares them:
// numbers below texts below Booleans, texts without regard to case, an empty cell as 0, "" or
// FALSE; an error never matches.
// Bounds: the work grows with the cells each block covers times its rules and the steps of
// their formulas, within a budget of 64 steps per cell of the sheet (and 16 million more); the
// blank positions that rules colour, within 4 per cell (and 4 million more). A sheet whose rules
// need more is refused with an error that names the bound (PublishError), never applied in part,
// so a hostile file of many blocks over whole columns costs a bounded time.
#include "spreadsheet/publish/CondFormats.h"

#include "spreadsheet/publish/PagePublisher.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>
#include <unordered_map>

namespace quillane::publish {

namespace {

using model::Cell;
using model::CellType;
using model::CfKind;
using model::CfOperand;
using model::CfRule;
using model::CfThreshold;

struct Value {
  enum Rank : int8_t { Empty = -1, Number = 0, Text = 1, Boolean = 2, Error = 3 } rank = Empty;
  double number = 0;
  std::string_view text;
};

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

int CompareText(std::string_view a, std::string_view b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const char x = Lower(a[i]), y = Lower(b[i]);
    if (x != y) return static_cast<unsigned char>(x) < static_cast<unsigned char>(y) ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

// An empty value takes the kind of the other side.
int Compare(Value a, Value b) {
  if (a.rank == Value::Empty) a.rank = b.rank == Value::Empty ? Value::Number : b.rank;
  if (b.rank == Value::Empty) b.rank = a.rank;
  if (a.rank != b.rank) return a.rank < b.rank ? -1 : 1;
  if (a.rank == Value::Text) return CompareText(a.text, b.text);
  return a.number < b.number ? -1 : a.number > b.number ? 1 : 0;
}

// What the rules gave one cell so far; the merged formats are shared (`Styles`), so a state is
// small whatever the rules set.
struct State {
  int32_t style = -1;  // index into Styles::merged
  int32_t barPercent = -1;
  uint32_t scaleFill = 0, barColor = 0;
  bool hasScale = false, barGradient = false, hideValue = false, stopped = false;
};

// A stack item of a formula: a value, and for a cell reference its place.
struct Item {
  Value value;
  bool ref = false;
  int64_t row = 0, col = 0;
};

template <typename T>
void Fill(std::optional<T>& to, const std::optional<T>& from) {
  if (!to && from) to = from;
}

void Merge(model::DiffStyle& to, const model::DiffStyle& from) {
  Fill(to.fontColor, from.fontColor);
  Fill(to.bold, from.bold);
  Fill(to.italic, from.italic);
  Fill(to.strike, from.strike);
  Fill(to.underline, from.underline);
  Fill(to.fill, from.fill);
  Fill(to.left, from.left);
  Fill(to.right, from.right);
  Fill(to.top, from.top);
  Fill(to.bottom, from.bottom);
}

// A state's look as two numbers: the same numbers are the same look.
struct LookKey {
  uint64_t a, b;
  bool operator==(const LookKey&) const = default;
};
struct LookKeyHash {
  size_t operator()(const LookKey& k) const { return std::hash<uint64_t>()(k.a * 31 + k.b); }
};

LookKey KeyOf(const State& s) {
  const uint64_t scale = s.hasScale ? (uint64_t{1} << 24) | s.scaleFill : 0;
  const uint64_t flags = (s.barGradient ? 1u : 0u) | (s.hideValue ? 2u : 0u);
  return {(static_cast<uint64_t>(static_cast<uint32_t>(s.style)) << 32) | scale,
          (static_cast<uint64_t>(static_cast<uint32_t>(s.barPercent)) << 32) |
              (static_cast<uint64_t>(s.barColor) << 8) | flags};
}

// The value a threshold stands for among `sorted` numbers (not empty).
double ThresholdValue(const CfThreshold& t, const std::vector<double>& sorted) {
  const double lo = sorted.front(), hi = sorted.back();
  switch (t.kind) {
    case CfThreshold::Kind::Min:
      return lo;
    case CfThreshold::Kind::Max:
      return hi;
    case CfThreshold::Kind::Number:
      return t.value;
    case CfThreshold::Kind::Percent:
      return lo + (hi - lo) * std::clamp(t.value, 0.0, 100.0) / 100.0;
    case CfThreshold::Kind::Percentile: {
      const double rank = std::clamp(t.value, 0.0, 100.0) / 100.0 * (sorted.size() - 1);
      const size_t below = static_cast<size_t>(std::floor(rank));
      const size_t above = std::min(below + 1, sorted.size() - 1);
      return sorted[below] + (sorted[above] - sorted[below]) * (rank - below);
    }
  }
  return lo;
}

uint32_t Blend(uint32_t a, uint32_t b, double share) {  // share of b
  uint32_t out = 0;
  for (int shift = 16; shift >= 0; shift -= 8) {
    const double x = (a >> shift) & 0xFF, y = (b >> shift) & 0xFF;
    out |= static_cast<uint32_t>(std::lround(x + (y - x) * share)) << shift;
  }
  return out;
}

class Evaluator {
 public:
  Evaluator(const model::Workbook& book, const std::vector<const Cell*>& cells)
      : book_(book), cells_(cells) {}

  Value ValueOf(const Cell* cell) const {
    Value v;
    if (!cell) return v;
    switch (cell->type) {
      case CellType::Number:
        v.rank = Value::Number;
        v.number = cell->number;
        break;
      case CellType::String:
        v.rank = Value::Text;
        if (cell->text < book_.strings.size()) v.text = book_.strings[cell->text];
        break;
      case CellType::Boolean:
        v.rank = Value::Boolean;
        v.number = cell->code;
        break;
      case CellType::Error:
        v.rank = Value::Error;
        break;
      case CellType::Blank:
        break;
    }
    return v;
  }

  Value OperandValue(const CfOperand& o, const Cell& at) const {
    Value v;
    switch (o.kind) {
      case CfOperand::Kind::Number:
        v.rank = Value::Number;
        v.number = o.number;
        return v;
      case CfOperand::Kind::Text:
        v.rank = Value::Text;
        v.text = o.text;
        return v;
      case CfOperand::Kind::Boolean:
        v.rank = Value::Boolean;
        v.number = o.number;
        return v;
      case CfOperand::Kind::Cell: {
        const int64_t row = o.rowRelative ? int64_t{at.row} + o.row : o.row;
        const int64_t col = o.colRelative ? int64_t{at.col} + o.col : o.col;
        if (row < 0 || col < 0 || row > UINT32_MAX || col > UINT16_MAX) return v;
        return ValueOf(Find(static_cast<uint32_t>(row), static_cast<uint16_t>(col)));
      }
    }
    return v;
  }

  // An expression rule's formula for the cell `at`: true when it gives a non-zero number or TRUE.
  bool Formula(const std::vector<model::CfToken>& formula, const Cell& at) const {
    using K = model::CfToken::Kind;
    using F = model::CfFunction;
    std::vector<Item>& stack = stack_;
    std::vector<std::string>& texts = texts_;  // the texts made on the way (stable: reserved)
    stack.clear();
    texts.clear();
    texts.reserve(formula.size());
    auto error = [] {
      Item e;
      e.value.rank = Value::Error;
      return e;
    };
    auto number = [](double v) {
      Item i;
      i.value.rank = Value::Number;
      i.value.number = v;
      return i;
    };
    auto boolean = [](bool b) {
      Item i;
      i.value.rank = Value::Boolean;
      i.value.number = b;
      return i;
    };
    // A value as a number: texts that read as numbers, Booleans as 0 and 1, empty as 0.
    auto toNumber = [](const Value& v, double& out) {
      switch (v.rank) {
        case Value::Empty:
          out = 0;
          return true;
        case Value::Number:
        case Value::Boolean:
          out = v.number;
          return true;
        case Value::Text: {
          std::string_view t = v.text;
          while (!t.empty() && t.front() == ' ') t.remove_prefix(1);
          while (!t.empty() && t.back() == ' ') t.remove_suffix(1);
          auto [p, ec] = std::from_chars(t.data(), t.data() + t.size(), out);
          return !t.empty() && ec == std::errc() && p == t.data() + t.size();
        }
        default:
          return false;
      }
    };
    auto toText = [&](const Value& v, std::string& out) {
      switch (v.rank) {
        case Value::Empty:
          return true;
        case Value::Text:
          out = v.text;
          return true;
        case Value::Boolean:
          out = v.number != 0 ? "TRUE" : "FALSE";
          return true;
        case Value::Number: {
          char buf[32];
          auto [p, ec] = std::to_chars(buf, buf + sizeof buf, v.number);
          if (ec != std::errc()) return false;
          out.assign(buf, p);
          return true;
        }
        default:
          return false;
      }
    };
    for (const model::CfToken& t : formula) {
      switch (t.kind) {
        case K::Operand: {
          Item item;
          if (t.operand.kind == CfOperand::Kind::Cell) {
            item.ref = true;
            item.row = t.operand.rowRelative ? int64_t{at.row} + t.operand.row : t.operand.row;
            item.col = t.operand.colRelative ? int64_t{at.col} + t.operand.col : t.operand.col;
          }
          item.value = OperandValue(t.operand, at);
          stack.push_back(item);
          break;
        }
        case K::Negate:
        case K::Percent: {
          double v;
          Item& top = stack.back();
          top = toNumber(top.value, v) ? number(t.kind == K::Negate ? -v : v / 100) : error();
          break;
        }
        case K::Call: {
          const size_t first = stack.size() - t.args;
          Item result = error();
          double a = 0, b = 0;
          const Value* arg = t.args > 0 ? &stack[first].value : nullptr;
          switch (t.function) {
            case F::Row:
            case F::Column: {
              const bool row = t.function == F::Row;
              if (t.args == 0) {
                result = number(row ? at.row + 1.0 : at.col + 1.0);
              } else if (stack[first].ref) {
                result = number(static_cast<double>(row ? stack[first].row : stack[first].col) + 1);
              }
              break;
            }
            case F::Mod:
              if (toNumber(*arg, a) && toNumber(stack[first + 1].value, b) && b != 0)
                result = number(a - b * std::floor(a / b));
              break;
            case F::And:
            case F::Or: {
              bool all = true, any = false, ok = true;
              for (size_t k = first; k < stack.size(); ++k) {
                const Value& v = stack[k].value;
                if (v.rank == Value::Empty || v.rank == Value::Text) continue;
                if (!toNumber(v, a)) ok = false;
                all = all && a != 0;
                any = any || a != 0;
              }
              if (ok) result = boolean(t.function == F::And ? all : any);
              break;
            }
            case F::Not:
              if (toNumber(*arg, a) && arg->rank != Value::Text) result = boolean(a == 0);
              break;
            case F::IsBlank:
              result = boolean(stack[first].ref && arg->rank == Value::Empty);
              break;
            case F::IsNumber:
              result = boolean(arg->rank == Value::Number);
              break;
            case F::IsText:
              result = boolean(arg->rank == Value::Text);
              break;
            case F::IsEven:
            case F::IsOdd:
              if (arg->rank != Value::Text && toNumber(*arg, a)) {
                const bool even = std::fmod(std::trunc(a), 2.0) == 0;
                result = boolean(t.function == F::IsEven ? even : !even);
              }
              break;
            case F::Len: {
              std::string s;
              if (toText(*arg, s)) {
                size_t n = 0;
                for (unsigned char ch : s) n += (ch & 0xC0) != 0x80;
                result = number(static_cast<double>(n));
              }
              break;
            }
            case F::Abs:
              if (toNumber(*arg, a)) result = number(std::fabs(a));
              break;
          }
          stack.resize(first);
          stack.push_back(result);
          break;
        }
        default: {  // the binary operators
          const Item right = stack.back();
          stack.pop_back();
          Item& left = stack.back();
          const Value x = left.value, y = right.value;
          Item result = error();
          if (x.rank == Value::Error || y.rank == Value::Error) {
          } else if (t.kind >= K::Equal) {
            const int c = Compare(x, y);
            result = boolean(t.kind == K::Equal         ? c == 0
                             : t.kind == K::NotEqual    ? c != 0
                             : t.kind == K::Less        ? c < 0
                             : t.kind == K::LessOrEqual ? c <= 0
                             : t.kind == K::Greater     ? c > 0
                                                        : c >= 0);
          } else if (t.kind == K::Concat) {
            std::string a, b;
            if (toText(x, a) && toText(y, b)) {
              texts.push_back(a + b);
              result.value.rank = Value::Text;
              result.value.text = texts.back();
            }
          } else {
            double a, b;
            if (toNumber(x, a) && toNumber(y, b)) {
              const double v = t.kind == K::Add        ? a + b
                               : t.kind == K::Subtract ? a - b
                               : t.kind == K::Multiply ? a * b
                               : t.kind == K::Divide   ? (b != 0 ? a / b : NAN)
                                                       : std::pow(a, b);
              if (std::isfinite(v)) result = number(v);
            }
          }
          left = result;
          break;
        }
      }
    }
    if (stack.size() != 1) return false;
    const Value& v = stack.back().value;
    return (v.rank == Value::Number || v.rank == Value::Boolean) && v.number != 0;
  }

  bool Holds(const CfRule& rule, const Cell& cell) const {
    if (rule.kind == CfKind::Expression) return Formula(rule.formula, cell);
    if (rule.operands.empty()) return false;
    const Value first = OperandValue(rule.operands[0], cell);
    const Value v = ValueOf(&cell);
    if (v.rank == Value::Error || first.rank == Value::Error) return false;
    using Op = model::CfOperator;
    switch (rule.op) {
      case Op::Between:
      case Op::NotBetween: {
        if (rule.operands.size() < 2) return false;
        Value lo = first, hi = OperandValue(rule.operands[1], cell);
        if (hi.rank == Value::Error) return false;
        if (Compare(lo, hi) > 0) std::swap(lo, hi);
        const bool inside = Compare(v, lo) >= 0 && Compare(v, hi) <= 0;
        return rule.op == Op::Between ? inside : !inside;
      }
      case Op::Equal:
        return Compare(v, first) == 0;
      case Op::NotEqual:
        return Compare(v, first) != 0;
      case Op::Greater:
        return Compare(v, first) > 0;
      case Op::Less:
        return Compare(v, first) < 0;
      case Op::GreaterOrEqual:
        return Compare(v, first) >= 0;
      case Op::LessOrEqual:
        return Compare(v, first) <= 0;
    }
    return false;
  }

  const Cell* Find(uint32_t row, uint16_t col) const {
    auto it = std::lower_bound(cells_.begin(), cells_.end(), std::pair{row, col},
                               [](const Cell* c, std::pair<uint32_t, uint16_t> k) {
                                 return c->row != k.first ? c->row < k.first : c->col < k.second;
                               });
    return it != cells_.end() && (*it)->row == row && (*it)->col == col ? *it : nullptr;
  }

 private:
  const model::Workbook& book_;
  const std::vector<const Cell*>& cells_;
  mutable std::vector<Item> stack_;  // reused by every formula
  mutable std::vector<std::string> texts_;
};

}  // namespace

int CondFormats::LookAt(uint32_t row, uint16_t col) const {
  const uint64_t key = (static_cast<uint64_t>(row) << 16) | col;
  auto it = std::lower_bound(blankKeys_.begin(), blankKeys_.end(), key);
  return it != blankKeys_.end() && *it == key ? blankLooks_[it - blankKeys_.begin()] : -1;
}

void CondFormats::Prepare(const model::Workbook& book, const model::Sheet& sheet,
                          const std::vector<const Cell*>& cells, int64_t lastRow, int64_t lastCol) {
  lookOf_.clear();
  looks_.clear();
  blankKeys_.clear();
  blankLooks_.clear();
  blankRows_.clear();
  changed_ = 0;
  base_ = sheet.cells.data();
  if (sheet.conditionalFormats.empty()) return;
  const Evaluator eval(book, cells);
  const int64_t steps = 64 * static_cast<int64_t>(cells.size()) + (int64_t{1} << 24);
  int64_t budget = steps;
  // Past a bound the sheet is refused: rules applied in part would pass for the whole look.
  auto tooMuch = [&](int64_t bound, const std::string& what, const std::string& rule) {
    throw PublishError("The conditional formats of sheet \"" + sheet.name +
                       "\" need too much work: more than " + std::to_string(bound) + " " + what +
                       ", the most for a sheet of its cells (" + rule + ")");
  };

  // The cells of each block that hold a value, as indexes into `cells`.
  std::vector<std::vector<size_t>> covered(sheet.conditionalFormats.size());
  for (size_t b = 0; b < sheet.conditionalFormats.size(); ++b) {
    std::vector<size_t>& list = covered[b];
    for (const model::Range& range : sheet.conditionalFormats[b].ranges) {
      auto it = std::lower_bound(cells.begin(), cells.end(), range.firstRow,
                                 [](const Cell* c, uint32_t row) { return c->row < row; });
      for (; it != cells.end() && (*it)->row <= range.lastRow; ++it) {
        if (--budget <= 0) tooMuch(steps, "formula steps", "64 per cell and 16,777,216 more");
        const Cell& c = **it;
        if (c.col >= range.firstCol && c.col <= range.lastCol && c.type != CellType::Blank)
          list.push_back(static_cast<size_t>(it - cells.begin()));
      }
    }
    if (sheet.conditionalFormats[b].ranges.size() > 1) {
      std::sort(list.begin(), list.end());
      list.erase(std::unique(list.begin(), list.end()), list.end());
    }
  }

  struct Ref {
    uint32_t priority;
    size_t block, rule;
  };
  std::vector<Ref> order;
  for (size_t b = 0; b < sheet.conditionalFormats.size(); ++b) {
    const auto& rules = sheet.conditionalFormats[b].rules;
    for (size_t r = 0; r < rules.size(); ++r) order.push_back({rules[r].priority, b, r});
  }
  std::stable_sort(order.begin(), order.end(),
                   [](const Ref& x, const Ref& y) { return x.priority < y.priority; });

  // The state of each cell a rule touched: slot[i] indexes `states`.
  std::vector<int32_t> slot(cells.size(), -1);
  std::vector<State> states;
  // The formats merged so far, each made once for a (merged format, rule) pair.
  std::vector<model::DiffStyle> merged;
  std::map<std::pair<int32_t, const model::DiffStyle*>, int32_t> memo;
  auto mergeId = [&](int32_t from, const model::DiffStyle* add) {
    auto [it, added] = memo.try_emplace({from, add}, static_cast<int32_t>(merged.size()));
    if (added) {
      model::DiffStyle d = from < 0 ? model::DiffStyle{} : merged[static_cast<size_t>(from)];
      Merge(d, *add);
      merged.push_back(std::move(d));
    }
    return it->second;
  };
  auto find = [&](size_t i) -> State* { return slot[i] < 0 ? nullptr : &states[slot[i]]; };
  auto make = [&](size_t i) -> State& {
    if (slot[i] < 0) {
      slot[i] = static_cast<int32_t>(states.size());
      states.emplace_back();
    }
    return states[slot[i]];
  };
  for (const Ref& ref : order) {
    const CfRule& rule = sheet.conditionalFormats[ref.block].rules[ref.rule];
    const std::vector<size_t>& list = covered[ref.block];
    budget -= static_cast<int64_t>(list.size() * (rule.formula.size() + rule.operands.size() + 1));
    if (budget <= 0) tooMuch(steps, "formula steps", "64 per cell and 16,777,216 more");
    if (rule.kind == CfKind::CellValue || rule.kind == CfKind::Expression) {
      for (size_t i : list) {
        const Cell& cell = *cells[i];
        const State* known = find(i);
        if (known && known->stopped) continue;
        if (!eval.Holds(rule, cell)) continue;
        State& s = make(i);
        s.style = mergeId(s.style, &rule.style);
        s.stopped = rule.stopIfTrue;
      }
      continue;
    }
    // Colour scales and data bars: over the numbers of the block.
    std::vector<double> sorted;
    for (size_t i : list) {
      if (cells[i]->type == CellType::Number && std::isfinite(cells[i]->number))
        sorted.push_back(cells[i]->number);
    }
    if (sorted.empty()) continue;
    std::sort(sorted.begin(), sorted.end());
    if (rule.kind == CfKind::ColorScale) {
      if (rule.scale.size() < 2) continue;
      std::vector<double> at;
      for (const auto& stop : rule.scale) at.push_back(ThresholdValue(stop.threshold, sorted));
      for (size_t k = 1; k < at.size(); ++k) at[k] = std::max(at[k], at[k - 1]);
      for (size_t i : list) {
        if (cells[i]->type != CellType::Number || !std::isfinite(cells[i]->number)) continue;
        const State* known = find(i);
        if (known && (known->stopped || known->hasScale ||
                      (known->style >= 0 && merged[known->style].fill))) {
          continue;
        }
        const double v = cells[i]->number;
        uint32_t color = rule.scale.back().color.Or(0xFFFFFF);
        if (v <= at.front()) {
          color = rule.scale.front().color.Or(0xFFFFFF);
        } else {
          for (size_t k = 1; k < at.size(); ++k) {
            if (v <= at[k]) {
              const double span = at[k] - at[k - 1];
              color = Blend(rule.scale[k - 1].color.Or(0xFFFFFF), rule.scale[k].color.Or(0xFFFFFF),
                            span > 0 ? (v - at[k - 1]) / span : 1);
              break;
            }
          }
        }
        State& s = make(i);
        s.scaleFill = color;
        s.hasScale = true;
      }
    } else {
      const model::CfDataBar& bar = rule.bar;
      const double lo = ThresholdValue(bar.min, sorted);
      const double hi = std::max(lo, ThresholdValue(bar.max, sorted));
      const int minLength = std::min(bar.minLength, bar.maxLength);
      const int maxLength = std::max(bar.minLength, bar.maxLength);
      for (size_t i : list) {
        if (cells[i]->type != CellType::Number || !std::isfinite(cells[i]->number)) continue;
        const State* known = find(i);
        if (known && (known->stopped || known->barPercent >= 0)) continue;
        const double share = hi > lo ? std::clamp((cells[i]->number - lo) / (hi - lo), 0.0, 1.0)
                                     : (cells[i]->number >= hi ? 1.0 : 0.0);
        State& s = make(i);
        s.barPercent = static_cast<int>(std::lround(minLength + share * (maxLength - minLength)));
        s.barColor = bar.color.Or(0x638EC6);
        s.barGradient = bar.gradient;
        s.hideValue = !bar.showValue;
      }
    }
  }

  // Blank positions: each block with a cell-value or expression rule lists the positions of its
  // ranges inside the page that hold no value, up to a budget of its own (a banded whole column
  // over a long sheet is millions of positions, each a cell of the page).
  std::vector<std::vector<uint64_t>> blanks(sheet.conditionalFormats.size());
  std::vector<uint64_t> blankKeys;
  const int64_t positions = 4 * static_cast<int64_t>(cells.size()) + (int64_t{1} << 22);
  int64_t blankBudget = positions;
  for (size_t b = 0; b < sheet.conditionalFormats.size() && lastRow >= 0 && lastCol >= 0; ++b) {
    const model::ConditionalFormat& block = sheet.conditionalFormats[b];
    if (std::none_of(block.rules.begin(), block.rules.end(), [](const CfRule& r) {
          return r.kind == CfKind::CellValue || r.kind == CfKind::Expression;
        })) {
      continue;
    }
    std::vector<uint64_t>& list = blanks[b];
    for (const model::Range& range : block.ranges) {
      if (range.firstRow > lastRow || range.firstCol > lastCol) continue;
      const uint32_t r1 = static_cast<uint32_t>(std::min<int64_t>(range.lastRow, lastRow));
      const uint16_t c1 = static_cast<uint16_t>(std::min<int64_t>(range.lastCol, lastCol));
      blankBudget -= int64_t{r1 - range.firstRow + 1} * (c1 - range.firstCol + 1);
      if (blankBudget < 0) tooMuch(positions, "blank positions", "4 per cell and 4,194,304 more");
      for (uint32_t row = range.firstRow; row <= r1; ++row) {
        auto it =
            std::lower_bound(cells.begin(), cells.end(), std::pair{row, range.firstCol},
                             [](const Cell* c, std::pair<uint32_t, uint16_t> k) {
                               return c->row != k.first ? c->row < k.first : c->col < k.second;
                             });
        for (uint32_t col = range.firstCol; col <= c1; ++col) {
          while (it != cells.end() && (*it)->row == row && (*it)->col < col) ++it;
          if (it != cells.end() && (*it)->row == row && (*it)->col == col &&
              (*it)->type != CellType::Blank) {
            continue;
          }
          list.push_back((static_cast<uint64_t>(row) << 16) | col);
        }
      }
    }
    if (block.ranges.size() > 1) {
      std::sort(list.begin(), list.end());
      list.erase(std::unique(list.begin(), list.end()), list.end());
    }
    blankKeys.insert(blankKeys.end(), list.begin(), list.end());
  }
  std::sort(blankKeys.begin(), blankKeys.end());
  blankKeys.erase(std::unique(blankKeys.begin(), blankKeys.end()), blankKeys.end());
  std::vector<State> blankStates(blankKeys.size());
  std::vector<uint8_t> touched(blankKeys.size(), 0);
  for (const Ref& ref : order) {
    const CfRule& rule = sheet.conditionalFormats[ref.block].rules[ref.rule];
    if (rule.kind != CfKind::CellValue && rule.kind != CfKind::Expression) continue;
    const std::vector<uint64_t>& list = blanks[ref.block];
    budget -= static_cast<int64_t>(list.size() * (rule.formula.size() + rule.operands.size() + 1));
    if (budget <= 0) tooMuch(steps, "formula steps", "64 per cell and 16,777,216 more");
    size_t at = 0;
    for (uint64_t key : list) {  // both ascending: the index only moves forward
      while (blankKeys[at] < key) ++at;
      State& s = blankStates[at];
      if (s.stopped) continue;
      Cell blank;
      blank.row = static_cast<uint32_t>(key >> 16);
      blank.col = static_cast<uint16_t>(key & 0xFFFF);
      if (!eval.Holds(rule, blank)) continue;
      s.style = mergeId(s.style, &rule.style);
      s.stopped = rule.stopIfTrue;
      touched[at] = 1;
    }
  }

  std::unordered_map<LookKey, int32_t, LookKeyHash> ids;
  for (size_t i = 0; i < cells.size(); ++i) {
    const State* s = find(i);
    if (!s) continue;
    static const model::DiffStyle kNone;
    const model::DiffStyle& style = s->style >= 0 ? merged[static_cast<size_t>(s->style)] : kNone;
    CondLook look{
        style,          s->hasScale ? std::optional<uint32_t>(s->scaleFill) : std::nullopt,
        s->barPercent,  s->barColor,
        s->barGradient, s->hideValue};
    if (!look.Changes()) continue;
    auto [it, added] = ids.try_emplace(KeyOf(*s), static_cast<int32_t>(looks_.size()));
    if (added) looks_.push_back(std::move(look));
    const size_t at = static_cast<size_t>(cells[i] - base_);
    if (at >= sheet.cells.size()) continue;  // not a cell of the sheet
    if (lookOf_.empty()) lookOf_.assign(sheet.cells.size(), -1);
    lookOf_[at] = it->second;
    ++changed_;
  }
  for (size_t i = 0; i < blankKeys.size(); ++i) {
    if (!touched[i] || blankStates[i].style < 0) continue;
    const State& s = blankStates[i];
    const model::DiffStyle& d = merged[static_cast<size_t>(s.style)];
    if (!d.fill && !d.left && !d.right && !d.top && !d.bottom) continue;  // nothing to see
    CondLook look{d, std::nullopt, -1, 0, false, false};
    auto [it, added] = ids.try_emplace(KeyOf(s), static_cast<int32_t>(looks_.size()));
    if (added) looks_.push_back(std::move(look));
    blankKeys_.push_back(blankKeys[i]);
    blankLooks_.push_back(it->second);
    const uint32_t row = static_cast<uint32_t>(blankKeys[i] >> 16);
    if (blankRows_.empty() || blankRows_.back() != row) blankRows_.push_back(row);
  }
}

}  // namespace quillane::publish
