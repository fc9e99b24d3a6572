#include "platform/StdFont.h"

#include <cmath>

namespace quillane::platform {

void StdFont::SetSize(double points) {
  if (!std::isfinite(points) || points < 0) points = 0;
  if (points > 1.0e6) points = 1.0e6;
  size_ = static_cast<std::int64_t>(std::nearbyint(points * 10000.0));
}

}  // namespace quillane::platform
