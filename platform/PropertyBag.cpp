#include "platform/PropertyBag.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include <QBuffer>
#include <QByteArray>
#include <QImage>

#include "platform/Gdi.h"
#include "support/Ascii.h"

namespace quillane::platform {
namespace {

constexpr std::string_view kHeader = "Quillane property bag 1";
constexpr const char* kTypeNames[] = {"Boolean", "Integer", "Long",   "Single",
                                      "String",  "Font",    "Picture"};

using support::AsciiLower;

bool SameKey(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  return true;
}

void CheckKey(std::string_view key) {
  if (key.empty()) throw std::invalid_argument("property key is empty");
  for (char c : key) {
    if (c == ':' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
      throw std::invalid_argument("property key holds a character that is not allowed: " +
                                  std::string(key));
    }
  }
}

std::string Trim(std::string_view s) {
  std::size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
  return std::string(s.substr(b, e - b));
}

std::string FloatText(float f) {
  char buf[32];
  for (int precision = 6; precision <= 9; ++precision) {
    std::snprintf(buf, sizeof buf, "%.*g", precision, static_cast<double>(f));
    if (std::strtof(buf, nullptr) == f || std::isnan(f)) break;
  }
  return buf;
}

std::optional<double> ParseNumber(std::string_view text) {
  const std::string t = Trim(text);
  if (t.empty()) return std::nullopt;
  if (t.size() > 2 && t[0] == '&' && (t[1] == 'H' || t[1] == 'h')) {
    std::string hex = t.substr(2);
    if (!hex.empty() && hex.back() == '&') hex.pop_back();
    std::uint32_t v = 0;
    auto [p, ec] = std::from_chars(hex.data(), hex.data() + hex.size(), v, 16);
    if (ec != std::errc() || p != hex.data() + hex.size() || hex.size() > 8) return std::nullopt;
    return static_cast<double>(static_cast<std::int32_t>(v));
  }
  char* end = nullptr;
  errno = 0;
  const double v = std::strtod(t.c_str(), &end);
  if (end != t.c_str() + t.size() || errno == ERANGE) return std::nullopt;
  return v;
}

template <typename Int>
std::optional<Int> ToInt(double v) {
  if (!std::isfinite(v)) return std::nullopt;
  const double r = std::nearbyint(v);
  if (r < static_cast<double>(std::numeric_limits<Int>::min()) ||
      r > static_cast<double>(std::numeric_limits<Int>::max())) {
    return std::nullopt;
  }
  return static_cast<Int>(r);
}

// The stored value as a number, if it has one.
std::optional<double> AsNumber(const PropertyValue& v) {
  switch (TypeOf(v)) {
    case PropertyType::Boolean:
      return std::get<VbBool>(v).value ? -1.0 : 0.0;
    case PropertyType::Integer:
      return std::get<std::int16_t>(v);
    case PropertyType::Long:
      return std::get<std::int32_t>(v);
    case PropertyType::Single:
      return std::get<float>(v);
    case PropertyType::String: {
      const std::string t = Trim(std::get<std::string>(v));
      if (SameKey(t, "True")) return -1.0;
      if (SameKey(t, "False")) return 0.0;
      return ParseNumber(t);
    }
    default:
      return std::nullopt;
  }
}

std::optional<PropertyValue> Convert(const PropertyValue& stored, PropertyType wanted) {
  if (TypeOf(stored) == wanted) return stored;
  switch (wanted) {
    case PropertyType::Boolean:
      if (auto n = AsNumber(stored)) return PropertyValue(VbBool{*n != 0});
      return std::nullopt;
    case PropertyType::Integer:
      if (auto n = AsNumber(stored))
        if (auto i = ToInt<std::int16_t>(*n)) return PropertyValue(*i);
      return std::nullopt;
    case PropertyType::Long:
      if (auto n = AsNumber(stored))
        if (auto i = ToInt<std::int32_t>(*n)) return PropertyValue(*i);
      return std::nullopt;
    case PropertyType::Single:
      if (auto n = AsNumber(stored)) return PropertyValue(static_cast<float>(*n));
      return std::nullopt;
    case PropertyType::String:
      switch (TypeOf(stored)) {
        case PropertyType::Boolean:
          return PropertyValue(std::string(std::get<VbBool>(stored).value ? "True" : "False"));
        case PropertyType::Integer:
          return PropertyValue(std::to_string(std::get<std::int16_t>(stored)));
        case PropertyType::Long:
          return PropertyValue(std::to_string(std::get<std::int32_t>(stored)));
        case PropertyType::Single:
          return PropertyValue(FloatText(std::get<float>(stored)));
        default:
          return std::nullopt;
      }
    default:
      return std::nullopt;
  }
}

bool SameValue(const PropertyValue& a, const PropertyValue& b) {
  if (a.index() != b.index()) return false;
  if (TypeOf(a) == PropertyType::Single) {
    const float x = std::get<float>(a), y = std::get<float>(b);
    return x == y && std::signbit(x) == std::signbit(y);
  }
  return a == b;
}

QImage PictureImage(const Picture& p) {
  if (p.Type() == PictureType::Bitmap)
    return GetBitmapImage(p.Handle()).convertToFormat(QImage::Format_RGB32);
  if (p.Type() == PictureType::Icon)
    return GetIconImage(p.Handle()).convertToFormat(QImage::Format_ARGB32);
  return {};
}

bool SamePixels(const Picture& a, const Picture& b) {
  if (a.IsNothing() || b.IsNothing()) return a.IsNothing() == b.IsNothing();
  if (a.Type() != b.Type()) return false;
  return PictureImage(a) == PictureImage(b);
}

std::string Quote(std::string_view s) {
  std::string out = "\"";
  for (char c : s) {
    const auto u = static_cast<unsigned char>(c);
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
        if (u < 0x20 || u == 0x7F) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\x%02X", u);
          out += buf;
        } else {
          out += c;
        }
    }
  }
  out += '"';
  return out;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = AsciiLower(c);
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Reads a quoted string at s[pos]; pos moves past the closing quote.
std::optional<std::string> Unquote(std::string_view s, std::size_t& pos) {
  if (pos >= s.size() || s[pos] != '"') return std::nullopt;
  std::string out;
  for (++pos; pos < s.size(); ++pos) {
    const char c = s[pos];
    if (c == '"') {
      ++pos;
      return out;
    }
    if (c != '\\') {
      out += c;
      continue;
    }
    if (++pos >= s.size()) return std::nullopt;
    switch (s[pos]) {
      case '"':
        out += '"';
        break;
      case '\\':
        out += '\\';
        break;
      case 'n':
        out += '\n';
        break;
      case 'r':
        out += '\r';
        break;
      case 't':
        out += '\t';
        break;
      case 'x': {
        if (pos + 2 >= s.size()) return std::nullopt;
        const int hi = HexDigit(s[pos + 1]), lo = HexDigit(s[pos + 2]);
        if (hi < 0 || lo < 0) return std::nullopt;
        out += static_cast<char>(hi * 16 + lo);
        pos += 2;
        break;
      }
      default:
        return std::nullopt;
    }
  }
  return std::nullopt;
}

std::string SizeText(std::int64_t units) {
  std::string s = std::to_string(units / 10000);
  std::int64_t frac = units % 10000;
  if (frac != 0) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%04lld", static_cast<long long>(frac));
    std::string f = buf;
    while (!f.empty() && f.back() == '0') f.pop_back();
    s += '.' + f;
  }
  return s;
}

