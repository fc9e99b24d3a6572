#include "spreadsheet/chart/Trendline.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace quillane::chart {

namespace {

using model::TrendKind;

constexpr int kSamples = 96;

// Least squares of y on the powers x^1..x^order (with x^0 unless the intercept is fixed):
// the coefficients from the lowest power, or nullopt when the system is singular.
std::optional<std::vector<double>> Fit(const std::vector<double>& xs, const std::vector<double>& ys,
                                       int order, std::optional<double> intercept) {
  const int first = intercept ? 1 : 0;
  const int k = order + 1 - first;
  if (static_cast<int>(xs.size()) < k + (intercept ? 0 : 1) || k <= 0) return std::nullopt;
  // x is centred and scaled for a well-conditioned system, then the powers expanded back.
  double lo = *std::min_element(xs.begin(), xs.end()), hi = *std::max_element(xs.begin(), xs.end());
  const double centre = intercept ? 0 : (lo + hi) / 2;
  const double scale = std::max({std::abs(lo - centre), std::abs(hi - centre), 1e-12});
  std::vector<double> a(static_cast<size_t>(k * (k + 1)), 0);  // k rows of k + 1
  for (size_t i = 0; i < xs.size(); ++i) {
    const double t = (xs[i] - centre) / scale;
    const double y = ys[i] - (intercept ? *intercept : 0);
    std::vector<double> p(static_cast<size_t>(k));
    double v = first ? t : 1;
    for (int j = 0; j < k; ++j, v *= t) p[static_cast<size_t>(j)] = v;
    for (int r = 0; r < k; ++r) {
      for (int c = 0; c < k; ++c) a[static_cast<size_t>(r * (k + 1) + c)] += p[r] * p[c];
      a[static_cast<size_t>(r * (k + 1) + k)] += p[r] * y;
    }
  }
  // Gaussian elimination with partial pivoting.
  for (int c = 0; c < k; ++c) {
    int pivot = c;
    for (int r = c + 1; r < k; ++r) {
      if (std::abs(a[r * (k + 1) + c]) > std::abs(a[pivot * (k + 1) + c])) pivot = r;
    }
    if (std::abs(a[pivot * (k + 1) + c]) < 1e-12) return std::nullopt;
    for (int j = 0; j <= k; ++j) std::swap(a[c * (k + 1) + j], a[pivot * (k + 1) + j]);
    for (int r = 0; r < k; ++r) {
      if (r == c) continue;
      const double f = a[r * (k + 1) + c] / a[c * (k + 1) + c];
      for (int j = c; j <= k; ++j) a[r * (k + 1) + j] -= f * a[c * (k + 1) + j];
    }
  }
  // Coefficients of t^(first..order); then of x, expanding t = (x - centre) / scale.
  std::vector<double> ct(static_cast<size_t>(order + 1), 0);
  if (intercept) ct[0] = *intercept;
  for (int j = 0; j < k; ++j)
    ct[static_cast<size_t>(j + first)] += a[j * (k + 1) + k] / a[j * (k + 1) + j];
  std::vector<double> cx(static_cast<size_t>(order + 1), 0);
  for (int j = 0; j <= order; ++j) {
    // ct[j] * ((x - centre) / scale)^j, by the binomial theorem.
    double binomial = 1;
    for (int m = 0; m <= j; ++m) {
      cx[static_cast<size_t>(m)] +=
          ct[static_cast<size_t>(j)] * binomial * std::pow(-centre, j - m) / std::pow(scale, j);
      binomial = binomial * (j - m) / (m + 1);
    }
  }
  for (double c : cx) {
    if (!std::isfinite(c)) return std::nullopt;
  }
  return cx;
}

double Polynomial(const std::vector<double>& c, double x) {
  double y = 0;
  for (size_t j = c.size(); j-- > 0;) y = y * x + c[j];
  return y;
}

}  // namespace

std::vector<std::pair<double, double>> TrendCurve(const model::Trendline& trend,
                                                  const std::vector<double>& xs,
                                                  const std::vector<double>& ys, double from,
                                                  double to) {
  std::vector<std::pair<double, double>> out;
  const size_t n = std::min(xs.size(), ys.size());
  if (trend.kind == TrendKind::MovingAverage) {
    const size_t period = std::max<size_t>(trend.period, 2);
    double sum = 0;
    for (size_t i = 0; i < n; ++i) {
      sum += ys[i];
      if (i >= period) sum -= ys[i - period];
      if (i + 1 >= period) out.emplace_back(xs[i], sum / static_cast<double>(period));
    }
    return out;
  }
  // The points in the units of the fit: logarithms where the kind needs them.
  const bool logX = trend.kind == TrendKind::Logarithmic || trend.kind == TrendKind::Power;
  const bool logY = trend.kind == TrendKind::Exponential || trend.kind == TrendKind::Power;
  std::vector<double> fx, fy;
  for (size_t i = 0; i < n; ++i) {
    if ((logX && xs[i] <= 0) || (logY && ys[i] <= 0)) return out;
    fx.push_back(logX ? std::log(xs[i]) : xs[i]);
    fy.push_back(logY ? std::log(ys[i]) : ys[i]);
  }
  const int order = trend.kind == TrendKind::Polynomial ? std::clamp<int>(trend.order, 2, 6) : 1;
  std::optional<double> intercept;
  if (trend.intercept && (trend.kind == TrendKind::Linear || trend.kind == TrendKind::Polynomial))
    intercept = trend.intercept;
  if (trend.intercept && trend.kind == TrendKind::Exponential && *trend.intercept > 0)
    intercept = std::log(*trend.intercept);
  const auto c = Fit(fx, fy, order, intercept);
  if (!c) return out;
  if (logX) from = std::max(from, 1e-9);
  if (!(to > from)) return out;
  for (int s = 0; s <= kSamples; ++s) {
    const double x = from + (to - from) * s / kSamples;
    double y = Polynomial(*c, logX ? std::log(x) : x);
    if (logY) y = std::exp(std::min(y, 700.0));
    if (std::isfinite(y)) out.emplace_back(x, y);
  }
  return out;
}

}  // namespace quillane::chart
