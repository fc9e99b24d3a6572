// Prints the workbook model of each file as one JSON object per line, for the comparison with
// the reference reader (compare_xlrd.py). With --stats, prints the read time and the peak
// resident memory to standard error.
// With --quiet, only reads (for measuring the reader's own peak memory). With --publish, also
// renders every worksheet to a page in memory and prints the processor time that took and the
// cells per second (the publisher alone, without the file writes). Each sheet lists its embedded
// charts (kind, place, title, series with their points) and the workbook the charts left out
// with the reason.
//   dump_model [--stats] [--quiet] [--publish] [--password PW] FILE...
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>
#include <cstdio>
#include <string>
#include <vector>

#include "spreadsheet/ReadWorkbook.h"
#include "spreadsheet/biff/WorkbookReader.h"
#include "spreadsheet/format/NumberFormat.h"
#include "spreadsheet/publish/PagePublisher.h"

using namespace quillane;

namespace {

void Json(std::string& out, std::string_view text) {
  out.push_back('"');
  for (unsigned char c : text) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20) {
          char buffer[8];
          std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
          out += buffer;
        } else {
          out.push_back(static_cast<char>(c));
        }
    }
  }
  out.push_back('"');
}

void Number(std::string& out, double value) {
  if (!std::isfinite(value)) {
    out += "null";
    return;
  }
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.17g", value);
  out += buffer;
}

const char* TypeName(model::SheetType type) {
  switch (type) {
    case model::SheetType::Worksheet:
      return "worksheet";
    case model::SheetType::Chart:
      return "chart";
    case model::SheetType::Macro:
      return "macro";
    case model::SheetType::Module:
      return "module";
    case model::SheetType::Dialog:
      return "dialog";
  }
  return "?";
}

const char* KindName(model::ChartKind kind) {
  static const char* const kNames[] = {"column",   "bar",     "line",  "area", "pie",
                                       "doughnut", "scatter", "radar", "none"};
  return kNames[static_cast<size_t>(kind)];
}

// The points of a series: its cells when it refers to some, else its cached values.
size_t PointCount(const model::ChartData& data) {
  if (data.sheet >= 0) {
    const model::Range& r = data.range;
    return static_cast<size_t>(r.lastRow - r.firstRow + 1) * (r.lastCol - r.firstCol + 1);
  }
  return std::max(data.numbers.size(), data.texts.size());
}

// Each chart: its kind (of the first group), what the file called it, its place, its title,
// and per series the reference of its values and their number of points.
void DumpCharts(std::string& out, const model::Sheet& sheet) {
  out += ",\"charts\":[";
  for (size_t i = 0; i < sheet.charts.size(); ++i) {
    const model::Chart& c = sheet.charts[i];
    if (i) out += ",";
    out += "{\"kind\":\"";
    out += c.groups.empty() ? "none" : KindName(c.groups[0].kind);
    out += "\",\"groups\":" + std::to_string(c.groups.size()) + ",\"as\":";
    Json(out, c.drawnAs);
    const model::Anchor& a = c.anchor;
    out += ",\"anchor\":[" + std::to_string(a.col1) + "," + std::to_string(a.row1) + "," +
           std::to_string(a.col2) + "," + std::to_string(a.row2) + "],\"title\":";
    Json(out, c.autoTitle ? "(auto)" : c.title.text);
    if (!c.groups.empty()) {
      out += ",\"grouping\":" + std::to_string(static_cast<int>(c.groups[0].grouping));
    }
    out += ",\"legend\":" + std::to_string(static_cast<int>(c.legend)) + ",\"axes\":[";
    Json(out, c.categoryAxis.title.text);
    out += ",";
    Json(out, c.valueAxis.title.text);
    out += ",";
    Json(out, c.valueAxis.numberFormat);
    out += "],\"series\":[";
    bool first = true;
    for (const model::ChartGroup& g : c.groups) {
      for (const model::ChartSeries& s : g.series) {
        if (!first) out += ",";
        first = false;
        out += "[";
        Json(out,
             s.name.formula.empty() && !s.name.texts.empty() ? s.name.texts[0] : s.name.formula);
        out += ",";
        Json(out, s.values.formula);
        out += "," + std::to_string(PointCount(s.values)) + "," +
               std::to_string(s.values.numbers.size()) + "]";
      }
    }
    out += "]}";
  }
  out += "]";
}

