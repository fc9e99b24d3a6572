#include "spreadsheet/model/Basics.h"

#include <algorithm>
#include <cmath>

namespace quillane::model {

uint32_t ScaleLightness(uint32_t rgb, double mod, double off) {
  const double r = ((rgb >> 16) & 0xFF) / 255.0, g = ((rgb >> 8) & 0xFF) / 255.0,
               b = (rgb & 0xFF) / 255.0;
  const double mx = std::max({r, g, b}), mn = std::min({r, g, b});
  double h = 0, s = 0, l = (mx + mn) / 2;
  if (mx != mn) {
    const double d = mx - mn;
    s = l > 0.5 ? d / (2 - mx - mn) : d / (mx + mn);
    h = mx == r ? (g - b) / d + (g < b ? 6 : 0) : mx == g ? (b - r) / d + 2 : (r - g) / d + 4;
    h /= 6;
  }
  l = std::clamp(l * mod + off, 0.0, 1.0);
  auto hue = [](double p, double q, double t) {
    if (t < 0) t += 1;
    if (t > 1) t -= 1;
    if (t < 1.0 / 6) return p + (q - p) * 6 * t;
    if (t < 0.5) return q;
    if (t < 2.0 / 3) return p + (q - p) * (2.0 / 3 - t) * 6;
    return p;
  };
  double rr = l, gg = l, bb = l;
  if (s != 0) {
    const double q = l < 0.5 ? l * (1 + s) : l + s - l * s;
    const double p = 2 * l - q;
    rr = hue(p, q, h + 1.0 / 3), gg = hue(p, q, h), bb = hue(p, q, h - 1.0 / 3);
  }
  auto byte = [](double v) {
    return static_cast<uint32_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255));
  };
  return (byte(rr) << 16) | (byte(gg) << 8) | byte(bb);
}

uint32_t ApplyTint(uint32_t rgb, double tint) {
  if (tint == 0 || !std::isfinite(tint)) return rgb;
  tint = std::clamp(tint, -1.0, 1.0);
  return tint < 0 ? ScaleLightness(rgb, 1 + tint, 0) : ScaleLightness(rgb, 1 - tint, tint);
}

}  // namespace quillane::model