std::optional<std::int64_t> ParseSize(std::string_view t) {
  const std::size_t dot = t.find('.');
  const std::string_view whole = t.substr(0, dot);
  std::string_view frac = dot == std::string_view::npos ? std::string_view{} : t.substr(dot + 1);
  if (whole.empty() || whole.size() > 12 || frac.size() > 4) return std::nullopt;
  std::int64_t w = 0;
  for (char c : whole) {
    if (c < '0' || c > '9') return std::nullopt;
    w = w * 10 + (c - '0');
  }
  std::int64_t f = 0;
  for (std::size_t i = 0; i < 4; ++i) {
    const char c = i < frac.size() ? frac[i] : '0';
    if (c < '0' || c > '9') return std::nullopt;
    f = f * 10 + (c - '0');
  }
  return w * 10000 + f;
}

std::string FontText(const StdFont& f) {
  std::string s = Quote(f.Name()) + ", " + SizeText(f.SizeUnits()) + ", Weight " +
                  std::to_string(f.Weight()) + ", Charset " + std::to_string(f.Charset());
  if (f.Italic()) s += ", Italic";
  if (f.Underline()) s += ", Underline";
  if (f.Strikethrough()) s += ", Strikethrough";
  return s;
}

std::optional<StdFont> ParseFont(std::string_view t) {
  std::size_t pos = 0;
  auto name = Unquote(t, pos);
  if (!name) return std::nullopt;
  StdFont font;
  font.SetName(*name);
  std::string rest(t.substr(pos));
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= rest.size()) {
    const std::size_t comma = rest.find(',', start);
    parts.push_back(Trim(std::string_view(rest).substr(
        start, comma == std::string::npos ? std::string::npos : comma - start)));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  if (parts.size() < 4 || !parts[0].empty()) return std::nullopt;
  auto size = ParseSize(parts[1]);
  if (!size) return std::nullopt;
  font.SetSizeUnits(*size);
  bool haveWeight = false, haveCharset = false;
  for (std::size_t i = 2; i < parts.size(); ++i) {
    const std::string& p = parts[i];
    if (p.rfind("Weight ", 0) == 0) {
      auto n = ParseNumber(p.substr(7));
      auto w = n ? ToInt<std::int16_t>(*n) : std::nullopt;
      if (!w || *w < 0 || *w > 1000) return std::nullopt;
      font.SetWeight(*w);
      haveWeight = true;
    } else if (p.rfind("Charset ", 0) == 0) {
      auto n = ParseNumber(p.substr(8));
      auto c = n ? ToInt<std::int16_t>(*n) : std::nullopt;
      if (!c) return std::nullopt;
      font.SetCharset(*c);
      haveCharset = true;
    } else if (p == "Italic") {
      font.SetItalic(true);
    } else if (p == "Underline") {
      font.SetUnderline(true);
    } else if (p == "Strikethrough") {
      font.SetStrikethrough(true);
    } else {
      return std::nullopt;
    }
  }
  if (!haveWeight || !haveCharset) return std::nullopt;
  return font;
}

