// Trendlines: the curve fitted to a series' points by least squares (on logarithms for the
// exponential, logarithmic and power kinds), or the moving average of its values.
#pragma once

#include <utility>
#include <vector>

#include "spreadsheet/model/Chart.h"

namespace quillane::chart {

// The curve of `trend` through the points (xs[i], ys[i]) (the same number of each, no NaN), as
// points in the same units to be joined by lines: sampled from `from` to `to` for the fitted
// kinds, one point per full period for a moving average. Empty when the points do not give
// that kind of curve (too few of them, or values a logarithm cannot take).
std::vector<std::pair<double, double>> TrendCurve(const model::Trendline& trend,
                                                  const std::vector<double>& xs,
                                                  const std::vector<double>& ys, double from,
                                                  double to);

}  // namespace quillane::chart
