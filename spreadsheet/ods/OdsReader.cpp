#include "spreadsheet/ods/OdsReader.h"

#include <algorithm>
#include <memory>
#include <string>

#include "spreadsheet/container/Detect.h"
#include "spreadsheet/container/Zip.h"
#include "spreadsheet/model/Limits.h"
#include "spreadsheet/ods/DocumentReader.h"
#include "spreadsheet/ods/Namespaces.h"
#include "spreadsheet/xml/Xml.h"

namespace quillane::ods {

namespace parts {

[[noreturn]] void Damaged(const std::string& what) {
  throw ReadError("The workbook is damaged: " + what);
}

void DocumentReader::Start(std::string_view name, const xml::Attrs& attributes) {
  if (capture_) {
    tree_.Start(name, attributes);
    return;
  }
  if (!sawRoot_) {
    sawRoot_ = true;
    root_ = std::string(name);
  }
  if (inTable_) return TableStart(name, attributes);
  if (name == "office:styles" || name == "office:automatic-styles") {
    inStyles_ = true;
  } else if (inStyles_ && (name == "style:style" || name == "style:default-style" ||
                           name.starts_with("number:"))) {
    capture_ = true;
    tree_.Begin(name, attributes);
  } else if (name == "style:font-face") {
    fontFaces_[std::string(xml::Value(attributes, "style:name"))] = {
        std::string(Trim(xml::Value(attributes, "svg:font-family"))),
        std::string(xml::Value(attributes, "style:font-family-generic"))};
  } else if (name == "office:spreadsheet") {
    sawSpreadsheet_ = true;
  } else if (name == "table:null-date") {
    const std::string_view date = xml::Value(attributes, "table:date-value");
    book_.date1904 = date.starts_with("1904-01-01");
  } else if (name == "table:table" && sawSpreadsheet_) {
    BeginTable(attributes);
  }
}

void DocumentReader::End(std::string_view name) {
  if (capture_) {
    if (!tree_.Done()) tree_.End();
    if (tree_.Done()) {
      capture_ = false;
      KeepStyle(tree_.Take());
    }
    return;
  }
  if (inTable_) return TableEnd(name);
  if (name == "office:styles" || name == "office:automatic-styles") inStyles_ = false;
}

void DocumentReader::Text(std::string_view text) {
  if (capture_) return tree_.Text(text);
  if (!inTable_) return;
  switch (textTarget_) {
    case TextTarget::None:
      break;
    case TextTarget::Cell:
      if (inParagraph_ && !inFrame_) cellText_.append(text);
      if (inLink_) linkText_.append(text);
      break;
    case TextTarget::Annotation:
      if (inParagraph_) annotationText_.append(text);
      break;
    case TextTarget::Author:
      annotationAuthor_.append(text);
      break;
    case TextTarget::Binary:
      binary_.append(text);
      break;
  }
}

}  // namespace parts

namespace {

using parts::Damaged;
using parts::DocumentReader;

constexpr std::string_view kSpreadsheetType = "application/vnd.oasis.opendocument.spreadsheet";
constexpr std::string_view kTemplateType =
    "application/vnd.oasis.opendocument.spreadsheet-template";

// Whether the manifest says that a part is encrypted.
class ManifestReader final : public xml::Handler {
 public:
  void Start(std::string_view name, const xml::Attrs& attributes) override {
    if (name == "manifest:encryption-data") encrypted = true;
    if (name == "manifest:file-entry") {
      const std::string_view path = xml::Value(attributes, "manifest:full-path");
      if (path == "styles.xml") listsStyles = true;
    }
  }
  void End(std::string_view) override {}
  void Text(std::string_view) override {}
  bool encrypted = false;
  bool listsStyles = false;
};

void Finish(model::Workbook& book) {
  if (book.sheets.empty()) Damaged("the spreadsheet has no tables");
  book.lastGridRow = kMaxRow;
  book.lastGridColumn = kMaxColumn;
}

}  // namespace

bool IsOpenDocument(const container::Zip& zip) {
  if (const container::Zip::Entry* mimetype = zip.Find("mimetype")) {
    if (mimetype->size <= 256) {
      try {
        std::vector<uint8_t> bytes = zip.Read(*mimetype);
        std::string_view type(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        while (!type.empty() &&
               (type.back() == '\n' || type.back() == '\r' || type.back() == ' ')) {
          type.remove_suffix(1);
        }
        return type == kSpreadsheetType || type == kTemplateType;
      } catch (const container::ContainerError&) {
        return false;
      }
    }
    return false;
  }
  // No mimetype entry: a content.xml with a spreadsheet body says it too.
  return zip.Find("content.xml") != nullptr && zip.Find("[Content_Types].xml") == nullptr;
}

model::Workbook ReadOpenDocumentParts(const PartReader& parts, const PartStreamer* stream,
                                      uint64_t contentBytes, const PictureReader* pictures,
                                      uint64_t fileBytes) {
  bool listsStyles = false;
  if (auto manifest = parts("META-INF/manifest.xml")) {
    ManifestReader reader;
    xml::Parse(*manifest, reader, kNamespaces);
    if (reader.encrypted) {
      throw ReadError(
          "The workbook is encrypted: password-protected OpenDocument files are not read");
    }
    listsStyles = reader.listsStyles;
  }
  model::Workbook book;
  DocumentReader reader(book, &parts, pictures);
  if (fileBytes > 0) reader.FileBytes(fileBytes);
  if (auto styles = parts("styles.xml")) {
    reader.Read(*styles, "styles.xml");
  } else if (listsStyles) {
    Damaged("the part styles.xml, which the manifest lists, is missing");
  }
  reader.ExpectBytes(contentBytes);
  if (stream) {
    // The content, by far the largest part, is parsed as it unpacks.
    xml::Stream content(reader, kNamespaces);
    const bool found = (*stream)(
        "content.xml", [&content](std::span<const uint8_t> piece) { content.Feed(piece); });
    if (!found) Damaged("the package has no content.xml");
    DocumentReader::Check(content.Finish(), "content.xml");
  } else {
    auto content = parts("content.xml");
    if (!content) Damaged("the package has no content.xml");
    reader.Read(*content, "content.xml");
  }
  if (!reader.SawSpreadsheet()) {
    throw ReadError("Not a workbook: the package is an OpenDocument file but no spreadsheet");
  }
  Finish(book);
  return book;
}

model::Workbook ReadOpenDocumentPackage(const container::Zip& zip) {
  const PartReader parts = [&zip](std::string_view name) -> std::optional<std::vector<uint8_t>> {
    const container::Zip::Entry* entry = zip.Find(name);
    if (!entry) return std::nullopt;
    try {
      return zip.Read(*entry);
    } catch (const container::ContainerError& e) {
      Damaged(std::string(name) + ": " + e.what());
    }
  };
  const PartStreamer stream = [&zip](std::string_view name, const PartSink& sink) {
    const container::Zip::Entry* entry = zip.Find(name);
    if (!entry) return false;
    try {
      zip.ReadTo(*entry, sink);
    } catch (const container::ContainerError& e) {
      Damaged(std::string(name) + ": " + e.what());
    }
    return true;
  };
  // Pictures are unpacked once to be checked and to tell their kind, and stay packed until their
  // page is written; all together they unpack to at most the budget of the file's size.
  uint64_t budget = model::PictureBudget(zip.Size());
  const PictureReader pictures = [&zip,
                                  &budget](std::string_view name) -> std::optional<model::Blip> {
    const container::Zip::Entry* entry = zip.Find(name);
    if (!entry) return std::nullopt;
    if (entry->size > budget) throw ReadError(model::PictureBudgetText(zip.Size()));
    budget -= entry->size;
    model::Blip blip;
    std::vector<uint8_t> head;
    try {
      auto packed = std::make_shared<const container::Zip::Packed>(zip.Pack(*entry, &head));
      blip.unpack = [packed](const model::ByteSink& sink) { packed->UnpackTo(sink); };
    } catch (const container::ContainerError& e) {
      Damaged(std::string(name) + ": " + e.what());
    }
    blip.type = model::BlipTypeOf(head);
    blip.size = entry->size;
    return blip;
  };
  const container::Zip::Entry* content = zip.Find("content.xml");
  return ReadOpenDocumentParts(parts, &stream, content ? content->size : 0, &pictures, zip.Size());
}

model::Workbook ReadFlatOpenDocument(std::span<const uint8_t> bytes) {
  model::Workbook book;
  DocumentReader reader(book, nullptr);
  reader.ExpectBytes(bytes.size());
  reader.FileBytes(bytes.size());
  reader.Read(bytes, "the document");
  if (!reader.SawSpreadsheet()) throw ReadError(container::NotAWorkbook(bytes));
  Finish(book);
  return book;
}

}  // namespace quillane::ods
