#include "engine/csv/FormDetector.h"

#include <vector>

namespace quarrow {

namespace {

constexpr bool digit(char c) noexcept
{
    return c >= '0' && c <= '9';
}

std::string quotedAt(std::string_view value, std::size_t line)
{
    return "'" + std::string(value) + "' (line " + std::to_string(line) + ")";
}

std::string_view trimmedValue(std::string_view v)
{
    while (!v.empty() && (v.front() == ' ' || v.front() == '\t' || v.front() == '"'))
        v.remove_prefix(1);
    while (!v.empty() && (v.back() == ' ' || v.back() == '\t' || v.back() == '"'))
        v.remove_suffix(1);
    return v;
}

bool endsInMeridiem(std::string_view v)
{
    if (v.size() < 2)
        return false;
    const char a = static_cast<char>(v[v.size() - 2] | 0x20);
    const char m = static_cast<char>(v.back() | 0x20);
    return m == 'm' && (a == 'a' || a == 'p');
}

} // namespace

void FormVotes::Seen::note(std::string_view v, std::size_t at)
{
    if (count++ == 0) {
        line = at;
        value = std::string(v);
    }
}

void FormVotes::add(std::string_view raw, std::size_t line)
{
    const std::string_view shown = trimmedValue(raw);
    char buf[kMaxFormedChars];
    const auto* bytes = reinterpret_cast<const unsigned char*>(shown.data());
    const auto n = gatherPlainValue(bytes, bytes + shown.size(), buf);
    if (!n || *n == 0 || (!digit(buf[*n - 1]) && !endsInMeridiem(std::string_view(buf, *n))))
        return;
    const std::string_view v(buf, *n);
    char plain[kMaxPlainChars];

    // Dates first: 01.02.2024 is no number.
    if (v.size() >= 8) {
        const bool yearFirst = v.size() > 4 && digit(v[0]) && digit(v[3]) && (v[4] == '/' || v[4] == '.');
        if (digit(v[0]) && digit(v[3]) && v[4] == '-') {
            // ISO dates are read as they stand; only the T of a date-time is new.
            if (v.size() > 10 && v[10] == 'T' && normaliseDate(v, DateOrder::Iso, true, false, plain) > 0)
                m_isoT.note(shown, line);
            return;
        }
        if (yearFirst && normaliseDate(v, DateOrder::Ymd, true, false, plain) > 0) {
            m_yearFirst.note(shown, line);
            return;
        }
        const bool dmy = normaliseDate(v, DateOrder::Dmy, true, false, plain) > 0;
        const bool mdy = normaliseDate(v, DateOrder::Mdy, true, false, plain) > 0;
        if (dmy || mdy) {
            if (endsInMeridiem(v))
                m_meridiem.note(shown, line);
            if (dmy && !mdy)
                m_dayFirst.note(shown, line);
            else if (mdy && !dmy)
                m_monthFirst.note(shown, line);
            else if (v[v.find_first_not_of("0123456789")] == '.')
                m_dotted.note(shown, line);
            else
                m_slashed.note(shown, line);
            return;
        }
    }

    // Numbers: runs of digits between single marks.
    std::size_t i = v[0] == '-' || v[0] == '+' ? 1 : 0;
    std::vector<std::size_t> runs;
    std::string marks;
    for (;;) {
        std::size_t d = 0;
        while (i < v.size() && digit(v[i]))
            ++i, ++d;
        runs.push_back(d);
        if (i == v.size())
            break;
        const char m = v[i++];
        if (m != '.' && m != ',' && m != ' ' && m != '\'')
            return;
        marks.push_back(m);
    }
    if (marks.empty())
        return;
    for (std::size_t k = 1; k < runs.size(); ++k) {
        if (runs[k] == 0)
            return;
    }
    const char last = marks.back();
    if (marks.size() == 1) {
        if (runs[0] == 0) {
            // .097, ,5
            if (last == ',')
                m_comma.note(shown, line);
            else if (last == '.')
                m_point.note(shown, line);
            return;
        }
        if (runs[1] == 3 && runs[0] <= 3) {
            switch (last) {
            case '.': m_maybeGroupPoint.note(shown, line); break;
            case ',': m_maybeGroupComma.note(shown, line); break;
            case ' ': m_groupBlank.note(shown, line); break;
            default: m_groupApostrophe.note(shown, line); break;
            }
            return;
        }
        if (last == ',')
            m_comma.note(shown, line);
        else if (last == '.')
            m_plainPoint.note(shown, line);
        return;
    }
    // Two marks or more: groups of three after one to three digits, then
    // perhaps another mark before the decimals.
    if (runs[0] == 0 || runs[0] > 3)
        return;
    const char group = marks[0];
    const bool decimals = last != group;
    const std::size_t groups = decimals ? marks.size() - 1 : marks.size();
    for (std::size_t k = 0; k < groups; ++k) {
        if (marks[k] != group || runs[k + 1] != 3)
            return;
    }
    if (decimals && (last == ' ' || last == '\'' || (last == '.' && group == '.') || (last == ',' && group == ',')))
        return;
    switch (group) {
    case '.': m_groupPoint.note(shown, line); break;
    case ',': m_groupComma.note(shown, line); break;
    case ' ': m_groupBlank.note(shown, line); break;
    default: m_groupApostrophe.note(shown, line); break;
    }
    if (decimals)
        (last == ',' ? m_comma : m_point).note(shown, line);
}

FormVotes::NumberChoice FormVotes::numbers() const
{
    const Seen* commaSide = m_comma.count > 0 ? &m_comma : m_groupPoint.count > 0 ? &m_groupPoint : nullptr;
    const Seen* pointSide = m_point.count > 0             ? &m_point
                            : m_groupComma.count > 0      ? &m_groupComma
                            : m_groupApostrophe.count > 0 ? &m_groupApostrophe
                                                          : nullptr;
    NumberChoice choice;
    if (commaSide != nullptr && pointSide != nullptr) {
        choice.evidence = "numbers with a decimal comma, " + quotedAt(commaSide->value, commaSide->line)
                          + ", and with a decimal point, " + quotedAt(pointSide->value, pointSide->line)
                          + ": not clear";
        return choice;
    }
    auto withGroup = [&](GroupMark group, const Seen& seen) {
        choice.group = group;
        choice.evidence += "; groups of three as in " + quotedAt(seen.value, seen.line);
    };
    if (commaSide != nullptr) {
        choice.decimal = DecimalMark::Comma;
        choice.evidence = "decimal comma in " + quotedAt(commaSide->value, commaSide->line);
        if (m_groupPoint.count > 0)
            withGroup(GroupMark::Point, m_groupPoint);
        else if (m_maybeGroupPoint.count > 0)
            withGroup(GroupMark::Point, m_maybeGroupPoint);
        else if (m_groupBlank.count > 0)
            withGroup(GroupMark::Blank, m_groupBlank);
        return choice;
    }
    if (pointSide != nullptr) {
        choice.decimal = DecimalMark::Point;
        choice.evidence = "decimal point in " + quotedAt(pointSide->value, pointSide->line);
        if (m_groupComma.count > 0)
            withGroup(GroupMark::Comma, m_groupComma);
        else if (m_maybeGroupComma.count > 0)
            withGroup(GroupMark::Comma, m_maybeGroupComma);
        else if (m_groupApostrophe.count > 0)
            withGroup(GroupMark::Apostrophe, m_groupApostrophe);
        else if (m_groupBlank.count > 0)
            withGroup(GroupMark::Blank, m_groupBlank);
        return choice;
    }
    if (m_maybeGroupPoint.count > 0 || m_maybeGroupComma.count > 0) {
        const Seen& seen = m_maybeGroupPoint.count > 0 ? m_maybeGroupPoint : m_maybeGroupComma;
        choice.evidence = quotedAt(seen.value, seen.line) + " is a group of three or three decimals: not clear";
    } else if (m_plainPoint.count > 0) {
        choice.evidence = "numbers with a decimal point, as in " + quotedAt(m_plainPoint.value, m_plainPoint.line)
                          + ", are read as they stand";
    } else {
        choice.evidence = "no number with a decimal mark or groups";
    }
    return choice;
}

FormVotes::DateChoice FormVotes::dates() const
{
    DateChoice choice;
    const bool ordered = m_dayFirst.count > 0 || m_monthFirst.count > 0 || m_dotted.count > 0 || m_slashed.count > 0;
    if (m_dayFirst.count > 0 && m_monthFirst.count > 0) {
        choice.evidence = "a day above 12 first in " + quotedAt(m_dayFirst.value, m_dayFirst.line) + " and second in "
                          + quotedAt(m_monthFirst.value, m_monthFirst.line) + ": not clear";
        return choice;
    }
    if (ordered && m_yearFirst.count > 0) {
        const Seen& other = m_dayFirst.count > 0     ? m_dayFirst
                            : m_monthFirst.count > 0 ? m_monthFirst
                            : m_dotted.count > 0     ? m_dotted
                                                     : m_slashed;
        choice.evidence = "the year first in " + quotedAt(m_yearFirst.value, m_yearFirst.line) + " and last in "
                          + quotedAt(other.value, other.line) + ": not clear";
        return choice;
    }
    if (m_dayFirst.count > 0) {
        choice.order = DateOrder::Dmy;
        choice.evidence = "a day above 12 first in " + quotedAt(m_dayFirst.value, m_dayFirst.line);
    } else if (m_monthFirst.count > 0) {
        choice.order = DateOrder::Mdy;
        choice.evidence = "a day above 12 second in " + quotedAt(m_monthFirst.value, m_monthFirst.line);
    } else if (m_dotted.count > 0) {
        choice.order = DateOrder::Dmy;
        choice.evidence =
            "'.' between day and month in " + quotedAt(m_dotted.value, m_dotted.line) + ", no day above 12";
    } else if (m_slashed.count > 0 && m_meridiem.count > 0) {
        choice.order = DateOrder::Mdy;
        choice.evidence = "AM/PM times, as in " + quotedAt(m_meridiem.value, m_meridiem.line) + ", no day above 12";
    } else if (m_slashed.count > 0) {
        choice.evidence = "no day above 12 in dates such as " + quotedAt(m_slashed.value, m_slashed.line)
                          + ": day or month first is not clear";
        return choice;
    } else if (m_yearFirst.count > 0) {
        choice.order = DateOrder::Ymd;
        choice.evidence = "the year first in " + quotedAt(m_yearFirst.value, m_yearFirst.line);
    } else if (m_isoT.count > 0) {
        choice.order = DateOrder::Iso;
        choice.evidence = "date-times with T in " + quotedAt(m_isoT.value, m_isoT.line);
    } else {
        choice.evidence = "no dates other than year-month-day";
    }
    if (choice.order && m_meridiem.count > 0 && choice.evidence.find("AM/PM") == std::string::npos)
        choice.evidence += "; AM/PM times";
    return choice;
}

} // namespace quarrow
