#pragma once

#include <cstdint>
#include <optional>

// Doubles turned into integers with a defined answer for every input: NaN gives 0, values
// beyond the range (infinities included) give the nearest end of the range, and everything
// else is truncated toward zero, as a plain cast would do for in-range values.
class NumberConversion {
public:
    static std::int64_t toInt64(double value);
    static int toInt(double value);
    // The truncated value when value is finite and its truncation fits the range, else nothing.
    static std::optional<std::int64_t> exactInt64(double value);
    static std::optional<int> exactInt(double value);
};
