// Differential formats and conditional formats of the .xlsx family.
//
// A rule is kept when this engine can evaluate it: a comparison of the cell's value (cellIs)
// whose formulas are constants or one cell of the sheet, an expression of the operators and
// functions the page evaluates (model::CfFunction),
// a colour scale or a data bar whose thresholds are not formulas. Other rules are counted in the
// sheet by reason. Priorities are the file's (sheet-wide, lower first); a block's rules end
// sorted by them.
// Bounds: at most kMaxRanges ranges per block and kMaxBlocks blocks per sheet are kept (a
// hostile part cannot make the page test each cell against millions of ranges).
#include "spreadsheet/ooxml/ConditionalFormats.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <optional>

#include "spreadsheet/model/Limits.h"
#include "spreadsheet/ooxml/CellRefs.h"
#include "spreadsheet/ooxml/StyleNames.h"

namespace quillane::ooxml {

namespace {

using model::CfOperand;
using model::CfThreshold;
using model::Color;
using model::DiffStyle;

constexpr size_t kMaxRanges = 1024;
constexpr size_t kMaxBlocks = 65536;
constexpr const char* kUnevaluated = "formula the engine cannot evaluate";

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\n' || s.front() == '\r' ||
                        s.front() == '\t' || s.front() == '=')) {
    s.remove_prefix(1);
  }
  while (!s.empty() &&
         (s.back() == ' ' || s.back() == '\n' || s.back() == '\r' || s.back() == '\t'))
    s.remove_suffix(1);
  return s;
}

bool ParseNumber(std::string_view s, double& out) {
  s = Trim(s);
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
  return !s.empty() && ec == std::errc() && p == s.data() + s.size() && std::isfinite(out);
}

// A formula that is one constant or one cell of the sheet; relative parts become distances from
// the block's first cell (`baseRow`, `baseCol`).
std::optional<CfOperand> ParseOperand(std::string_view text, uint32_t baseRow, uint32_t baseCol) {
  text = Trim(text);
  while (text.size() >= 2 && text.front() == '(' && text.back() == ')')
    text = Trim(text.substr(1, text.size() - 2));
  CfOperand o;
  if (ParseNumber(text, o.number)) return o;
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
    o.kind = CfOperand::Kind::Text;
    for (size_t i = 1; i + 1 < text.size(); ++i) {
      if (text[i] == '"') {
        if (text[i + 1] != '"' || i + 2 >= text.size()) return std::nullopt;
        ++i;
      }
      o.text += text[i];
    }
    return o;
  }
  if (text == "TRUE" || text == "FALSE") {
    o.kind = CfOperand::Kind::Boolean;
    o.number = text == "TRUE";
    return o;
  }
  uint32_t row, col;
  bool rowAbsolute, colAbsolute;
  if (ParseRef(text, row, col, rowAbsolute, colAbsolute) && row <= model::kMaxRowXlsx &&
      col <= model::kMaxColumnXlsx) {
    o.rowRelative = !rowAbsolute;
    o.colRelative = !colAbsolute;
    o.kind = CfOperand::Kind::Cell;
    o.row = static_cast<int32_t>(row) - (o.rowRelative ? static_cast<int32_t>(baseRow) : 0);
    o.col = static_cast<int32_t>(col) - (o.colRelative ? static_cast<int32_t>(baseCol) : 0);
    return o;
  }
  return std::nullopt;
}

// A formula as postfix steps (operators by the application's precedence, the functions of
// model::CfFunction), or nullopt for anything else: names, ranges, other sheets, other
// functions. Operators wait on a stack until one that binds less tightly comes.
class FormulaParser {
 public:
  FormulaParser(std::string_view text, uint32_t baseRow, uint32_t baseCol)
      : text_(Trim(text)), baseRow_(baseRow), baseCol_(baseCol) {}

  std::optional<std::vector<model::CfToken>> Parse() {
    while (i_ < text_.size()) {
      const char c = text_[i_];
      if (c == ' ') {
        ++i_;
        continue;
      }
      const bool ok = operand_ ? Operand(c) : c == ')' || c == ',' ? Close(c) : Operator();
      if (!ok) return std::nullopt;
    }
    while (!stack_.empty()) {
      if (stack_.back().precedence == 0) return std::nullopt;  // an unclosed parenthesis
      Emit(stack_.back());
      stack_.pop_back();
    }
    if (operand_ || !model::WellFormed(out_)) return std::nullopt;
    return std::move(out_);
  }

