// The OpenDocument XML reader against itself and against expat: a document fed in one piece and
// fed in pieces cut where the input says must give the same calls and the same verdict, and a
// document both readers accept must give the same calls. (Where only one of them refuses a
// document, the two differ in how strict they are, which is no finding.)
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "spreadsheet/ods/Namespaces.h"
#include "spreadsheet/xml/Xml.h"

namespace {

using quillane::xml::Attribute;

class Recorder : public quillane::xml::Handler {
 public:
  std::string calls;
  void Start(std::string_view name, const quillane::xml::Attrs& attributes) override {
    Close();
    calls += "<";
    calls += name;
    for (const Attribute& a : std::span<const Attribute>(attributes)) {
      calls += ' ';
      calls += a.name;
      calls += "=[";
      calls += a.value;
      calls += ']';
    }
    calls += ">";
  }
  void End(std::string_view name) override {
    Close();
    calls += "</";
    calls += name;
    calls += ">";
  }
  void Text(std::string_view text) override { text_ += text; }
  void Close() {
    if (text_.empty()) return;
    calls += "{" + text_ + "}";
    text_.clear();
  }

 private:
  std::string text_;
};

struct Outcome {
  std::string calls;
  bool accepted;
};

Outcome Parse(std::span<const uint8_t> document, size_t piece, bool expatOnly) {
  Recorder recorder;
  quillane::xml::Stream stream(recorder, quillane::ods::kNamespaces, expatOnly);
  for (size_t at = 0; at < document.size(); at += piece)
    stream.Feed(document.subspan(at, std::min(piece, document.size() - at)));
  const bool accepted = stream.Finish().empty();
  recorder.Close();
  return {recorder.calls, accepted};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const size_t piece = 1 + data[0] % 64;
  const std::span<const uint8_t> document(data + 1, size - 1);
  const Outcome whole = Parse(document, document.size() + 1, false);
  const Outcome pieces = Parse(document, piece, false);
  if (whole.accepted != pieces.accepted || (whole.accepted && whole.calls != pieces.calls))
    std::abort();
  const Outcome expat = Parse(document, document.size() + 1, true);
  if (whole.accepted && expat.accepted && whole.calls != expat.calls) std::abort();
  return 0;
}