std::string Dump(const model::Workbook& book) {
  std::string out = "{\"biff\":" + std::to_string(book.biff.version) +
                    ",\"datemode\":" + std::to_string(book.date1904 ? 1 : 0) + ",\"sheets\":[";
  // The format code of a cell's style, as the page publisher reads it.
  auto formatOf = [&](uint16_t style) { return book.Style(style).numberFormat; };
  for (size_t s = 0; s < book.sheets.size(); ++s) {
    const model::Sheet& sheet = book.sheets[s];
    if (s) out += ",";
    out += "{\"name\":";
    Json(out, sheet.name);
    out += ",\"type\":\"";
    out += TypeName(sheet.type);
    out += "\",\"visibility\":" + std::to_string(static_cast<int>(sheet.visibility));
    out += ",\"settings\":[" + std::to_string(sheet.defaultColWidth) + "," +
           std::to_string(sheet.standardWidth) + "," + std::to_string(sheet.defaultRowHeight) +
           "," + std::to_string(sheet.showGridlines ? 1 : 0) + "," +
           std::to_string(sheet.frozenRows) + "," + std::to_string(sheet.frozenCols) + "]";
    out += ",\"cells\":[";
    bool first = true;
    for (const model::Cell& cell : sheet.cells) {
      if (!first) out += ",";
      first = false;
      out += std::string("[") + std::to_string(cell.row) + "," + std::to_string(cell.col) + ",";
      switch (cell.type) {
        case model::CellType::Blank:
          out += "\"b\",null";
          break;
        case model::CellType::Number:
          out += "\"n\",";
          Number(out, cell.number);
          break;
        case model::CellType::String:
          out += "\"s\",";
          Json(out, cell.text < book.strings.size() ? book.strings[cell.text] : "");
          break;
        case model::CellType::Boolean:
          out += "\"bool\"," + std::to_string(cell.code);
          break;
        case model::CellType::Error:
          out += "\"e\"," + std::to_string(cell.code);
          break;
      }
      out += ",";
      Json(out, formatOf(cell.style));
      out += "]";
    }
    out += "],\"merged\":[";
    for (size_t i = 0; i < sheet.merged.size(); ++i) {
      const model::Range& m = sheet.merged[i];
      if (i) out += ",";
      out += std::string("[") + std::to_string(m.firstRow) + "," + std::to_string(m.lastRow) + "," +
             std::to_string(m.firstCol) + "," + std::to_string(m.lastCol) + "]";
    }
    out += "],\"columns\":[";
    for (size_t i = 0; i < sheet.columns.size(); ++i) {
      const model::ColumnInfo& c = sheet.columns[i];
      if (i) out += ",";
      out += std::string("[") + std::to_string(c.first) + "," + std::to_string(c.last) + "," +
             std::to_string(c.width) + "," + std::to_string(c.hidden ? 1 : 0) + "]";
    }
    out += "],\"rows\":[";
    first = true;
    for (const auto& [row, info] : sheet.rows) {
      if (!first) out += ",";
      first = false;
      out += std::string("[") + std::to_string(row) + "," + std::to_string(info.height) + "," +
             std::to_string(info.hidden ? 1 : 0) + "]";
    }
    out += "],\"comments\":[";
    for (size_t i = 0; i < sheet.comments.size(); ++i) {
      const model::Comment& c = sheet.comments[i];
      if (i) out += ",";
      out += std::string("[") + std::to_string(c.row) + "," + std::to_string(c.col) + ",";
      Json(out, c.author);
      out += ",";
      Json(out, c.text);
      out += "]";
    }
    out += "],\"hyperlinks\":[";
    for (size_t i = 0; i < sheet.hyperlinks.size(); ++i) {
      const model::Hyperlink& h = sheet.hyperlinks[i];
      if (i) out += ",";
      out += std::string("[") + std::to_string(h.range.firstRow) + "," +
             std::to_string(h.range.lastRow) + "," + std::to_string(h.range.firstCol) + "," +
             std::to_string(h.range.lastCol) + "," + std::to_string(static_cast<int>(h.kind)) + ",";
      Json(out, h.target);
      out += ",";
      Json(out, h.location);
      out += ",";
      Json(out, h.description);
      out += ",";
      Json(out, h.tooltip);
      out += "]";
    }
    out += "],\"pictures\":[";
    for (size_t i = 0; i < sheet.pictures.size(); ++i) {
      const model::Picture& p = sheet.pictures[i];
      if (i) out += ",";
      out += std::string("[") + std::to_string(p.blip) + "," + std::to_string(p.col1) + "," +
             std::to_string(p.row1) + "," + std::to_string(p.col2) + "," + std::to_string(p.row2) +
             "," + std::to_string(static_cast<int>(book.blips[p.blip].type)) + "," +
             std::to_string(book.blips[p.blip].Size()) + "]";
    }
    out += "]";
    DumpCharts(out, sheet);
    out += "}";
  }
  out += "],\"styles\":[";
  // The XF records as the file holds them (colours as palette indexes, formats as indexes).
  for (size_t i = 0; i < book.biff.xfs.size(); ++i) {
    const model::XfRecord& x = book.biff.xfs[i];
    if (i) out += ",";
    int fields[] = {x.font,
                    x.format,
                    static_cast<int>(x.hAlign),
                    static_cast<int>(x.vAlign),
                    x.wrap,
                    x.rotation,
                    x.indent,
                    x.shrink,
                    x.left.style,
                    x.left.color,
                    x.right.style,
                    x.right.color,
                    x.top.style,
                    x.top.color,
                    x.bottom.style,
                    x.bottom.color,
                    x.pattern,
                    x.patternColor,
                    x.patternBackground};
    out += "[";
    for (size_t k = 0; k < std::size(fields); ++k) {
      if (k) out += ",";
      out += std::to_string(fields[k]);
    }
    out += "]";
  }
  out += "],\"fonts\":[";
  for (size_t i = 0; i < book.fonts.size(); ++i) {
    const model::Font& f = book.fonts[i];
    if (i) out += ",";
    out += "[";
    Json(out, f.name);
    out += "," + std::to_string(f.height) + "," + std::to_string(f.weight) + "," +
           std::to_string(f.italic) + "," + std::to_string(static_cast<int>(f.underline)) + "," +
           std::to_string(f.strike) + "," +
           std::to_string(i < book.biff.fontColors.size() ? book.biff.fontColors[i] : 0) + "," +
           std::to_string(static_cast<int>(f.script)) + "]";
  }
  out += "],\"palette\":[";
  for (size_t i = 0; i < book.palette.size(); ++i) {
    if (i) out += ",";
    out += std::to_string(book.palette[i]);
  }
  out += "],\"blips\":" + std::to_string(book.blips.size()) + ",\"chartsLeftOut\":[";
  for (size_t i = 0; i < book.biff.chartsLeftOut.size(); ++i) {
    if (i) out += ",";
    Json(out, book.biff.chartsLeftOut[i]);
  }
  out += "]}";
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  bool stats = false;
  bool quiet = false;
  bool publish = false;
  std::string password;
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--stats") {
      stats = true;
    } else if (arg == "--quiet") {
      quiet = true;
    } else if (arg == "--publish") {
      publish = true;
    } else if (arg == "--password" && i + 1 < argc) {
      password = argv[++i];
    } else {
      files.push_back(arg);
    }
  }
  double seconds = 0;
  for (const std::string& file : files) {
    std::string line = "{\"file\":";
    Json(line, file);
    auto start = std::chrono::steady_clock::now();
    try {
      model::Workbook book = spreadsheet::ReadWorkbookFile(file, password);
      seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      if (!quiet) line += ",\"model\":" + Dump(book);
      if (publish) {
        const std::clock_t begin = std::clock();
        size_t cells = 0, bytes = 0;
        for (size_t i = 0; i < book.sheets.size(); ++i) {
          if (book.sheets[i].type != model::SheetType::Worksheet) continue;
          cells += book.sheets[i].cells.size();
          bytes += publish::RenderSheet(book, i, "page.files").html.size();
        }
        const double cpu = static_cast<double>(std::clock() - begin) / CLOCKS_PER_SEC;
        std::fprintf(stderr,
                     "%s: published %zu cells (%zu page bytes) in %.3f s CPU, %.2f M cells/s\n",
                     file.c_str(), cells, bytes, cpu, cpu > 0 ? cells / cpu / 1e6 : 0.0);
      }
    } catch (const biff::ReadError& e) {
      seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      line += ",\"error\":";
      Json(line, e.what());
    }
    line += "}\n";
    if (!quiet) std::fwrite(line.data(), 1, line.size(), stdout);
  }
  if (stats) {
    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    std::fprintf(stderr, "read time %.3f s, peak resident memory %ld KiB\n", seconds,
                 usage.ru_maxrss);
  }
  return 0;
}