 private:
  using K = model::CfToken::Kind;
  using F = model::CfFunction;

  struct Pending {
    K kind;
    int precedence;  // 0: an opening parenthesis or a call
    F function = F::Row;
    uint8_t args = 0;
    bool call = false;
  };

  static int Precedence(K k) {
    switch (k) {
      case K::Percent:
        return 7;
      case K::Negate:
        return 6;
      case K::Power:
        return 5;
      case K::Multiply:
      case K::Divide:
        return 4;
      case K::Add:
      case K::Subtract:
        return 3;
      case K::Concat:
        return 2;
      default:
        return 1;
    }
  }

  void Emit(const Pending& p) {
    model::CfToken t;
    t.kind = p.call ? K::Call : p.kind;
    t.function = p.function;
    t.args = p.args;
    out_.push_back(std::move(t));
  }

  // Where an operand (or a prefix operator) is expected.
  bool Operand(char c) {
    if (c == '-' || c == '+') {
      if (c == '-') stack_.push_back({K::Negate, 6});
      ++i_;
      return true;
    }
    if (c == '(') {
      stack_.push_back({K::Operand, 0});
      ++i_;
      return true;
    }
    model::CfToken t;
    if (c == '"') {
      if (!QuotedText(t.operand)) return false;
    } else {
      const size_t j = WordEnd();
      const std::string_view word = text_.substr(i_, j - i_);
      if (word.empty()) return false;
      if (j < text_.size() && text_[j] == '(') return Call(word, j);
      auto parsed = ParseOperand(word, baseRow_, baseCol_);
      if (!parsed) return false;
      t.operand = std::move(*parsed);
      i_ = j;
    }
    out_.push_back(std::move(t));
    operand_ = false;
    return true;
  }

  // A text constant in quotes (a doubled quote stands for one).
  bool QuotedText(CfOperand& o) {
    size_t j = i_ + 1;
    o.kind = CfOperand::Kind::Text;
    while (true) {
      if (j >= text_.size()) return false;
      if (text_[j] == '"') {
        if (j + 1 < text_.size() && text_[j + 1] == '"') {
          o.text += '"';
          j += 2;
          continue;
        }
        break;
      }
      o.text += text_[j++];
    }
    i_ = j + 1;
    return true;
  }

  // The end of a number, a cell or a function's name.
  size_t WordEnd() const {
    size_t j = i_;
    while (j < text_.size() && (std::isalnum(static_cast<unsigned char>(text_[j])) ||
                                text_[j] == '$' || text_[j] == '.' || text_[j] == '_')) {
      ++j;
    }
    // A number's exponent: 1E+3.
    if (j < text_.size() && j > i_ && (text_[j] == '+' || text_[j] == '-') &&
        (text_[j - 1] == 'E' || text_[j - 1] == 'e') && text_[i_] >= '0' && text_[i_] <= '9') {
      ++j;
      while (j < text_.size() && text_[j] >= '0' && text_[j] <= '9') ++j;
    }
    return j;
  }

