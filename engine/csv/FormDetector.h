#pragma once

#include "engine/types/ValueForms.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quarrow {

// The value forms a file's numbers and dates seem to be written in, from
// the values of a sample, each value by itself:
// - Numbers: a comma followed by other than exactly three digits (1,50) or
//   after groups of three with '.' or a blank (1.234,56) is a decimal
//   comma; groups with ',' or '\'' before a point (1,234.56, 1'234.5) or a
//   point without a leading digit (.097) a decimal point. 1.234 and 1,234
//   say nothing by themselves; once the mark is known, they show the group.
//   Both marks shown: undecided.
// - Dates: day and month before a four-digit year; a first number above 12
//   decides day.month.year, a second above 12 month/day/year (both:
//   undecided); otherwise '.' between them (a European habit) means
//   day.month.year and AM/PM times month/day/year. Year first with '/' or
//   '.': year/month/day; ISO date-times with T: ISO.
// Undecided keeps the current forms; the evidence says why, with the first
// value that showed the form.
class FormVotes {
public:
    // One value as the sample has it (quotes and blanks around it are dropped).
    void add(std::string_view value, std::size_t line);

    struct NumberChoice {
        std::optional<DecimalMark> decimal;
        GroupMark group = GroupMark::None;
        std::string evidence;
    };
    struct DateChoice {
        std::optional<DateOrder> order;
        std::string evidence;
    };
    NumberChoice numbers() const;
    DateChoice dates() const;

private:
    struct Seen {
        std::uint64_t count = 0;
        std::size_t line = 0;
        std::string value;
        void note(std::string_view v, std::size_t at);
    };
    Seen m_comma;           // a decimal comma beyond doubt: 1,50 1.234,5 ,5
    Seen m_point;           // a decimal point plain numbers do not show: 1,234.5 .097
    Seen m_plainPoint;      // 1.5: a point, but today's rule reads it already
    Seen m_groupPoint;      // 1.234.567: '.' groups, so the decimal mark is a comma
    Seen m_groupComma;      // 1,234,567
    Seen m_groupBlank;      // 1 234
    Seen m_groupApostrophe; // 1'234
    Seen m_maybeGroupPoint; // 1.234: a group or three decimals
    Seen m_maybeGroupComma; // 1,234
    Seen m_dayFirst;        // a first number above 12
    Seen m_monthFirst;      // a second number above 12
    Seen m_dotted;          // d.m.yyyy, undecided by its numbers
    Seen m_slashed;         // d/m/yyyy or d-m-yyyy, undecided by its numbers
    Seen m_meridiem;        // a time with AM or PM
    Seen m_yearFirst;       // yyyy/mm/dd or yyyy.mm.dd
    Seen m_isoT;            // yyyy-mm-ddThh:mm
};

} // namespace quarrow