std::string PictureText(const Picture& p) {
  if (p.IsNothing() || p.Type() == PictureType::None) return "None";
  const auto base64Png = [](const QImage& image) {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png.toBase64().toStdString();
  };
  const QImage image = PictureImage(p);
  std::string text = std::string(p.Type() == PictureType::Bitmap ? "Bitmap " : "Icon ") +
                     std::to_string(image.width()) + "x" + std::to_string(image.height()) + " " +
                     base64Png(image);
  // A finer drawing for dense screens follows as a second image of twice the size.
  if (p.DenseHandle() != 0 && GetBitmapRatio(p.DenseHandle()) == 2.0)
    text += " " + base64Png(GetBitmapImage(p.DenseHandle()));
  return text;
}

std::optional<Picture> ParsePicture(std::string_view t) {
  if (t == "None") return Picture::Empty();
  const bool bitmap = t.rfind("Bitmap ", 0) == 0, icon = t.rfind("Icon ", 0) == 0;
  if (!bitmap && !icon) return std::nullopt;
  std::string_view rest = t.substr(bitmap ? 7 : 5);
  const std::size_t space = rest.find(' ');
  if (space == std::string_view::npos) return std::nullopt;
  const std::string dims(rest.substr(0, space));
  const std::size_t x = dims.find('x');
  if (x == std::string::npos) return std::nullopt;
  auto w = ParseNumber(dims.substr(0, x)), h = ParseNumber(dims.substr(x + 1));
  std::string_view encoded = rest.substr(space + 1), denseEncoded;
  if (const std::size_t second = encoded.find(' '); second != std::string_view::npos) {
    denseEncoded = encoded.substr(second + 1);
    encoded = encoded.substr(0, second);
  }
  auto decode = [](std::string_view b64) {
    return QByteArray::fromBase64(
        QByteArray::fromRawData(b64.data(), static_cast<qsizetype>(b64.size())));
  };
  QImage image;
  if (!bitmap && !denseEncoded.empty()) return std::nullopt;
  if (!w || !h || !image.loadFromData(decode(encoded), "PNG") || image.width() != *w ||
      image.height() != *h)
    return std::nullopt;
  if (bitmap) {
    // The finer drawing, when there is one, is exactly twice the size.
    QImage dense;
    if (!denseEncoded.empty() && (!dense.loadFromData(decode(denseEncoded), "PNG") ||
                                  dense.width() != 2 * *w || dense.height() != 2 * *h))
      return std::nullopt;
    dense.setDevicePixelRatio(2.0);
    if (HBITMAP hbm = CreateBitmapFromImage(image))
      return Picture::FromBitmaps(hbm, dense.isNull() ? 0 : CreateBitmapFromImage(dense), true);
  } else if (HICON ic = CreateIconFromImage(image)) {
    return Picture::FromIcon(ic, true);
  }
  return std::nullopt;
}