  // A call of function `word`, whose opening parenthesis is at `open`.
  bool Call(std::string_view word, size_t open) {
    std::string upper(word);
    for (char& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    static constexpr std::pair<std::string_view, F> kNames[] = {
        {"ROW", F::Row},         {"COLUMN", F::Column},
        {"MOD", F::Mod},         {"AND", F::And},
        {"OR", F::Or},           {"NOT", F::Not},
        {"ISBLANK", F::IsBlank}, {"ISNUMBER", F::IsNumber},
        {"ISTEXT", F::IsText},   {"ISEVEN", F::IsEven},
        {"ISODD", F::IsOdd},     {"LEN", F::Len},
        {"ABS", F::Abs}};
    const auto* f = std::find_if(std::begin(kNames), std::end(kNames),
                                 [&](const auto& e) { return e.first == upper; });
    if (f == std::end(kNames)) return false;
    stack_.push_back({K::Call, 0, f->second, 0, true});
    i_ = open + 1;
    // A call without arguments.
    size_t k = i_;
    while (k < text_.size() && text_[k] == ' ') ++k;
    if (k < text_.size() && text_[k] == ')') {
      Emit(stack_.back());
      stack_.pop_back();
      i_ = k + 1;
      operand_ = false;
    }
    return true;
  }

  // A closing parenthesis or a comma between a call's arguments.
  bool Close(char c) {
    while (!stack_.empty() && stack_.back().precedence > 0) {
      Emit(stack_.back());
      stack_.pop_back();
    }
    if (stack_.empty()) return false;
    Pending& open = stack_.back();
    if (c == ',') {
      if (!open.call || open.args >= 30) return false;
      ++open.args;
      operand_ = true;
    } else {
      if (open.call) {
        ++open.args;
        Emit(open);
      }
      stack_.pop_back();
    }
    ++i_;
    return true;
  }

  // The operator at the start of `rest` and its length, or nullopt.
  static std::optional<std::pair<K, size_t>> OperatorAt(std::string_view rest) {
    if (rest.starts_with("<>")) return std::pair{K::NotEqual, size_t{2}};
    if (rest.starts_with("<=")) return std::pair{K::LessOrEqual, size_t{2}};
    if (rest.starts_with(">=")) return std::pair{K::GreaterOrEqual, size_t{2}};
    static constexpr std::pair<char, K> kSingle[] = {
        {'<', K::Less},     {'>', K::Greater},  {'=', K::Equal},  {'+', K::Add},
        {'-', K::Subtract}, {'*', K::Multiply}, {'/', K::Divide}, {'^', K::Power},
        {'&', K::Concat},   {'%', K::Percent}};
    for (const auto& [c, kind] : kSingle) {
      if (rest.front() == c) return std::pair{kind, size_t{1}};
    }
    return std::nullopt;
  }

  // After an operand: an infix or postfix operator.
  bool Operator() {
    const auto op = OperatorAt(text_.substr(i_));
    if (!op) return false;
    const K kind = op->first;
    i_ += op->second;
    const int p = Precedence(kind);
    // Left to right: pops what binds at least as tightly (the prefix minus binds tighter).
    while (!stack_.empty() && stack_.back().precedence >= p && stack_.back().precedence > 0) {
      Emit(stack_.back());
      stack_.pop_back();
    }
    if (kind == K::Percent) {
      Emit({kind, p});
    } else {
      stack_.push_back({kind, p});
      operand_ = true;
    }
    return true;
  }

  std::string_view text_;
  uint32_t baseRow_, baseCol_;
  std::vector<model::CfToken> out_;
  std::vector<Pending> stack_;
  bool operand_ = true;  // an operand (or a prefix operator) is expected next
  size_t i_ = 0;
};

std::optional<std::vector<model::CfToken>> ParseFormula(std::string_view text, uint32_t baseRow,
                                                        uint32_t baseCol) {
  return FormulaParser(text, baseRow, baseCol).Parse();
}

class DxfsHandler : public xml::Handler {
 public:
  explicit DxfsHandler(const ColorOf& colorOf) : colorOf_(colorOf) {}
  std::vector<DiffStyle> dxfs;

