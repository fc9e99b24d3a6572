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

// What the rules gave one cell so far; the merged formats are shared (`Pass::merged_`), so a state
// is small whatever the rules set.
struct State {
  int32_t style = -1;  // index into Pass::merged_
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

Item ErrorItem() {
  Item e;
  e.value.rank = Value::Error;
  return e;
}

Item NumberItem(double v) {
  Item i;
  i.value.rank = Value::Number;
  i.value.number = v;
  return i;
}

Item BooleanItem(bool b) {
  Item i;
  i.value.rank = Value::Boolean;
  i.value.number = b;
  return i;
}

// A value as a number: texts that read as numbers, Booleans as 0 and 1, empty as 0.
bool ToNumber(const Value& v, double& out) {
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
}

bool ToText(const Value& v, std::string& out) {
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
}

// A function of a formula over its arguments, the items from `first` to the stack's top.
Item CallFunction(model::CfFunction function, size_t args, const std::vector<Item>& stack,
                  size_t first, const Cell& at) {
  using F = model::CfFunction;
  Item result = ErrorItem();
  double a = 0, b = 0;
  const Value* arg = args > 0 ? &stack[first].value : nullptr;
  switch (function) {
    case F::Row:
    case F::Column: {
      const bool row = function == F::Row;
      if (args == 0) {
        result = NumberItem(row ? at.row + 1.0 : at.col + 1.0);
      } else if (stack[first].ref) {
        result = NumberItem(static_cast<double>(row ? stack[first].row : stack[first].col) + 1);
      }
      break;
    }
    case F::Mod:
      if (ToNumber(*arg, a) && ToNumber(stack[first + 1].value, b) && b != 0)
        result = NumberItem(a - b * std::floor(a / b));
      break;
    case F::And:
    case F::Or: {
      bool all = true, any = false, ok = true;
      for (size_t k = first; k < stack.size(); ++k) {
        const Value& v = stack[k].value;
        if (v.rank == Value::Empty || v.rank == Value::Text) continue;
        if (!ToNumber(v, a)) ok = false;
        all = all && a != 0;
        any = any || a != 0;
      }
      if (ok) result = BooleanItem(function == F::And ? all : any);
      break;
    }
    case F::Not:
      if (ToNumber(*arg, a) && arg->rank != Value::Text) result = BooleanItem(a == 0);
      break;
    case F::IsBlank:
      result = BooleanItem(stack[first].ref && arg->rank == Value::Empty);
      break;
    case F::IsNumber:
      result = BooleanItem(arg->rank == Value::Number);
      break;
    case F::IsText:
      result = BooleanItem(arg->rank == Value::Text);
      break;
    case F::IsEven:
    case F::IsOdd:
      if (arg->rank != Value::Text && ToNumber(*arg, a)) {
        const bool even = std::fmod(std::trunc(a), 2.0) == 0;
        result = BooleanItem(function == F::IsEven ? even : !even);
      }
      break;
    case F::Len: {
      std::string s;
      if (ToText(*arg, s)) {
        size_t n = 0;
        for (unsigned char ch : s) n += (ch & 0xC0) != 0x80;
        result = NumberItem(static_cast<double>(n));
      }
      break;
    }
    case F::Abs:
      if (ToNumber(*arg, a)) result = NumberItem(std::fabs(a));
      break;
  }
  return result;
}

// A binary operator over `x` and `y`; a text it makes is kept in `texts` (reserved: stable).
Item BinaryOperator(model::CfToken::Kind kind, const Value& x, const Value& y,
                    std::vector<std::string>& texts) {
  using K = model::CfToken::Kind;
  Item result = ErrorItem();
  if (x.rank == Value::Error || y.rank == Value::Error) return result;
  if (kind >= K::Equal) {
    const int c = Compare(x, y);
    return BooleanItem(kind == K::Equal         ? c == 0
                       : kind == K::NotEqual    ? c != 0
                       : kind == K::Less        ? c < 0
                       : kind == K::LessOrEqual ? c <= 0
                       : kind == K::Greater     ? c > 0
                                                : c >= 0);
  }
  if (kind == K::Concat) {
    std::string a, b;
    if (ToText(x, a) && ToText(y, b)) {
      texts.push_back(a + b);
      result.value.rank = Value::Text;
      result.value.text = texts.back();
    }
    return result;
  }
  double a, b;
  if (ToNumber(x, a) && ToNumber(y, b)) {
    const double v = kind == K::Add        ? a + b
                     : kind == K::Subtract ? a - b
                     : kind == K::Multiply ? a * b
                     : kind == K::Divide   ? (b != 0 ? a / b : NAN)
                                           : std::pow(a, b);
    if (std::isfinite(v)) result = NumberItem(v);
  }
  return result;
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
    std::vector<Item>& stack = stack_;
    std::vector<std::string>& texts = texts_;  // the texts made on the way (stable: reserved)
    stack.clear();
    texts.clear();
    texts.reserve(formula.size());
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
          top =
              ToNumber(top.value, v) ? NumberItem(t.kind == K::Negate ? -v : v / 100) : ErrorItem();
          break;
        }
        case K::Call: {
          const size_t first = stack.size() - t.args;
          Item result = CallFunction(t.function, t.args, stack, first, at);
          stack.resize(first);
          stack.push_back(result);
          break;
        }
        default: {  // the binary operators
          const Item right = stack.back();
          stack.pop_back();
          Item& left = stack.back();
          left = BinaryOperator(t.kind, left.value, right.value, texts);
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

// The work of CondFormats::Prepare over one sheet: the rules in priority order over the cells
// of their blocks, then over the blank positions of the page, within the sheet's budgets.
class Pass {
 public:
  Pass(const model::Workbook& book, const model::Sheet& sheet,
       const std::vector<const Cell*>& cells)
      : sheet_(sheet),
        cells_(cells),
        eval_(book, cells),
        steps_(64 * static_cast<int64_t>(cells.size()) + (int64_t{1} << 24)),
        budget_(steps_),
        slot_(cells.size(), -1) {}

  // The rules over the cells that hold a value.
  void ApplyToCells() {
    Cover();
    Order();
    for (const Ref& ref : order_) {
      const CfRule& rule = sheet_.conditionalFormats[ref.block].rules[ref.rule];
      const std::vector<size_t>& list = covered_[ref.block];
      Spend(list.size(), rule);
      if (rule.kind == CfKind::CellValue || rule.kind == CfKind::Expression) {
        for (size_t i : list) {
          const State* known = Find(i);
          if (known && known->stopped) continue;
          if (!eval_.Holds(rule, *cells_[i])) continue;
          State& s = Make(i);
          s.style = MergeId(s.style, &rule.style);
          s.stopped = rule.stopIfTrue;
        }
        continue;
      }
      // Colour scales and data bars: over the numbers of the block.
      std::vector<double> sorted;
      for (size_t i : list) {
        if (cells_[i]->type == CellType::Number && std::isfinite(cells_[i]->number))
          sorted.push_back(cells_[i]->number);
      }
      if (sorted.empty()) continue;
      std::sort(sorted.begin(), sorted.end());
      if (rule.kind == CfKind::ColorScale)
        ApplyScale(rule, list, sorted);
      else
        ApplyBar(rule.bar, list, sorted);
    }
  }

  // The cell-value and expression rules over the blank positions of the page up to `lastRow`
  // and `lastCol`.
  void ApplyToBlanks(int64_t lastRow, int64_t lastCol) {
    BlankPositions(lastRow, lastCol);
    blankStates_.assign(blankKeys_.size(), State{});
    touched_.assign(blankKeys_.size(), 0);
    for (const Ref& ref : order_) {
      const CfRule& rule = sheet_.conditionalFormats[ref.block].rules[ref.rule];
      if (rule.kind != CfKind::CellValue && rule.kind != CfKind::Expression) continue;
      const std::vector<uint64_t>& list = blanks_[ref.block];
      Spend(list.size(), rule);
      size_t at = 0;
      for (uint64_t key : list) {  // both ascending: the index only moves forward
        while (blankKeys_[at] < key) ++at;
        State& s = blankStates_[at];
        if (s.stopped) continue;
        Cell blank;
        blank.row = static_cast<uint32_t>(key >> 16);
        blank.col = static_cast<uint16_t>(key & 0xFFFF);
        if (!eval_.Holds(rule, blank)) continue;
        s.style = MergeId(s.style, &rule.style);
        s.stopped = rule.stopIfTrue;
        touched_[at] = 1;
      }
    }
  }

  const State* Find(size_t i) const { return slot_[i] < 0 ? nullptr : &states_[slot_[i]]; }
  const model::DiffStyle& Merged(int32_t id) const { return merged_[static_cast<size_t>(id)]; }
  // The blank positions a rule was tested at, ascending, and what the rules gave them.
  const std::vector<uint64_t>& BlankKeys() const { return blankKeys_; }
  const State* BlankState(size_t i) const { return touched_[i] ? &blankStates_[i] : nullptr; }

 private:
  struct Ref {
    uint32_t priority;
    size_t block, rule;
  };

  // Past a bound the sheet is refused: rules applied in part would pass for the whole look.
  [[noreturn]] void TooMuch(int64_t bound, const std::string& what, const std::string& rule) const {
    throw PublishError("The conditional formats of sheet \"" + sheet_.name +
                       "\" need too much work: more than " + std::to_string(bound) + " " + what +
                       ", the most for a sheet of its cells (" + rule + ")");
  }
  void Spend(size_t positions, const CfRule& rule) {
    budget_ -= static_cast<int64_t>(positions * (rule.formula.size() + rule.operands.size() + 1));
    if (budget_ <= 0) TooMuch(steps_, "formula steps", "64 per cell and 16,777,216 more");
  }

  // The cells of each block that hold a value, as indexes into `cells_`.
  void Cover() {
    covered_.resize(sheet_.conditionalFormats.size());
    for (size_t b = 0; b < sheet_.conditionalFormats.size(); ++b) {
      std::vector<size_t>& list = covered_[b];
      for (const model::Range& range : sheet_.conditionalFormats[b].ranges) {
        auto it = std::lower_bound(cells_.begin(), cells_.end(), range.firstRow,
                                   [](const Cell* c, uint32_t row) { return c->row < row; });
        for (; it != cells_.end() && (*it)->row <= range.lastRow; ++it) {
          if (--budget_ <= 0) TooMuch(steps_, "formula steps", "64 per cell and 16,777,216 more");
          const Cell& c = **it;
          if (c.col >= range.firstCol && c.col <= range.lastCol && c.type != CellType::Blank)
            list.push_back(static_cast<size_t>(it - cells_.begin()));
        }
      }
      if (sheet_.conditionalFormats[b].ranges.size() > 1) {
        std::sort(list.begin(), list.end());
        list.erase(std::unique(list.begin(), list.end()), list.end());
      }
    }
  }

  void Order() {
    for (size_t b = 0; b < sheet_.conditionalFormats.size(); ++b) {
      const auto& rules = sheet_.conditionalFormats[b].rules;
      for (size_t r = 0; r < rules.size(); ++r) order_.push_back({rules[r].priority, b, r});
    }
    std::stable_sort(order_.begin(), order_.end(),
                     [](const Ref& x, const Ref& y) { return x.priority < y.priority; });
  }

  // The format merged from `from` (an index, or -1) and `add`, made once for each pair.
  int32_t MergeId(int32_t from, const model::DiffStyle* add) {
    auto [it, added] = memo_.try_emplace({from, add}, static_cast<int32_t>(merged_.size()));
    if (added) {
      model::DiffStyle d = from < 0 ? model::DiffStyle{} : merged_[static_cast<size_t>(from)];
      Merge(d, *add);
      merged_.push_back(std::move(d));
    }
    return it->second;
  }
  State& Make(size_t i) {
    if (slot_[i] < 0) {
      slot_[i] = static_cast<int32_t>(states_.size());
      states_.emplace_back();
    }
    return states_[slot_[i]];
  }

  void ApplyScale(const CfRule& rule, const std::vector<size_t>& list,
                  const std::vector<double>& sorted) {
    if (rule.scale.size() < 2) return;
    std::vector<double> at;
    for (const auto& stop : rule.scale) at.push_back(ThresholdValue(stop.threshold, sorted));
    for (size_t k = 1; k < at.size(); ++k) at[k] = std::max(at[k], at[k - 1]);
    for (size_t i : list) {
      if (cells_[i]->type != CellType::Number || !std::isfinite(cells_[i]->number)) continue;
      const State* known = Find(i);
      if (known && (known->stopped || known->hasScale ||
                    (known->style >= 0 && merged_[known->style].fill))) {
        continue;
      }
      const double v = cells_[i]->number;
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
      State& s = Make(i);
      s.scaleFill = color;
      s.hasScale = true;
    }
  }

  void ApplyBar(const model::CfDataBar& bar, const std::vector<size_t>& list,
                const std::vector<double>& sorted) {
    const double lo = ThresholdValue(bar.min, sorted);
    const double hi = std::max(lo, ThresholdValue(bar.max, sorted));
    const int minLength = std::min(bar.minLength, bar.maxLength);
    const int maxLength = std::max(bar.minLength, bar.maxLength);
    for (size_t i : list) {
      if (cells_[i]->type != CellType::Number || !std::isfinite(cells_[i]->number)) continue;
      const State* known = Find(i);
      if (known && (known->stopped || known->barPercent >= 0)) continue;
      const double share = hi > lo ? std::clamp((cells_[i]->number - lo) / (hi - lo), 0.0, 1.0)
                                   : (cells_[i]->number >= hi ? 1.0 : 0.0);
      State& s = Make(i);
      s.barPercent = static_cast<int>(std::lround(minLength + share * (maxLength - minLength)));
      s.barColor = bar.color.Or(0x638EC6);
      s.barGradient = bar.gradient;
      s.hideValue = !bar.showValue;
    }
  }

  // Each block with a cell-value or expression rule lists the positions of its ranges inside
  // the page that hold no value, up to a budget of its own (a banded whole column over a long
  // sheet is millions of positions, each a cell of the page).
  void BlankPositions(int64_t lastRow, int64_t lastCol) {
    blanks_.resize(sheet_.conditionalFormats.size());
    const int64_t positions = 4 * static_cast<int64_t>(cells_.size()) + (int64_t{1} << 22);
    int64_t blankBudget = positions;
    for (size_t b = 0; b < sheet_.conditionalFormats.size() && lastRow >= 0 && lastCol >= 0; ++b) {
      const model::ConditionalFormat& block = sheet_.conditionalFormats[b];
      if (std::none_of(block.rules.begin(), block.rules.end(), [](const CfRule& r) {
            return r.kind == CfKind::CellValue || r.kind == CfKind::Expression;
          })) {
        continue;
      }
      std::vector<uint64_t>& list = blanks_[b];
      for (const model::Range& range : block.ranges) {
        if (range.firstRow > lastRow || range.firstCol > lastCol) continue;
        const uint32_t r1 = static_cast<uint32_t>(std::min<int64_t>(range.lastRow, lastRow));
        const uint16_t c1 = static_cast<uint16_t>(std::min<int64_t>(range.lastCol, lastCol));
        blankBudget -= int64_t{r1 - range.firstRow + 1} * (c1 - range.firstCol + 1);
        if (blankBudget < 0) TooMuch(positions, "blank positions", "4 per cell and 4,194,304 more");
        for (uint32_t row = range.firstRow; row <= r1; ++row) BlankRow(row, range, c1, list);
      }
      if (block.ranges.size() > 1) {
        std::sort(list.begin(), list.end());
        list.erase(std::unique(list.begin(), list.end()), list.end());
      }
      blankKeys_.insert(blankKeys_.end(), list.begin(), list.end());
    }
    std::sort(blankKeys_.begin(), blankKeys_.end());
    blankKeys_.erase(std::unique(blankKeys_.begin(), blankKeys_.end()), blankKeys_.end());
  }

  // The positions of `row` from the range's first column to `c1` that hold no value.
  void BlankRow(uint32_t row, const model::Range& range, uint16_t c1, std::vector<uint64_t>& list) {
    auto it = std::lower_bound(cells_.begin(), cells_.end(), std::pair{row, range.firstCol},
                               [](const Cell* c, std::pair<uint32_t, uint16_t> k) {
                                 return c->row != k.first ? c->row < k.first : c->col < k.second;
                               });
    for (uint32_t col = range.firstCol; col <= c1; ++col) {
      while (it != cells_.end() && (*it)->row == row && (*it)->col < col) ++it;
      if (it != cells_.end() && (*it)->row == row && (*it)->col == col &&
          (*it)->type != CellType::Blank) {
        continue;
      }
      list.push_back((static_cast<uint64_t>(row) << 16) | col);
    }
  }

  const model::Sheet& sheet_;
  const std::vector<const Cell*>& cells_;
  const Evaluator eval_;
  const int64_t steps_;  // the budget of formula steps, and what is left of it
  int64_t budget_;
  std::vector<std::vector<size_t>> covered_;  // per block
  std::vector<Ref> order_;                    // the rules, by priority
  // The state of each cell a rule touched: slot_[i] indexes `states_`.
  std::vector<int32_t> slot_;
  std::vector<State> states_;
  // The formats merged so far, each made once for a (merged format, rule) pair.
  std::vector<model::DiffStyle> merged_;
  std::map<std::pair<int32_t, const model::DiffStyle*>, int32_t> memo_;
  std::vector<std::vector<uint64_t>> blanks_;  // per block
  std::vector<uint64_t> blankKeys_;
  std::vector<State> blankStates_;
  std::vector<uint8_t> touched_;
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
  Pass pass(book, sheet, cells);
  pass.ApplyToCells();
  pass.ApplyToBlanks(lastRow, lastCol);

  std::unordered_map<LookKey, int32_t, LookKeyHash> ids;
  for (size_t i = 0; i < cells.size(); ++i) {
    const State* s = pass.Find(i);
    if (!s) continue;
    static const model::DiffStyle kNone;
    const model::DiffStyle& style = s->style >= 0 ? pass.Merged(s->style) : kNone;
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
  const std::vector<uint64_t>& keys = pass.BlankKeys();
  for (size_t i = 0; i < keys.size(); ++i) {
    const State* s = pass.BlankState(i);
    if (!s || s->style < 0) continue;
    const model::DiffStyle& d = pass.Merged(s->style);
    if (!d.fill && !d.left && !d.right && !d.top && !d.bottom) continue;  // nothing to see
    CondLook look{d, std::nullopt, -1, 0, false, false};
    auto [it, added] = ids.try_emplace(KeyOf(*s), static_cast<int32_t>(looks_.size()));
    if (added) looks_.push_back(std::move(look));
    blankKeys_.push_back(keys[i]);
    blankLooks_.push_back(it->second);
    const uint32_t row = static_cast<uint32_t>(keys[i] >> 16);
    if (blankRows_.empty() || blankRows_.back() != row) blankRows_.push_back(row);
  }
}

}  // namespace quillane::publish