std::string ValueText(const PropertyValue& v) {
  switch (TypeOf(v)) {
    case PropertyType::Boolean:
      return std::get<VbBool>(v).value ? "True" : "False";
    case PropertyType::Integer:
      return std::to_string(std::get<std::int16_t>(v));
    case PropertyType::Long:
      return std::to_string(std::get<std::int32_t>(v));
    case PropertyType::Single:
      return FloatText(std::get<float>(v));
    case PropertyType::String:
      return Quote(std::get<std::string>(v));
    case PropertyType::Font:
      return FontText(std::get<StdFont>(v));
    case PropertyType::Picture:
      return PictureText(std::get<Picture>(v));
  }
  return {};
}

std::optional<PropertyValue> ParseValue(PropertyType type, std::string_view t) {
  switch (type) {
    case PropertyType::Boolean:
      if (t == "True") return PropertyValue(VbBool{true});
      if (t == "False") return PropertyValue(VbBool{false});
      return std::nullopt;
    case PropertyType::Integer:
    case PropertyType::Long: {
      std::int32_t v = 0;
      auto [p, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
      if (ec != std::errc() || p != t.data() + t.size()) return std::nullopt;
      if (type == PropertyType::Long) return PropertyValue(v);
      if (v < INT16_MIN || v > INT16_MAX) return std::nullopt;
      return PropertyValue(static_cast<std::int16_t>(v));
    }
    case PropertyType::Single: {
      const std::string s(t);
      char* end = nullptr;
      const float f = std::strtof(s.c_str(), &end);
      if (s.empty() || end != s.c_str() + s.size()) return std::nullopt;
      return PropertyValue(f);
    }
    case PropertyType::String: {
      std::size_t pos = 0;
      auto s = Unquote(t, pos);
      if (!s || pos != t.size()) return std::nullopt;
      return PropertyValue(*s);
    }
    case PropertyType::Font:
      if (auto f = ParseFont(t)) return PropertyValue(*f);
      return std::nullopt;
    case PropertyType::Picture:
      if (auto p = ParsePicture(t)) return PropertyValue(*p);
      return std::nullopt;
  }
  return std::nullopt;
}

}  // namespace

const PropertyBag::Entry* PropertyBag::Find(std::string_view key) const {
  for (const Entry& e : entries_)
    if (SameKey(e.key, key)) return &e;
  return nullptr;
}

PropertyBag::Entry* PropertyBag::Find(std::string_view key) {
  for (Entry& e : entries_)
    if (SameKey(e.key, key)) return &e;
  return nullptr;
}

void PropertyBag::WriteProperty(std::string_view key, const PropertyValue& value,
                                const PropertyValue& defaultValue) {
  CheckKey(key);
  const bool isDefault =
      TypeOf(value) == PropertyType::Picture && TypeOf(defaultValue) == PropertyType::Picture
          ? std::get<Picture>(value) == std::get<Picture>(defaultValue)
          : SameValue(value, defaultValue);
  if (isDefault) {
    Remove(key);
    return;
  }
  WriteProperty(key, value);
}

void PropertyBag::WriteProperty(std::string_view key, const PropertyValue& value) {
  CheckKey(key);
  if (Entry* e = Find(key)) {
    e->value = value;
    return;
  }
  entries_.push_back(Entry{std::string(key), value});
}

PropertyValue PropertyBag::ReadProperty(std::string_view key,
                                        const PropertyValue& defaultValue) const {
  const Entry* e = Find(key);
  if (!e) return defaultValue;
  if (auto v = Convert(e->value, TypeOf(defaultValue))) return *v;
  return defaultValue;
}

