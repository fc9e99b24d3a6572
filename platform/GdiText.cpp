// Fonts and text output.
#include <algorithm>
#include <cmath>
#include <cstring>

#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QTransform>

#include "platform/Colors.h"
#include "platform/GdiInternal.h"

namespace quillane::platform {
namespace detail {
namespace {

bool HaveGui() { return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr; }

QFont MakeFont(const LOGFONT& lf) {
  QFont font;
  const std::size_t len = strnlen(lf.lfFaceName, LF_FACESIZE);
  const QString face = QString::fromLocal8Bit(lf.lfFaceName, static_cast<qsizetype>(len));
  if (!face.isEmpty())
    font.setFamilies({face, QFontDatabase::systemFont(QFontDatabase::GeneralFont).family()});
  int px;
  if (lf.lfHeight < 0) {
    px = lf.lfHeight == INT32_MIN ? 4096 : -lf.lfHeight;
  } else if (lf.lfHeight > 0) {
    // A positive height asks for the cell height (ascent + descent).
    QFont probe = font;
    probe.setPixelSize(100);
    const QFontMetrics fm(probe);
    const int cell = std::max(1, fm.ascent() + fm.descent());
    px = static_cast<int>(std::lround(static_cast<double>(lf.lfHeight) * 100.0 / cell));
  } else {
    px = 11;
  }
  px = std::clamp(px, 1, 4096);
  font.setPixelSize(px);
  font.setWeight(
      static_cast<QFont::Weight>(std::clamp(lf.lfWeight == 0 ? 400 : lf.lfWeight, 1, 1000)));
  font.setItalic(lf.lfItalic != 0);
  font.setUnderline(lf.lfUnderline != 0);
  font.setStrikeOut(lf.lfStrikeOut != 0);
  const bool antialias = lf.lfQuality == ANTIALIASED_QUALITY || lf.lfQuality == CLEARTYPE_QUALITY ||
                         (lf.lfQuality != NONANTIALIASED_QUALITY && px >= 24);
  font.setStyleStrategy(antialias ? QFont::PreferAntialias : QFont::NoAntialias);
  font.setKerning(false);
  return font;
}

}  // namespace

std::optional<QFont> DcFont(DcObj& dc, LOGFONT* lf) {
  if (!HaveGui()) return std::nullopt;
  auto* f = Get<FontObj>(dc.font);
  if (!f) return std::nullopt;
  if (!f->font) f->font = MakeFont(f->lf);
  if (lf) *lf = f->lf;
  return f->font;
}

}  // namespace detail

using namespace detail;

namespace {

struct Line {
  QString text;
  int underline = -1;  // index of the character shown with an underline ("&x")
};

Line StripPrefix(const QString& in, bool prefix) {
  Line line;
  if (!prefix) {
    line.text = in;
    return line;
  }
  for (qsizetype i = 0; i < in.size(); ++i) {
    if (in[i] == u'&') {
      if (i + 1 < in.size()) {
        ++i;
        if (in[i] != u'&') line.underline = static_cast<int>(line.text.size());
        line.text += in[i];
      }
      continue;
    }
    line.text += in[i];
  }
  return line;
}

// Draws one line of text with the context's font and colours; (x, y) is the reference point that
// `align` names; a font escapement turns the text about it. Pixels outside `clip` (when given) are
// left alone.
void Render(DcObj& dc, BitmapObj& bmp, const QFont& font, int escapement, int x, int y,
            const Line& line, std::uint32_t align, const QRect* clip) {
  constexpr int kFar = 1 << 24;  // text this far off any bitmap cannot show
  if (x < -kFar || x > kFar || y < -kFar || y > kFar) return;
  const QFontMetrics fm(font);
  const int width = fm.horizontalAdvance(line.text);
  const int height = fm.height();
  int left = 0, top = 0;
  if ((align & TA_CENTER) == TA_CENTER)
    left = -width / 2;
  else if (align & TA_RIGHT)
    left = -width;
  if ((align & TA_BASELINE) == TA_BASELINE)
    top = -fm.ascent();
  else if (align & TA_BOTTOM)
    top = -height;
  const QRect cell(left, top, std::max(width, 0), height);
  QTransform transform;
  transform.translate(x, y);
  transform.rotate(-escapement / 10.0);
  QRect area = transform.mapRect(QRectF(cell)).toAlignedRect().adjusted(-2, -2, 2, 2);
  area &= QRect(0, 0, LogicalWidth(bmp), LogicalHeight(bmp));
  if (clip) area &= *clip;
  if (area.isEmpty()) return;
  // The layer covers the area's device pixels; text is laid out in logical pixels and drawn at
  // the device's resolution.
  const double ratio = Ratio(bmp);
  const QRect device(
      QPoint(static_cast<int>(Dev(ratio, area.left())), static_cast<int>(Dev(ratio, area.top()))),
      QPoint(static_cast<int>(Dev(ratio, std::int64_t{area.right()} + 1)) - 1,
             static_cast<int>(Dev(ratio, std::int64_t{area.bottom()} + 1)) - 1));
  QImage layer(device.size(), QImage::Format_ARGB32_Premultiplied);
  if (layer.isNull()) return;
  layer.fill(0);
  // At a higher pixel density the text is smoothed: its pixels are small enough to stay sharp.
  QFont shown = font;
  if (ratio != 1.0) shown.setStyleStrategy(QFont::PreferAntialias);
  const bool antialias = shown.styleStrategy() != QFont::NoAntialias;
  {
    QPainter p(&layer);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setRenderHint(QPainter::TextAntialiasing, antialias);
    QTransform t = transform * QTransform::fromScale(ratio, ratio) *
                   QTransform::fromTranslate(-device.left(), -device.top());
    p.setTransform(t);
    if (dc.bkMode == OPAQUE) p.fillRect(cell, QColor::fromRgb(ToQRgb(dc.bkColor)));
    const QColor ink = QColor::fromRgb(ToQRgb(dc.textColor));
    p.setPen(ink);
    p.setFont(shown);
    p.drawText(QPoint(cell.left(), cell.top() + fm.ascent()), line.text);
    if (line.underline >= 0 && line.underline < line.text.size()) {
      const int ux = cell.left() + fm.horizontalAdvance(line.text.left(line.underline));
      const int uw = fm.horizontalAdvance(line.text.mid(line.underline, 1));
      const int uy = cell.top() + fm.ascent() + std::max(1, fm.underlinePos());
      p.fillRect(QRect(ux, uy, uw, std::max(1, fm.lineWidth())), ink);
    }
  }
  for (int j = 0; j < layer.height(); ++j) {
    const auto* src = reinterpret_cast<const QRgb*>(layer.constScanLine(j));
    for (int i = 0; i < layer.width(); ++i) {
      const QRgb pm = src[i];
      const int a = qAlpha(pm);
      if (a == 0) continue;
      const QRgb plain = qUnpremultiply(pm);
      BlendPixel(bmp, device.left() + i, device.top() + j, plain);
    }
  }
}

std::vector<QString> SplitLines(const QString& text) {
  std::vector<QString> lines;
  QString current;
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text[i];
    if (c == u'\r' || c == u'\n') {
      lines.push_back(current);
      current.clear();
      if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
      continue;
    }
    current += c;
  }
  lines.push_back(current);
  return lines;
}

std::vector<QString> WrapLine(const QString& text, const QFontMetrics& fm, int width, bool prefix) {
  std::vector<QString> out;
  const QStringList words = text.split(u' ');
  QString current;
  auto shown = [&](const QString& s) { return fm.horizontalAdvance(StripPrefix(s, prefix).text); };
  for (const QString& word : words) {
    const QString candidate = current.isEmpty() ? word : current + u' ' + word;
    if (!current.isEmpty() && shown(candidate) > width) {
      out.push_back(current);
      current = word;
    } else {
      current = candidate;
    }
  }
  out.push_back(current);
  return out;
}

}  // namespace

