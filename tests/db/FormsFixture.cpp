#include "tests/db/Fixtures.h"

#include <string>
#include <utility>
#include <vector>

namespace quarrow::dbtest {

namespace {

std::string twoDigits(int v)
{
    return (v < 10 ? "0" : "") + std::to_string(v);
}

// A German export: ';' between fields, decimal commas with '.' between
// groups of three, day.month.year dates and date-times (some with AM/PM),
// and a text column of values that look like numbers and dates, which
// must stay byte for byte.
Fixture buildForms()
{
    Fixture f;
    f.title = "value forms";
    f.suggestTypes = true;
    f.converterArgs = {"-s", ";", "--decimal", "comma", "--group", ".", "--dates", "dmy"};
    const std::pair<const char*, Typed> columns[] = {
        {"id", Typed::Integer},  {"amount", Typed::Decimal}, {"booked", Typed::Date},
        {"at", Typed::DateTime}, {"note", Typed::Text},
    };
    for (const auto& [name, typed] : columns) {
        f.columns.push_back({name, name, name, typed});
        f.csv += std::string(f.csv.empty() ? "" : ";") + name;
    }
    f.csv += "\r\n";
    constexpr int kRows = 300;
    for (int i = 0; i < kRows; ++i) {
        const int day = i % 28 + 1;
        const int month = i % 12 + 1;
        const int year = 1990 + i % 40;
        const int hour = i % 24;
        const std::string iso = std::to_string(year) + "-" + twoDigits(month) + "-" + twoDigits(day);
        const std::string german = twoDigits(day) + "." + twoDigits(month) + "." + std::to_string(year);
        // Amounts: groups, a negative sign, a fraction without its integer part.
        std::string amount = std::to_string(i) + "," + twoDigits(i % 100);
        std::string plain = std::to_string(i) + "." + twoDigits(i % 100);
        if (i % 5 == 1) {
            amount = "-" + std::to_string(i) + "." + std::to_string(100 + i) + ",5";
            plain = "-" + std::to_string(i) + std::to_string(100 + i) + ".5";
        } else if (i % 5 == 2) {
            amount = "," + twoDigits(i % 100);
            plain = "0." + twoDigits(i % 100);
        } else if (i % 5 == 3) {
            amount = "\"1.234.567,8\"";
            plain = "1234567.8";
        }
        // 12-hour times for some rows: 12 AM is midnight, 12 PM noon.
        std::string at = german + " " + std::to_string(hour) + ":05:0" + std::to_string(i % 10);
        if (i % 3 == 0) {
            const int twelve = hour % 12 == 0 ? 12 : hour % 12;
            at = german + " " + std::to_string(twelve) + ":05:0" + std::to_string(i % 10) + (hour < 12 ? " AM" : " PM");
        }
        const std::string atPlain = iso + " " + twoDigits(hour) + ":05:0" + std::to_string(i % 10);
        const std::string note = i % 2 ? "1,50 \xE2\x82\xAC" : german;
        const std::vector<std::pair<std::string, std::string>> cells = {
            {std::to_string(1000 + i), std::to_string(1000 + i)},
            {amount, plain},
            {german, iso},
            {at, atPlain},
            {note, note},
        };
        FixtureRow row{static_cast<std::size_t>(i) + 2, {}, {}};
        for (std::size_t c = 0; c < cells.size(); ++c) {
            f.csv += (c > 0 ? ";" : "") + cells[c].first;
            row.values.push_back(cells[c].second);
            // Where the database has no type for them (SQLite's dates), the
            // values stay as the file has them.
            std::string asFiled = cells[c].first;
            if (asFiled.size() >= 2 && asFiled.front() == '"')
                asFiled = asFiled.substr(1, asFiled.size() - 2);
            row.fileValues.push_back(asFiled);
        }
        f.csv += "\r\n";
        f.rows.push_back(std::move(row));
    }
    return f;
}

} // namespace

const Fixture& valueFormsFixture()
{
    static const Fixture fixture = buildForms();
    return fixture;
}

} // namespace quarrow::dbtest
