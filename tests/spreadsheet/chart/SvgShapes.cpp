#include "SvgShapes.h"

#include <expat.h>

#include <cmath>
#include <cstdlib>

namespace quillane::test {

namespace {

struct Reader {
  SvgDrawing d;
  bool inText = false;
};

std::map<std::string, std::string> Attrs(const char** attrs) {
  std::map<std::string, std::string> m;
  for (const char** a = attrs; *a; a += 2) m[a[0]] = a[1];
  return m;
}

double Num(const std::map<std::string, std::string>& m, const char* key) {
  auto it = m.find(key);
  return it == m.end() ? 0 : std::atof(it->second.c_str());
}

// The commands the drawer writes: M/L x,y; C x1 y1 x2 y2 x y; h dx; v dy; V y; Z.
void ReadPath(const std::string& d, SvgPath& path) {
  std::string s = d;
  for (char& c : s)
    if (c == ',') c = ' ';
  size_t i = 0;
  auto number = [&] {
    char* end = nullptr;
    const double v = std::strtod(s.c_str() + i, &end);
    i = static_cast<size_t>(end - s.c_str());
    return v;
  };
  double x = 0, y = 0;
  while (i < s.size()) {
    const char op = s[i++];
    switch (op) {
      case 'M':
      case 'L':
        x = number(), y = number();
        path.moves += op == 'M';
        break;
      case 'C':
        for (int k = 0; k < 4; ++k) number();
        x = number(), y = number();
        break;
      case 'h':
        x += number();
        break;
      case 'v':
        y += number();
        break;
      case 'V':
        y = number();
        break;
      case 'Z':
        path.closed = true;
        continue;
      default:
        continue;
    }
    path.points.emplace_back(x, y);
  }
}

void Start(void* data, const char* name, const char** attrs) {
  auto* r = static_cast<Reader*>(data);
  const std::string element = name;
  const auto m = Attrs(attrs);
  if (element == "text") {
    r->inText = true;
    SvgText& t = r->d.texts.emplace_back();
    t.x = Num(m, "x"), t.y = Num(m, "y");
    if (m.count("text-anchor")) t.anchor = m.at("text-anchor");
    if (m.count("transform")) t.rotate = std::atof(m.at("transform").c_str() + 7);
  } else if (element == "rect") {
    SvgRect& rect = r->d.rects.emplace_back();
    rect.x = Num(m, "x"), rect.y = Num(m, "y"), rect.w = Num(m, "width"), rect.h = Num(m, "height");
    if (m.count("fill")) rect.fill = m.at("fill");
  } else if (element == "path") {
    SvgPath& path = r->d.paths.emplace_back();
    path.attrs = m;
    if (m.count("d")) ReadPath(m.at("d"), path);
  }
}

void Chars(void* data, const char* s, int len) {
  auto* r = static_cast<Reader*>(data);
  if (r->inText) r->d.texts.back().text.append(s, static_cast<size_t>(len));
}

void End(void* data, const char*) { static_cast<Reader*>(data)->inText = false; }

}  // namespace

double SvgText::Number() const {
  std::string s;
  for (char c : text)
    if (c != ',') s += c;
  const bool percent = !s.empty() && s.back() == '%';
  if (percent) s.pop_back();
  char* end = nullptr;
  const double v = std::strtod(s.c_str(), &end);
  if (s.empty() || *end) return NAN;
  return percent ? v / 100 : v;
}

const SvgText* SvgDrawing::Find(const std::string& text) const {
  for (const SvgText& t : texts)
    if (t.text == text) return &t;
  return nullptr;
}

const SvgRect& SvgDrawing::Plot() const {
  for (size_t i = 1; i < rects.size(); ++i)
    if (rects[i].fill == "none") return rects[i];
  return rects.at(1);
}

std::vector<SvgText> SvgDrawing::Anchored(const std::string& anchor) const {
  std::vector<SvgText> out;
  for (const SvgText& t : texts)
    if (t.anchor == anchor) out.push_back(t);
  return out;
}

std::vector<SvgPath> SvgDrawing::Lines() const {
  std::vector<SvgPath> out;
  for (const SvgPath& p : paths)
    if (p.IsLine()) out.push_back(p);
  return out;
}

SvgDrawing ParseSvg(const std::string& svg) {
  Reader r;
  XML_Parser parser = XML_ParserCreate("UTF-8");
  XML_SetUserData(parser, &r);
  XML_SetElementHandler(parser, Start, End);
  XML_SetCharacterDataHandler(parser, Chars);
  r.d.ok = XML_Parse(parser, svg.data(), static_cast<int>(svg.size()), 1) == XML_STATUS_OK;
  if (!r.d.ok) r.d.error = XML_ErrorString(XML_GetErrorCode(parser));
  XML_ParserFree(parser);
  return std::move(r.d);
}

}  // namespace quillane::test
