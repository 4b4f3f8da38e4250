#include "Extensions/NumberConversion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

constexpr double inf = std::numeric_limits<double>::infinity();
constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
constexpr std::int64_t i64max = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t i64min = std::numeric_limits<std::int64_t>::min();

struct Case {
    double in;
    std::int64_t clamped64;
    int clamped32;
    bool exact64;
    bool exact32;
};

} // namespace

TEST(NumberConversion, EveryDoubleHasADefinedInteger) {
    const Case cases[] = {
        {0.0, 0, 0, true, true},
        {12.9, 12, 12, true, true},
        {-12.9, -12, -12, true, true},
        {notANumber, 0, 0, false, false},
        {inf, i64max, INT32_MAX, false, false},
        {-inf, i64min, INT32_MIN, false, false},
        {1e300, i64max, INT32_MAX, false, false},
        {-1e300, i64min, INT32_MIN, false, false},
        {9223372036854775808.0, i64max, INT32_MAX, false, false}, // 2^63: just out of range
        {-9223372036854775808.0, i64min, INT32_MIN, true, false}, // -2^63 fits exactly
        {2147483647.5, 2147483647, INT32_MAX, true, true},
        {2147483648.0, 2147483648LL, INT32_MAX, true, false},
        {-2147483648.9, -2147483648LL, INT32_MIN, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(NumberConversion::toInt64(c.in), c.clamped64);
        EXPECT_EQ(NumberConversion::toInt(c.in), c.clamped32);
        EXPECT_EQ(NumberConversion::exactInt64(c.in).has_value(), c.exact64);
        EXPECT_EQ(NumberConversion::exactInt(c.in).has_value(), c.exact32);
    }
}
