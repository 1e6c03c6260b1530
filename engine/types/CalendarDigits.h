#pragma once

#include <cstddef>
#include <string_view>

// The digit and calendar arithmetic that both the type profiler and the
// value forms read dates with.
namespace quarrow::calendar {

// The number the `count` ASCII digits at `at` write; the caller has checked
// they are digits.
constexpr int digitsValue(std::string_view s, std::size_t at, std::size_t count) noexcept
{
    int v = 0;
    for (std::size_t i = at; i < at + count; ++i)
        v = v * 10 + (s[i] - '0');
    return v;
}

// Days in `month` (1 to 12) of `year`, in the Gregorian calendar.
constexpr int daysInMonth(int year, int month) noexcept
{
    constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

} // namespace quarrow::calendar
