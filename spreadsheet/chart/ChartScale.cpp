#include "spreadsheet/chart/ChartScale.h"

#include <algorithm>
#include <cmath>

namespace quillane::chart {

namespace {

// The smallest step of 1, 2 or 5 times a power of ten that is at least `raw`.
double NiceStep(double raw) {
  if (!(raw > 0) || !std::isfinite(raw)) return 1;
  const double power = std::pow(10, std::floor(std::log10(raw)));
  for (double m : {1.0, 2.0, 5.0, 10.0}) {
    if (m * power >= raw * (1 - 1e-9)) return m * power;
  }
  return 10 * power;
}

bool Usable(const std::optional<double>& v) { return v && std::isfinite(*v); }

}  // namespace

double Scale::Fraction(double v) const {
  double f;
  if (log) {
    const double a = std::log10(min), b = std::log10(max);
    f = v > 0 && b > a ? (std::log10(v) - a) / (b - a) : 0;
  } else {
    f = max > min ? (v - min) / (max - min) : 0;
  }
  if (!std::isfinite(f)) f = 0;
  f = std::clamp(f, -0.05, 1.05);
  return reversed ? 1 - f : f;
}

std::vector<double> Scale::Ticks() const {
  std::vector<double> ticks;
  if (log) {
    for (double v = min; v <= max * (1 + 1e-9) && ticks.size() < 400; v *= major)
      ticks.push_back(v);
    return ticks;
  }
  if (!(major > 0)) return {min, max};
  const double count = std::floor((max - min) / major + 1e-9);
  if (!(count >= 0) || count > 400) return {min, max};
  for (double k = 0; k <= count; ++k) {
    double v = min + k * major;
    if (std::abs(v) < major * 1e-9) v = 0;  // no "-0" from rounding
    ticks.push_back(v);
  }
  return ticks;
}

double Scale::Baseline() const {
  if (log) return min;
  return std::clamp(0.0, min, max);
}

Scale NiceScale(double lo, double hi, const model::ChartAxis& axis, int maxIntervals,
                bool percent) {
  Scale s;
  s.reversed = axis.reversed;
  maxIntervals = std::clamp(maxIntervals, 1, 50);
  if (!std::isfinite(lo) || !std::isfinite(hi)) lo = 0, hi = 1;
  if (lo > hi) std::swap(lo, hi);
  if (axis.logScale) {
    s.log = true;
    s.major = 10;
    if (Usable(axis.majorUnit) && *axis.majorUnit > 1 && *axis.majorUnit < 1e100)
      s.major = *axis.majorUnit;
    const double b = std::log(s.major);
    lo = lo > 0 ? lo : 1;
    hi = std::max(hi, lo);
    s.min =
        Usable(axis.min) && *axis.min > 0 ? *axis.min : std::exp(std::floor(std::log(lo) / b) * b);
    s.max = Usable(axis.max) && *axis.max > s.min ? *axis.max
                                                  : std::exp(std::ceil(std::log(hi) / b) * b);
    if (s.max <= s.min) s.max = s.min * s.major;
    return s;
  }
  if (percent) lo = std::min(lo, 0.0), hi = std::max(hi, 0.0);
  const bool fixedMin = Usable(axis.min), fixedMax = Usable(axis.max);
  if (fixedMin) lo = *axis.min;
  if (fixedMax) hi = *axis.max;
  if (!fixedMin && lo > 0) lo = 0;
  if (!fixedMax && hi < 0) hi = 0;
  if (hi <= lo) {
    // A chart with nothing to show (or only zeros) counts up from zero.
    if ((fixedMin && !fixedMax) || (!fixedMin && !fixedMax && lo == 0))
      hi = lo + (lo == 0 ? 1 : std::abs(lo));
    else
      lo = hi - (hi == 0 ? 1 : std::abs(hi));
  }
  // Room above the largest value (and below the smallest negative one).
  double top = hi, bottom = lo;
  if (!fixedMax && !percent && hi > 0) top = hi + (hi - lo) * 0.05;
  if (!fixedMin && !percent && lo < 0) bottom = lo - (hi - lo) * 0.05;
  double major = NiceStep((top - bottom) / maxIntervals);
  if (percent) major = std::max(major, 0.1);
  if (Usable(axis.majorUnit) && *axis.majorUnit > 0 && (top - bottom) / *axis.majorUnit <= 400) {
    major = *axis.majorUnit;
  }
  s.major = major;
  s.min = fixedMin ? lo : std::floor(bottom / major + 1e-9) * major;
  s.max = fixedMax ? hi : std::ceil(top / major - 1e-9) * major;
  // A whole is 100%: the scale of parts of it ends there.
  if (percent && !fixedMax) s.max = hi > 0 ? 1.0 : 0.0;
  if (percent && !fixedMin) s.min = lo < 0 ? -1.0 : 0.0;
  if (s.max <= s.min) s.max = s.min + major;
  return s;
}

}  // namespace quillane::chart