HFONT CreateFontIndirect(const LOGFONT& lf) {
  LOGFONT copy = lf;
  copy.lfFaceName[LF_FACESIZE - 1] = '\0';
  return Insert(FontObj{copy, std::nullopt});
}

bool TextOut(HDC hdc, int x, int y, std::string_view text) {
  auto* dc = Get<DcObj>(hdc);
  if (!dc) return false;
  LOGFONT lf;
  const auto font = DcFont(*dc, &lf);
  if (!font) return false;
  BitmapObj* bmp = DcBitmap(*dc);
  if (!bmp) return true;
  Line line;
  line.text = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  Render(*dc, *bmp, *font, lf.lfEscapement, x, y, line, dc->textAlign, nullptr);
  return true;
}

bool GetTextExtentPoint32(HDC hdc, std::string_view text, SIZE* out) {
  auto* dc = Get<DcObj>(hdc);
  if (!dc || !out) return false;
  const auto font = DcFont(*dc);
  if (!font) return false;
  const QFontMetrics fm(*font);
  out->cx =
      fm.horizontalAdvance(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
  out->cy = fm.height();
  return true;
}

bool GetTextMetrics(HDC hdc, TEXTMETRIC* out) {
  auto* dc = Get<DcObj>(hdc);
  if (!dc || !out) return false;
  LOGFONT lf;
  const auto font = DcFont(*dc, &lf);
  if (!font) return false;
  const QFontMetrics fm(*font);
  out->tmAscent = fm.ascent();
  out->tmDescent = fm.descent();
  out->tmHeight = fm.height();
  out->tmInternalLeading = std::max(0, fm.height() - font->pixelSize());
  out->tmExternalLeading = std::max(0, fm.leading());
  out->tmAveCharWidth = fm.averageCharWidth();
  out->tmMaxCharWidth = fm.maxWidth();
  out->tmWeight = lf.lfWeight == 0 ? 400 : lf.lfWeight;
  return true;
}

int DrawText(HDC hdc, std::string_view text, RECT* rect, std::uint32_t format) {
  auto clampInt = [](std::int64_t v) {
    return static_cast<int>(std::clamp<std::int64_t>(v, -(1 << 30), 1 << 30));
  };
  auto* dc = Get<DcObj>(hdc);
  if (!dc || !rect) return 0;
  LOGFONT lf;
  const auto font = DcFont(*dc, &lf);
  if (!font) return 0;
  const QFontMetrics fm(*font);
  const bool prefix = !(format & DT_NOPREFIX);
  const bool single = format & DT_SINGLELINE;
  const QString all = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  std::vector<Line> lines;
  if (single) {
    lines.push_back(StripPrefix(all, prefix));
  } else {
    for (const QString& raw : SplitLines(all)) {
      if (format & DT_WORDBREAK) {
        const auto width = static_cast<int>(
            std::clamp<std::int64_t>(std::int64_t{rect->right} - rect->left, 0, INT32_MAX));
        for (const QString& part : WrapLine(raw, fm, width, prefix))
          lines.push_back(StripPrefix(part, prefix));
      } else {
        lines.push_back(StripPrefix(raw, prefix));
      }
    }
  }
  const int lineHeight = fm.height();
  const int height = lineHeight * static_cast<int>(lines.size());
  int widest = 0;
  for (const Line& l : lines) widest = std::max(widest, fm.horizontalAdvance(l.text));
  if (format & DT_CALCRECT) {
    rect->right =
        static_cast<int>(std::min<std::int64_t>(std::int64_t{rect->left} + widest, INT32_MAX));
    rect->bottom =
        static_cast<int>(std::min<std::int64_t>(std::int64_t{rect->top} + height, INT32_MAX));
    return height;
  }
  std::int64_t top = rect->top;
  if (single && (format & DT_VCENTER))
    top = rect->top + (std::int64_t{rect->bottom} - rect->top - height) / 2;
  else if (single && (format & DT_BOTTOM))
    top = std::int64_t{rect->bottom} - height;
  BitmapObj* bmp = DcBitmap(*dc);
  if (bmp) {
    const std::int64_t rectW = std::int64_t{rect->right} - rect->left,
                       rectH = std::int64_t{rect->bottom} - rect->top;
    const QRect clip(clampInt(rect->left), clampInt(rect->top), clampInt(rectW), clampInt(rectH));
    std::int64_t y = top;
    for (const Line& l : lines) {
      const int w = fm.horizontalAdvance(l.text);
      std::int64_t x = rect->left;
      if (format & DT_CENTER)
        x = rect->left + (rectW - w) / 2;
      else if (format & DT_RIGHT)
        x = std::int64_t{rect->right} - w;
      Render(*dc, *bmp, *font, lf.lfEscapement, clampInt(x), clampInt(y), l, TA_LEFT | TA_TOP,
             (format & DT_NOCLIP) ? nullptr : &clip);
      y += lineHeight;
    }
  }
  if (single && (format & (DT_VCENTER | DT_BOTTOM))) return clampInt(top + height - rect->top);
  return height;
}

}  // namespace quillane::platform
