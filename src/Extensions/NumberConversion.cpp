#include "Extensions/NumberConversion.h"

#include <cmath>
#include <limits>

namespace {

template <typename I>
std::optional<I> checkedTruncate(double value) {
    if (!std::isfinite(value)) {
        return std::nullopt;
    }
    const double t = std::trunc(value);
    // 2^63 is exactly representable; the largest int64 is not, so compare against the bound.
    constexpr double lowest = static_cast<double>(std::numeric_limits<I>::min());
    constexpr double beyond = -lowest; // 2^(bits-1)
    if (t < lowest || t >= beyond) {
        return std::nullopt;
    }
    return static_cast<I>(t);
}

template <typename I>
I clampTruncate(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    if (auto exact = checkedTruncate<I>(value)) {
        return *exact;
    }
    return value < 0 ? std::numeric_limits<I>::min() : std::numeric_limits<I>::max();
}

} // namespace

std::int64_t NumberConversion::toInt64(double value) { return clampTruncate<std::int64_t>(value); }

int NumberConversion::toInt(double value) { return clampTruncate<int>(value); }

std::optional<std::int64_t> NumberConversion::exactInt64(double value) {
    return checkedTruncate<std::int64_t>(value);
}

std::optional<int> NumberConversion::exactInt(double value) { return checkedTruncate<int>(value); }