  void Start(std::string_view name, const Attrs& a) override {
    if (name == "dxfs") {
      inDxfs_ = true;
      return;
    }
    if (!inDxfs_) return;
    if (name == "dxf") {
      dxfs.emplace_back();
      part_ = Part::None;
      return;
    }
    if (dxfs.empty()) return;
    DiffStyle& d = dxfs.back();
    if (name == "font") {
      part_ = Part::Font;
    } else if (name == "fill") {
      part_ = Part::Fill;
    } else if (name == "border") {
      part_ = Part::Border;
    } else if (part_ == Part::Font) {
      if (name == "b") d.bold = a.Bool("val", true);
      if (name == "i") d.italic = a.Bool("val", true);
      if (name == "strike") d.strike = a.Bool("val", true);
      if (name == "u") d.underline = UnderlineOf(a.Has("val") ? a.View("val") : "single");
      if (name == "color") {
        const Color c = colorOf_(a);
        if (!c.automatic) d.fontColor = c;
      }
    } else if (part_ == Part::Fill) {
      if (name == "patternFill") {
        pattern_ = a.Has("patternType") ? PatternNumber(a.View("patternType"), 1) : 1;
        fore_ = back_ = Color::Auto();
      } else if (name == "fgColor") {
        fore_ = colorOf_(a);
      } else if (name == "bgColor") {
        back_ = colorOf_(a);
      }
    } else if (part_ == Part::Border) {
      if (name == "left" || name == "start")
        edge_ = &d.left;
      else if (name == "right" || name == "end")
        edge_ = &d.right;
      else if (name == "top")
        edge_ = &d.top;
      else if (name == "bottom")
        edge_ = &d.bottom;
      else if (name == "color" && edge_ && *edge_)
        (*edge_)->color = colorOf_(a);
      else
        edge_ = nullptr;
      if (edge_ && name != "color") {
        if (a.Has("style")) {
          *edge_ = model::Border{BorderNumber(a.View("style")), Color::Auto()};
        } else {
          edge_ = nullptr;
        }
      }
    }
  }

  void End(std::string_view name) override {
    if (name == "dxfs") inDxfs_ = false;
    if (!inDxfs_ || dxfs.empty()) return;
    if (name == "patternFill") {
      DiffStyle& d = dxfs.back();
      // A solid fill of a differential format shows its background colour; writers that give
      // only the foreground mean that one.
      if (pattern_ == 1) {
        const Color c = !back_.automatic ? back_ : fore_;
        if (!c.automatic) d.fill = model::CfFill{1, c, Color::Auto()};
      } else if (pattern_ > 1) {
        d.fill = model::CfFill{pattern_, fore_, back_};
      }
    }
    if (name == "font" || name == "fill" || name == "border") part_ = Part::None;
  }

 private:
  enum class Part { None, Font, Fill, Border };
  const ColorOf& colorOf_;
  bool inDxfs_ = false;
  Part part_ = Part::None;
  uint8_t pattern_ = 0;
  Color fore_, back_;
  std::optional<model::Border>* edge_ = nullptr;
};

// A <cfvo> type: the lowest and highest values (the newer automatic bounds too), a share of the
// range, a percentile; anything else is a number.
CfThreshold::Kind ThresholdKind(std::string_view type) {
  return type == "min" || type == "autoMin"   ? CfThreshold::Kind::Min
         : type == "max" || type == "autoMax" ? CfThreshold::Kind::Max
         : type == "percent"                  ? CfThreshold::Kind::Percent
         : type == "percentile"               ? CfThreshold::Kind::Percentile
                                              : CfThreshold::Kind::Number;
}

std::optional<model::CfOperator> OperatorOf(std::string_view v) {
  using Op = model::CfOperator;
  static constexpr std::pair<std::string_view, Op> kOps[] = {
      {"between", Op::Between},
      {"notBetween", Op::NotBetween},
      {"equal", Op::Equal},
      {"notEqual", Op::NotEqual},
      {"greaterThan", Op::Greater},
      {"lessThan", Op::Less},
      {"greaterThanOrEqual", Op::GreaterOrEqual},
      {"lessThanOrEqual", Op::LessOrEqual}};
  for (const auto& [name, op] : kOps) {
    if (v == name) return op;
  }
  return std::nullopt;
}

}  // namespace

std::vector<DiffStyle> ReadDifferentialFormats(std::span<const uint8_t> stylesPart,
                                               const std::string& partName,
                                               const ColorOf& colorOf) {
  DxfsHandler handler(colorOf);
  ParseXml(stylesPart, handler, partName);
  return std::move(handler.dxfs);
}

