// The scale of a value axis: its minimum, maximum and major unit, chosen as the application
// chooses them unless the axis fixes them.
#pragma once

#include <vector>

#include "spreadsheet/model/Chart.h"

namespace quillane::chart {

struct Scale {
  double min = 0, max = 1, major = 0.2;
  bool log = false;  // min, max and major are then powers: ticks at min * major^k
  bool reversed = false;

  // Where a value lies along the axis: 0 at its start, 1 at its end (clamped a little beyond).
  double Fraction(double v) const;
  // The values of the major ticks, min to max (at most a few hundred).
  std::vector<double> Ticks() const;
  // The value the bars and areas grow from: 0 when on the axis, else the nearer end.
  double Baseline() const;
};

// The scale of values from `lo` to `hi`: steps of 1, 2 or 5 times a power of ten, at most
// `maxIntervals` of them; 0-based when the values are all positive (or all negative); some room
// above the largest value. `percent`: values are fractions of a whole (0..1 for 0%..100%), the
// scale ends at 100%. What `axis` fixes (min, max, major unit, logarithmic, reversed) holds.
Scale NiceScale(double lo, double hi, const model::ChartAxis& axis, int maxIntervals, bool percent);

}  // namespace quillane::chart