bool PropertyBag::ReadBool(std::string_view key, bool d) const {
  return std::get<VbBool>(ReadProperty(key, VbBool{d})).value;
}
std::int16_t PropertyBag::ReadInt16(std::string_view key, std::int16_t d) const {
  return std::get<std::int16_t>(ReadProperty(key, d));
}
std::int32_t PropertyBag::ReadInt32(std::string_view key, std::int32_t d) const {
  return std::get<std::int32_t>(ReadProperty(key, d));
}
float PropertyBag::ReadSingle(std::string_view key, float d) const {
  return std::get<float>(ReadProperty(key, d));
}
std::string PropertyBag::ReadString(std::string_view key, std::string_view d) const {
  return std::get<std::string>(ReadProperty(key, std::string(d)));
}
StdFont PropertyBag::ReadFont(std::string_view key, const StdFont& d) const {
  return std::get<StdFont>(ReadProperty(key, d));
}
Picture PropertyBag::ReadPicture(std::string_view key, const Picture& d) const {
  Picture p = std::get<Picture>(ReadProperty(key, d));
  // A picture key that holds no picture leaves the slot empty.
  if (!p.IsNothing() && p.Type() == PictureType::None) return Picture();
  return p;
}

std::optional<PropertyValue> PropertyBag::Stored(std::string_view key) const {
  const Entry* e = Find(key);
  if (!e) return std::nullopt;
  return e->value;
}

bool PropertyBag::Remove(std::string_view key) {
  for (auto it = entries_.begin(); it != entries_.end(); ++it) {
    if (SameKey(it->key, key)) {
      entries_.erase(it);
      return true;
    }
  }
  return false;
}

std::vector<std::string> PropertyBag::Keys() const {
  std::vector<std::string> keys;
  for (const Entry& e : entries_) keys.push_back(e.key);
  return keys;
}

std::string PropertyBag::ToText() const {
  std::string out(kHeader);
  out += '\n';
  for (const Entry& e : entries_) {
    out += e.key;
    out += ": ";
    out += kTypeNames[e.value.index()];
    out += " = ";
    out += ValueText(e.value);
    out += '\n';
  }
  return out;
}

std::optional<PropertyBag> PropertyBag::FromText(std::string_view text, std::string* error) {
  PropertyBag bag;
  std::size_t lineNo = 0, pos = 0;
  bool sawHeader = false;
  auto fail = [&](const std::string& why) -> std::optional<PropertyBag> {
    if (error) *error = "line " + std::to_string(lineNo) + ": " + why;
    return std::nullopt;
  };
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!sawHeader) {
      if (line != kHeader)
        return fail("not a property bag (the first line must be \"" + std::string(kHeader) + "\")");
      sawHeader = true;
      continue;
    }
    if (Trim(line).empty()) continue;
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos || colon == 0)
      return fail("expected \"Key: Type = value\"");
    const std::string key(line.substr(0, colon));
    const std::size_t eq = line.find(" = ", colon);
    if (eq == std::string_view::npos) return fail("expected \" = \" after the type");
    const std::string typeName = Trim(line.substr(colon + 1, eq - colon - 1));
    int type = -1;
    for (int i = 0; i < 7; ++i)
      if (typeName == kTypeNames[i]) type = i;
    if (type < 0) return fail("unknown type \"" + typeName + "\"");
    const auto value = ParseValue(static_cast<PropertyType>(type), line.substr(eq + 3));
    if (!value) return fail("bad " + typeName + " value for \"" + key + "\"");
    try {
      if (bag.Contains(key)) return fail("key \"" + key + "\" given twice");
      bag.WriteProperty(key, *value);
    } catch (const std::invalid_argument& e) {
      return fail(e.what());
    }
  }
  if (!sawHeader) return fail("empty text");
  return bag;
}

bool operator==(const PropertyBag& a, const PropertyBag& b) {
  if (a.entries_.size() != b.entries_.size()) return false;
  for (std::size_t i = 0; i < a.entries_.size(); ++i) {
    const auto& x = a.entries_[i];
    const auto& y = b.entries_[i];
    if (x.key != y.key || x.value.index() != y.value.index()) return false;
    if (TypeOf(x.value) == PropertyType::Picture) {
      if (!SamePixels(std::get<Picture>(x.value), std::get<Picture>(y.value))) return false;
    } else if (!SameValue(x.value, y.value)) {
      return false;
    }
  }
  return true;
}

}  // namespace quillane::platform
