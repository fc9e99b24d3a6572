// Applying conditional formats: rules in priority order over the cells of their blocks.
//
// Order of work: every rule of the sheet, lowest priority number first, visits the cells of its
// block that hold a value. A cell-value or expression rule that holds adds what its format sets
// and the cell has not got yet; one that holds and says "stop if true" ends the rules for that
// cell. A colour scale gives a number its colour unless a rule before it set a fill; a data bar
// gives a number its bar unless one did before. Values compare as the application compares them:
// numbers below texts below Booleans, texts without regard to case, an empty cell as 0, "" or
// FALSE; an error never matches.
// Bounds: the work grows with the cells each block covers times its rules.
#include "spreadsheet/publish/CondFormats.h"

#include <algorithm>
#include <cmath>

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

struct State {
  model::DiffStyle style;
  std::optional<uint32_t> scaleFill;
  int barPercent = -1;
  uint32_t barColor = 0;
  bool barGradient = false, hideValue = false;
  bool stopped = false;
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

void KeyColor(std::string& key, const std::optional<model::Color>& c) {
  key += c ? (c->automatic ? "a" : std::to_string(c->rgb)) : "-";
  key += ',';
}

std::string KeyOf(const State& s) {
  std::string key;
  const model::DiffStyle& d = s.style;
  KeyColor(key, d.fontColor);
  for (const auto* b : {&d.bold, &d.italic, &d.strike}) key += *b ? (**b ? '1' : '0') : '-';
  key += d.underline ? static_cast<char>('0' + static_cast<int>(*d.underline)) : '-';
  if (d.fill) {
    key += 'f' + std::to_string(d.fill->pattern) + ',';
    KeyColor(key, d.fill->color);
    KeyColor(key, d.fill->background);
  }
  for (const auto* b : {&d.left, &d.right, &d.top, &d.bottom}) {
    if (*b) {
      key += 'b' + std::to_string((*b)->style) + ',';
      KeyColor(key, (*b)->color);
    } else {
      key += '-';
    }
  }
  if (s.scaleFill) key += 's' + std::to_string(*s.scaleFill);
  if (s.barPercent >= 0) {
    key += 'd' + std::to_string(s.barPercent) + ',' + std::to_string(s.barColor) +
           (s.barGradient ? "g" : "") + (s.hideValue ? "h" : "");
  }
  return key;
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

  bool Holds(const CfRule& rule, const Cell& cell) const {
    if (rule.operands.empty()) return false;
    const Value first = OperandValue(rule.operands[0], cell);
    if (rule.kind == CfKind::Expression) {
      return (first.rank == Value::Number || first.rank == Value::Boolean) && first.number != 0;
    }
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
};

}  // namespace

void CondFormats::Prepare(const model::Workbook& book, const model::Sheet& sheet,
                          const std::vector<const Cell*>& cells) {
  at_.clear();
  looks_.clear();
  if (sheet.conditionalFormats.empty() || cells.empty()) return;
  const Evaluator eval(book, cells);

  // The cells of each block that hold a value, as indexes into `cells`.
  std::vector<std::vector<size_t>> covered(sheet.conditionalFormats.size());
  for (size_t b = 0; b < sheet.conditionalFormats.size(); ++b) {
    std::vector<size_t>& list = covered[b];
    for (const model::Range& range : sheet.conditionalFormats[b].ranges) {
      auto it = std::lower_bound(cells.begin(), cells.end(), range.firstRow,
                                 [](const Cell* c, uint32_t row) { return c->row < row; });
      for (; it != cells.end() && (*it)->row <= range.lastRow; ++it) {
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

  std::unordered_map<size_t, State> states;
  for (const Ref& ref : order) {
    const CfRule& rule = sheet.conditionalFormats[ref.block].rules[ref.rule];
    const std::vector<size_t>& list = covered[ref.block];
    if (rule.kind == CfKind::CellValue || rule.kind == CfKind::Expression) {
      for (size_t i : list) {
        const Cell& cell = *cells[i];
        auto it = states.find(i);
        if (it != states.end() && it->second.stopped) continue;
        if (!eval.Holds(rule, cell)) continue;
        State& s = it != states.end() ? it->second : states[i];
        Merge(s.style, rule.style);
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
        auto it = states.find(i);
        if (it != states.end() &&
            (it->second.stopped || it->second.scaleFill || it->second.style.fill)) {
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
        (it != states.end() ? it->second : states[i]).scaleFill = color;
      }
    } else {
      const model::CfDataBar& bar = rule.bar;
      const double lo = ThresholdValue(bar.min, sorted);
      const double hi = std::max(lo, ThresholdValue(bar.max, sorted));
      const int minLength = std::min(bar.minLength, bar.maxLength);
      const int maxLength = std::max(bar.minLength, bar.maxLength);
      for (size_t i : list) {
        if (cells[i]->type != CellType::Number || !std::isfinite(cells[i]->number)) continue;
        auto it = states.find(i);
        if (it != states.end() && (it->second.stopped || it->second.barPercent >= 0)) continue;
        const double share = hi > lo ? std::clamp((cells[i]->number - lo) / (hi - lo), 0.0, 1.0)
                                     : (cells[i]->number >= hi ? 1.0 : 0.0);
        State& s = it != states.end() ? it->second : states[i];
        s.barPercent = static_cast<int>(std::lround(minLength + share * (maxLength - minLength)));
        s.barColor = bar.color.Or(0x638EC6);
        s.barGradient = bar.gradient;
        s.hideValue = !bar.showValue;
      }
    }
  }

  std::unordered_map<std::string, uint32_t> ids;
  for (const auto& [i, s] : states) {
    CondLook look{s.style, s.scaleFill, s.barPercent, s.barColor, s.barGradient, s.hideValue};
    if (!look.Changes()) continue;
    auto [it, added] = ids.try_emplace(KeyOf(s), static_cast<uint32_t>(looks_.size()));
    if (added) looks_.push_back(std::move(look));
    at_.emplace((static_cast<uint64_t>(cells[i]->row) << 16) | cells[i]->col, it->second);
  }
}

}  // namespace quillane::publish