bool ConditionalFormatReader::Start(std::string_view name, const Attrs& a) {
  if (depth_ == 0) {
    if (name != "conditionalFormatting") return false;
    depth_ = 1;
    block_ = {};
    const std::string_view sqref = a.View("sqref");
    extension_ = !a.Has("sqref");
    pending_.clear();
    sqref_.clear();
    skip_ = (sqref.empty() && !extension_) || sheet_.conditionalFormats.size() >= kMaxBlocks;
    size_t at = 0;
    while (!skip_ && at < sqref.size() && block_.ranges.size() < kMaxRanges) {
      size_t end = sqref.find(' ', at);
      if (end == std::string_view::npos) end = sqref.size();
      model::Range range;
      if (ParseRange(sqref.substr(at, end - at), range)) block_.ranges.push_back(range);
      at = end + 1;
    }
    return true;
  }
  ++depth_;
  if (skip_) return true;
  if (extension_) {
    StartExtension(name, a);
    return true;
  }
  if (name == "cfRule" && depth_ == 2) {
    type_ = a.View("type");
    rule_ = {};
    formulas_.clear();
    thresholds_.clear();
    colors_.clear();
    unevaluated_ = false;
    barId_.clear();
    inRule_ = true;
    rule_.priority = static_cast<uint32_t>(std::clamp<int64_t>(a.Int("priority", 0), 0, INT32_MAX));
    rule_.stopIfTrue = a.Bool("stopIfTrue", false);
    const int64_t dxf = a.Int("dxfId", -1);
    if (dxf >= 0 && static_cast<size_t>(dxf) < dxfs_.size())
      rule_.style = dxfs_[static_cast<size_t>(dxf)];
    if (type_ == "cellIs") {
      const auto op = OperatorOf(a.View("operator"));
      if (op) {
        rule_.op = *op;
      } else {
        type_ = "cellIs with an unknown operator";
      }
    }
    if (type_ == "dataBar") {
      rule_.bar.minLength =
          static_cast<uint8_t>(std::clamp<int64_t>(a.Int("minLength", 10), 0, 100));
      rule_.bar.maxLength =
          static_cast<uint8_t>(std::clamp<int64_t>(a.Int("maxLength", 90), 0, 100));
    }
  } else if (!inRule_) {
  } else if (name == "formula" || (name == "id" && depth_ == 5)) {
    collect_ = true;
    collectId_ = name == "id";
    text_.clear();
  } else if (name == "dataBar") {
    rule_.bar.showValue = a.Bool("showValue", true);
  } else if (name == "cfvo") {
    const std::string_view t = a.View("type");
    CfThreshold th;
    double value = 0;
    const bool number = ParseNumber(a.View("val"), value);
    th.value = value;
    th.kind = ThresholdKind(t);
    const bool bound = th.kind == CfThreshold::Kind::Min || th.kind == CfThreshold::Kind::Max;
    if (!bound && (!number || t == "formula")) unevaluated_ = true;
    thresholds_.push_back(th);
  } else if (name == "color" && depth_ == 4) {
    colors_.push_back(colorOf_(a));
  }
  return true;
}

bool ConditionalFormatReader::Text(std::string_view text) {
  if (depth_ == 0) return false;
  if (collect_ && text_.size() < 8192) text_.append(text);
  return true;
}

bool ConditionalFormatReader::End(std::string_view name) {
  if (depth_ == 0) return false;
  if (extension_ && !skip_) {
    EndExtension(name);
    if (--depth_ == 0) EndExtensionBlock();
    return true;
  }
  if (!skip_) {
    if (collect_ && collectId_) {
      collect_ = collectId_ = false;
      barId_ = std::move(text_);
      text_.clear();
    } else if (name == "formula" && collect_) {
      collect_ = false;
      formulas_.push_back(std::move(text_));
      text_.clear();
    } else if (name == "cfRule" && depth_ == 2 && inRule_) {
      EndRule();
    }
  }
  if (--depth_ == 0 && !skip_ && !block_.ranges.empty()) {
    std::stable_sort(
        block_.rules.begin(), block_.rules.end(),
        [](const model::CfRule& x, const model::CfRule& y) { return x.priority < y.priority; });
    if (!block_.rules.empty()) sheet_.conditionalFormats.push_back(std::move(block_));
  }
  return true;
}

