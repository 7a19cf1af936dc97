#include "update/download_context.h"

#include <cmath>
#include <limits>
#include <string>

#include "core/number_text.h"

namespace update {

int32_t VersionHundredths(std::string_view text) {
  const std::optional<double> number = core::ReadDecimal(text);
  if (!number) return 0;
  const double value = *number * 100.01;
  constexpr double kMax = std::numeric_limits<int32_t>::max();
  constexpr double kMin = std::numeric_limits<int32_t>::min();
  if (!(value < kMax)) return std::numeric_limits<int32_t>::max();
  if (!(value > kMin)) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(std::trunc(value));
}

}  // namespace update
