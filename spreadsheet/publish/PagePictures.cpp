// The pictures and charts of a sheet, placed over the table at their anchors and written to the
// supporting folder, and the folder's file list. Part of the renderer (Renderer.h).
#include <optional>

#include "spreadsheet/chart/ChartSvg.h"
#include "spreadsheet/publish/HtmlText.h"
#include "spreadsheet/publish/Links.h"
#include "spreadsheet/publish/PageFiles.h"
#include "spreadsheet/publish/PngWriter.h"
#include "spreadsheet/publish/Renderer.h"
#include "support/Ascii.h"

namespace quillane::publish {

namespace {

// The file extension a picture of the store is kept under; nullptr for unknown pictures.
const char* FileExtension(model::BlipType type) {
  switch (type) {
    case model::BlipType::Png:
      return "png";
    case model::BlipType::Jpeg:
      return "jpg";
    case model::BlipType::Dib:
      return "dib";
    case model::BlipType::Emf:
      return "emf";
    case model::BlipType::Wmf:
      return "wmf";
    case model::BlipType::Pict:
      return "pct";
    case model::BlipType::Tiff:
      return "tif";
    case model::BlipType::Unknown:
      break;
  }
  return nullptr;
}

}  // namespace

void Renderer::EmitPictures(std::string& body, Page& page) {
  if (sheet_.pictures.empty() && sheet_.charts.empty()) return;
  // Pixel offsets of rows and columns, hidden ones zero wide.
  uint32_t maxRow = 0;
  uint16_t maxCol = 0;
  for (const model::Picture& p : sheet_.pictures) {
    maxRow = std::max({maxRow, p.row1, p.row2});
    maxCol = std::max({maxCol, p.col1, p.col2});
  }
  for (const model::Chart& c : sheet_.charts) {
    maxRow = std::max({maxRow, c.anchor.row1, c.anchor.row2});
    maxCol = std::max({maxCol, c.anchor.col1, c.anchor.col2});
  }
  maxRow = std::min<uint32_t>(maxRow, 1u << 20);
  std::vector<int64_t> colX(static_cast<size_t>(maxCol) + 2, 0),
      rowY(static_cast<size_t>(maxRow) + 2, 0);
  for (uint32_t c = 0; c <= maxCol; ++c) {
    const auto col = static_cast<uint16_t>(c);
    const int px = sheet_.ColumnHidden(col) ? 0 : ColumnPx(col);
    colX[c + 1] = colX[c] + px;
  }
  for (uint32_t r = 0; r <= maxRow; ++r) {
    const int px = RowVisible(r) ? RowPx(r) : 0;
    rowY[r + 1] = rowY[r] + px;
  }
  auto x = [&](uint16_t col, uint16_t dx) {
    return colX[col] + (colX[col + 1] - colX[col]) * std::min<uint16_t>(dx, 1024) / 1024;
  };
  auto y = [&](uint32_t row, uint16_t dy) {
    row = std::min(row, maxRow);
    return rowY[row] + (rowY[row + 1] - rowY[row]) * std::min<uint16_t>(dy, 256) / 256;
  };

  auto place = [&](std::string_view file, std::string_view alt, int64_t left, int64_t top,
                   int64_t width, int64_t height) {
    body += "<img src=\"";
    AppendUrlPath(body, folderName_);
    body += '/';
    body += file;
    body += "\" alt=\"";
    AppendHtmlAttribute(body, alt);
    body += "\" style=\"left:";
    AppendInt(body, left);
    body += "px;top:";
    AppendInt(body, top);
    body += "px;width:";
    AppendInt(body, width);
    body += "px;height:";
    AppendInt(body, height);
    body += "px\">\n";
  };

  std::unordered_map<uint32_t, std::string> fileOfBlip;  // blip -> file name ("" none)
  int imageNumber = 0;
  for (size_t i = 0; i < sheet_.pictures.size(); ++i) {
    const model::Picture& p = sheet_.pictures[i];
    if (p.blip >= book_.blips.size()) continue;
    auto [it, fresh] = fileOfBlip.try_emplace(p.blip);
    if (fresh) {
      const model::Blip& blip = book_.blips[p.blip];
      const char* ext = FileExtension(blip.type);
      std::vector<uint8_t> bytes;
      if (blip.type == model::BlipType::Dib) {
        if (auto png = DibToPng(blip.Bytes())) {
          ext = "png";
          bytes = std::move(*png);
        }
      }
      if (!ext || (bytes.empty() && blip.Size() == 0)) continue;
      char name[32];
      std::snprintf(name, sizeof name, "image%03d.%s", ++imageNumber, ext);
      it->second = name;
      // Other pictures are written as they are, straight from the workbook.
      const model::Blip* asItIs = bytes.empty() ? &blip : nullptr;
      page.files.push_back(PageFile{name, std::move(bytes), asItIs});
    }
    const std::string& file = it->second;
    if (file.empty()) continue;
    const std::string_view ext = std::string_view(file).substr(file.rfind('.') + 1);
    if (ext != "png" && ext != "jpg") continue;  // kept in the folder, not shown
    const int64_t left = x(p.col1, p.dx1), top = y(p.row1, p.dy1);
    const int64_t width = x(p.col2, p.dx2) - left, height = y(p.row2, p.dy2) - top;
    if (width <= 0 || height <= 0) continue;  // anchored to hidden rows or columns
    place(file, p.name.empty() ? std::string_view("Picture") : std::string_view(p.name), left, top,
          width, height);
  }

  // Charts: one SVG file each, numbered on from the pictures. A chart that cannot be drawn is
  // left out of the page and counted; it never stops the page.
  for (const model::Chart& c : sheet_.charts) {
    const model::Anchor& a = c.anchor;
    const int64_t left = x(a.col1, a.dx1), top = y(a.row1, a.dy1);
    const int64_t width = x(a.col2, a.dx2) - left, height = y(a.row2, a.dy2) - top;
    if (width <= 0 || height <= 0) {
      page.chartsLeftOut.emplace_back("anchored to hidden rows or columns");
      continue;
    }
    std::string svg;
    try {
      svg = chart::DrawSvg(book_, c, static_cast<int>(std::min<int64_t>(width, 1 << 20)),
                           static_cast<int>(std::min<int64_t>(height, 1 << 20)));
    } catch (const chart::ChartError& e) {
      page.chartsLeftOut.emplace_back(e.what());
      continue;
    } catch (const std::exception& e) {
      page.chartsLeftOut.emplace_back(std::string("not drawn: ") + e.what());
      continue;
    }
    char name[32];
    std::snprintf(name, sizeof name, "image%03d.svg", ++imageNumber);
    page.files.push_back(PageFile{name, std::vector<uint8_t>(svg.begin(), svg.end())});
    place(name, chart::AltText(book_, c), left, top, width, height);
    ++page.chartsDrawn;
  }
}

std::string Renderer::FileList(const Page& page) const {
  std::vector<std::string> names;
  for (const PageFile& f : page.files) names.push_back(f.name);
  return FileListXml(names, pageName_);
}

}  // namespace quillane::publish