void ConditionalFormatReader::StartExtension(std::string_view name, const Attrs& a) {
  if (dxf_) {  // inside the rule's inline format
    ++dxfDepth_;
    dxf_->Start(name, a);
    return;
  }
  if (name == "cfRule" && depth_ == 2) {
    pending_.emplace_back();
    Pending& p = pending_.back();
    p.type = a.View("type");
    p.id = a.View("id");
    p.rule.priority =
        static_cast<uint32_t>(std::clamp<int64_t>(a.Int("priority", 0), 0, INT32_MAX));
    p.rule.stopIfTrue = a.Bool("stopIfTrue", false);
    if (p.type == "cellIs") {
      const auto op = OperatorOf(a.View("operator"));
      if (op) {
        p.rule.op = *op;
      } else {
        p.type = "cellIs with an unknown operator";
      }
    }
    inRule_ = pending_.size() <= 4096;
    if (!inRule_) pending_.pop_back();
    return;
  }
  if (name == "sqref" && depth_ == 2) {
    collect_ = true;
    text_.clear();
    return;
  }
  if (!inRule_) return;
  Pending& p = pending_.back();
  if (name == "f" && (depth_ == 3 || (depth_ == 5 && inCfvo_))) {
    collect_ = true;
    text_.clear();
  } else if (name == "dxf" && depth_ == 3) {
    auto handler = std::make_unique<DxfsHandler>(colorOf_);
    handler->Start("dxfs", a);
    handler->Start("dxf", a);
    dxf_ = std::move(handler);
    dxfDepth_ = 1;
  } else if (name == "dataBar" && depth_ == 3) {
    // The extension's bars run the whole width by default and fill with a gradient.
    p.rule.bar.minLength = static_cast<uint8_t>(std::clamp<int64_t>(a.Int("minLength", 0), 0, 100));
    p.rule.bar.maxLength =
        static_cast<uint8_t>(std::clamp<int64_t>(a.Int("maxLength", 100), 0, 100));
    p.rule.bar.gradient = a.Bool("gradient", true);
    p.rule.bar.showValue = a.Bool("showValue", true);
  } else if (name == "cfvo" && depth_ == 4) {
    const std::string_view t = a.View("type");
    CfThreshold th;
    th.kind = ThresholdKind(t);
    const bool bound = th.kind == CfThreshold::Kind::Min || th.kind == CfThreshold::Kind::Max;
    // The value follows in <f>; a threshold of a formula is none the engine evaluates.
    if (!bound) p.unevaluated = true;
    if (t == "formula") th.kind = CfThreshold::Kind::Number;
    inCfvo_ = !bound && t != "formula";
    p.thresholds.push_back(th);
  } else if ((name == "color" || name == "fillColor") && depth_ == 4) {
    p.colors.push_back(colorOf_(a));
  }
}

void ConditionalFormatReader::EndExtension(std::string_view name) {
  if (dxf_) {
    if (--dxfDepth_ > 0) {
      dxf_->End(name);
      return;
    }
    auto* handler = static_cast<DxfsHandler*>(dxf_.get());
    handler->End("dxfs");
    if (!handler->dxfs.empty() && !pending_.empty()) pending_.back().rule.style = handler->dxfs[0];
    dxf_.reset();
    return;
  }
  if (name == "sqref" && collect_ && depth_ == 2) {
    collect_ = false;
    sqref_ = std::move(text_);
    text_.clear();
  } else if (name == "f" && collect_) {
    collect_ = false;
    if (!inRule_) return;
    Pending& p = pending_.back();
    if (depth_ == 5 && !p.thresholds.empty()) {
      double value = 0;
      if (ParseNumber(Trim(text_), value)) {
        p.thresholds.back().value = value;
        p.unevaluated = false;
      }
      inCfvo_ = false;
    } else if (depth_ == 3) {
      p.formulas.push_back(std::move(text_));
    }
    text_.clear();
  } else if (name == "cfvo") {
    inCfvo_ = false;
  } else if (name == "cfRule" && depth_ == 2) {
    inRule_ = false;
  }
}

