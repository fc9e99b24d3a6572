// The shared strings (text with runs of fonts) and the comments of a SpreadsheetML workbook.
#include <functional>

#include "spreadsheet/model/Limits.h"
#include "spreadsheet/ooxml/CellRefs.h"
#include "spreadsheet/ooxml/ReaderParts.h"
#include "support/Utf8.h"

namespace quillane::ooxml::parts {

namespace {

size_t CodePoints(std::string_view utf8) {
  size_t n = 0;
  for (unsigned char c : utf8) n += (c & 0xC0) != 0x80;
  return n;
}

using support::AppendUtf8;

int Hex(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

// Characters XML cannot carry are written "_xHHHH_" (UTF-16 code units; "_x005F_" is "_").
std::string DecodeEscapes(std::string text) {
  if (text.find("_x") == std::string::npos) return text;
  std::string out;
  out.reserve(text.size());
  uint32_t high = 0;  // a pending high surrogate
  for (size_t i = 0; i < text.size();) {
    uint32_t unit = 0;
    bool escape =
        i + 7 <= text.size() && text[i] == '_' && text[i + 1] == 'x' && text[i + 6] == '_';
    for (size_t k = 2; escape && k < 6; ++k) {
      const int h = Hex(text[i + k]);
      if (h < 0) escape = false;
      unit = unit * 16 + static_cast<uint32_t>(h < 0 ? 0 : h);
    }
    if (!escape) {
      if (high) AppendUtf8(out, 0xFFFD), high = 0;
      out += text[i++];
      continue;
    }
    i += 7;
    if (unit >= 0xD800 && unit < 0xDC00) {
      if (high) AppendUtf8(out, 0xFFFD);
      high = unit;
    } else if (unit >= 0xDC00 && unit < 0xE000) {
      AppendUtf8(out, high ? 0x10000 + ((high - 0xD800) << 10) + (unit - 0xDC00) : 0xFFFD);
      high = 0;
    } else {
      if (high) AppendUtf8(out, 0xFFFD), high = 0;
      AppendUtf8(out, unit);
    }
  }
  if (high) AppendUtf8(out, 0xFFFD);
  return out;
}

namespace {

class SharedStringsHandler : public xml::Handler {
 public:
  using FontOf = std::function<uint16_t(RawFont&)>;
  SharedStringsHandler(model::Workbook& book, FontOf fontOf)
      : book_(book), fontOf_(std::move(fontOf)) {}

  // An item is "si", or "sstItem" in packages written before the format was settled.
  void Start(std::string_view name, const Attrs& a) override {
    if (name == "si" || name == "sstItem") {
      text_.clear();
      runs_.clear();
      inItem_ = true;
    } else if (!inItem_) {
    } else if (name == "rPh") {
      ++phonetic_;
    } else if (phonetic_ > 0) {
    } else if (name == "r") {
      run_ = DefaultRawFont();
      hasProps_ = false;
      inRun_ = true;
      runText_.clear();
    } else if (name == "rPr") {
      hasProps_ = true;
      inProps_ = true;
    } else if (inProps_) {
      ApplyFontElement(name, a, run_);
    } else if (name == "t") {
      collect_ = true;
      piece_.clear();
    }
  }

  void End(std::string_view name) override {
    if (name == "rPh") {
      if (phonetic_ > 0) --phonetic_;
    } else if (phonetic_ > 0) {
    } else if (name == "t" && collect_) {
      collect_ = false;
      const std::string piece = DecodeEscapes(std::move(piece_));
      if (inRun_)
        runText_ += piece;
      else
        text_ += piece;
    } else if (name == "rPr") {
      inProps_ = false;
    } else if (name == "r" && inRun_) {
      inRun_ = false;
      // A first run without properties keeps the cell's font; later ones fall back to font 0.
      if (hasProps_ || !text_.empty()) {
        const uint16_t font = hasProps_ ? fontOf_(run_) : 0;
        const uint32_t first = static_cast<uint32_t>(CodePoints(text_));
        if (runs_.empty() || runs_.back().font != font) {
          if (!runs_.empty() && runs_.back().first == first)
            runs_.back().font = font;
          else
            runs_.push_back({first, font});
        }
      }
      text_ += runText_;
    } else if ((name == "si" || name == "sstItem") && inItem_) {
      inItem_ = false;
      if (book_.strings.size() >= model::kMaxWorkbookCells) {
        throw ReadError("The workbook is too large: it holds more than " +
                        std::to_string(model::kMaxWorkbookCells) + " shared strings");
      }
      const uint32_t index = book_.AddString(std::move(text_));
      if (!runs_.empty()) book_.richText.emplace(index, std::move(runs_));
      text_.clear();
      runs_.clear();
    }
  }

  void Text(std::string_view text) override {
    if (collect_) piece_.append(text);
  }

 private:
  model::Workbook& book_;
  FontOf fontOf_;
  std::string text_, runText_, piece_;
  std::vector<model::TextRun> runs_;
  RawFont run_;
  bool inItem_ = false, inRun_ = false, inProps_ = false, hasProps_ = false, collect_ = false;
  int phonetic_ = 0;
};

class CommentsHandler : public xml::Handler {
 public:
  explicit CommentsHandler(Sheet& sheet) : sheet_(sheet) {}
  void Start(std::string_view name, const Attrs& a) override {
    if (name == "author") {
      collect_ = 1;
      text_.clear();
    } else if (name == "comment") {
      uint32_t row = 0, col = 0;
      valid_ = ParseRef(a.View("ref"), row, col) && row <= model::kMaxRowXlsx &&
               col <= model::kMaxColumnXlsx;
      current_ = model::Comment{row, static_cast<uint16_t>(col), {}, {}};
      const int64_t author = a.Int("authorId", -1);
      if (author >= 0 && static_cast<size_t>(author) < authors_.size())
        current_.author = authors_[static_cast<size_t>(author)];
      text_.clear();
    } else if (name == "rPh") {
      ++phonetic_;
    } else if (name == "t" && phonetic_ == 0) {
      collect_ = 2;
    }
  }
  void End(std::string_view name) override {
    if (name == "author" && collect_ == 1) {
      authors_.push_back(DecodeEscapes(std::move(text_)));
      collect_ = 0;
    } else if (name == "t") {
      if (collect_ == 2) collect_ = 0;
    } else if (name == "rPh") {
      if (phonetic_ > 0) --phonetic_;
    } else if (name == "comment" && valid_ && sheet_.comments.size() < 1000000) {
      current_.text = DecodeEscapes(std::move(text_));
      sheet_.comments.push_back(std::move(current_));
    }
  }
  void Text(std::string_view text) override {
    if (collect_) text_.append(text);
  }

 private:
  Sheet& sheet_;
  std::vector<std::string> authors_;
  model::Comment current_;
  std::string text_;
  int collect_ = 0, phonetic_ = 0;
  bool valid_ = false;
};

}  // namespace

void Reader::ReadSharedStrings(const Relationships& rels) {
  if (const Relationship* sst = FirstOfType(rels, "sharedStrings")) {
    // Parsed as it unpacks, as the sheets are: a part of many strings is never held whole.
    SharedStringsHandler handler(book_, [this](RawFont& f) { return AddFont(f); });
    XmlFeed feed(handler, sst->target);
    if (!package_.ReadTo(sst->target,
                         [&feed](std::span<const uint8_t> piece) { feed.Feed(piece); })) {
      Damaged("the shared strings part " + sst->target + " is missing");
    }
    feed.Finish();
  }
}

void Reader::ReadComments(Sheet& sheet, const std::string& part) {
  const auto comments = Named(part, "comments");
  CommentsHandler ch(sheet);
  ParseXml(*comments, ch, part);
}

}  // namespace quillane::ooxml::parts