void ConditionalFormatReader::EndExtensionBlock() {
  collect_ = false;
  dxf_.reset();
  inRule_ = false;
  std::string_view sqref = Trim(sqref_);
  size_t at = 0;
  while (at < sqref.size() && block_.ranges.size() < kMaxRanges) {
    size_t end = sqref.find(' ', at);
    if (end == std::string_view::npos) end = sqref.size();
    model::Range range;
    if (ParseRange(sqref.substr(at, end - at), range)) block_.ranges.push_back(range);
    at = end + 1;
  }
  for (Pending& p : pending_) {
    // A bar of the main list whose details are here: its fill and lengths.
    if (p.type == "dataBar" && !p.id.empty()) {
      auto it = barIds_.find(p.id);
      if (it != barIds_.end()) {
        const auto [blockIndex, priority] = it->second;
        if (blockIndex < sheet_.conditionalFormats.size()) {
          for (model::CfRule& r : sheet_.conditionalFormats[blockIndex].rules) {
            if (r.kind != model::CfKind::DataBar || r.priority != priority) continue;
            r.bar.gradient = p.rule.bar.gradient;
            r.bar.minLength = p.rule.bar.minLength;
            r.bar.maxLength = p.rule.bar.maxLength;
          }
        }
        continue;
      }
    }
    if (block_.ranges.empty()) {
      ++sheet_.conditionalRulesLeftOut["rule without its ranges"];
      continue;
    }
    type_ = std::move(p.type);
    rule_ = std::move(p.rule);
    formulas_ = std::move(p.formulas);
    thresholds_ = std::move(p.thresholds);
    colors_ = std::move(p.colors);
    unevaluated_ = p.unevaluated;
    barId_.clear();
    EndRule();
  }
  pending_.clear();
  extension_ = false;
  if (!block_.ranges.empty() && !block_.rules.empty()) {
    std::stable_sort(
        block_.rules.begin(), block_.rules.end(),
        [](const model::CfRule& x, const model::CfRule& y) { return x.priority < y.priority; });
    sheet_.conditionalFormats.push_back(std::move(block_));
  }
}

void ConditionalFormatReader::EndRule() {
  inRule_ = false;
  auto& leftOut = sheet_.conditionalRulesLeftOut;
  if (block_.ranges.empty()) return;
  const uint32_t baseRow = block_.ranges.front().firstRow;
  const uint32_t baseCol = block_.ranges.front().firstCol;
  if (type_ == "expression") {
    auto formula = formulas_.empty() ? std::nullopt : ParseFormula(formulas_[0], baseRow, baseCol);
    if (!formula) {
      ++leftOut[formulas_.empty() ? "rule without its formula" : kUnevaluated];
      return;
    }
    rule_.kind = model::CfKind::Expression;
    rule_.formula = std::move(*formula);
  } else if (type_ == "cellIs") {
    rule_.kind = model::CfKind::CellValue;
    const size_t needed =
        rule_.op == model::CfOperator::Between || rule_.op == model::CfOperator::NotBetween ? 2 : 1;
    if (formulas_.size() < needed) {
      ++leftOut["rule without its formula"];
      return;
    }
    for (size_t i = 0; i < needed; ++i) {
      auto operand = ParseOperand(formulas_[i], baseRow, baseCol);
      if (!operand) {
        ++leftOut[kUnevaluated];
        return;
      }
      rule_.operands.push_back(std::move(*operand));
    }
  } else if (type_ == "colorScale") {
    if (thresholds_.size() < 2 || thresholds_.size() > 3 || colors_.size() != thresholds_.size()) {
      ++leftOut["colour scale of an unknown kind"];
      return;
    }
    if (unevaluated_) {
      ++leftOut[kUnevaluated];
      return;
    }
    rule_.kind = model::CfKind::ColorScale;
    for (size_t i = 0; i < thresholds_.size(); ++i)
      rule_.scale.push_back({thresholds_[i], colors_[i]});
  } else if (type_ == "dataBar") {
    if (thresholds_.size() != 2 || colors_.empty()) {
      ++leftOut["data bar of an unknown kind"];
      return;
    }
    if (unevaluated_) {
      ++leftOut[kUnevaluated];
      return;
    }
    rule_.kind = model::CfKind::DataBar;
    rule_.bar.min = thresholds_[0];
    rule_.bar.max = thresholds_[1];
    if (!colors_[0].automatic) rule_.bar.color = colors_[0];
    if (!barId_.empty() && barIds_.size() < 65536)
      barIds_.try_emplace(barId_, sheet_.conditionalFormats.size(), rule_.priority);
  } else {
    ++leftOut[(type_.empty() ? std::string("untyped") : type_) + " rule"];
    return;
  }
  block_.rules.push_back(std::move(rule_));
}

}  // namespace quillane::ooxml
