#pragma once

#include "engine/types/ValueForms.h"
#include "engine/workspace/Dialect.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace quarrow {

// The values of one column that were in no chosen form: written as the file
// has them, counted here so the user hears of them.
struct FormMisfits {
    std::uint64_t count = 0;
    std::uint64_t firstRow = 0; // among the exported rows, from 0
    std::string firstValue;     // UTF-8, as the file has it, cut to a few dozen bytes

    // The misfits of the rows that come next.
    void add(const FormMisfits& later)
    {
        if (count == 0) {
            firstRow = later.firstRow;
            firstValue = later.firstValue;
        }
        count += later.count;
    }
    friend bool operator==(const FormMisfits&, const FormMisfits&) = default;
};

// Adds the misfits of later rows, column by column.
void addMisfits(std::vector<FormMisfits>& misfits, const std::vector<FormMisfits>& later);

// "column 2 (Betrag): 3 values not in the form decimal comma were written as
// the file has them; the first in row 7: '1.5x'", one line per column with
// misfits. `names` are the column names in UTF-8.
std::string describeMisfits(const std::vector<FormMisfits>& misfits, const std::vector<std::string>& names,
                            const ValueForms& forms);

namespace items {

// The value forms as the row loops apply them: for each column whose type
// is a number, date or date-time, a value in the chosen form is written in
// its plain form; every other value as it is today.
class FormedItems {
public:
    FormedItems() = default;
    // Active when the forms are chosen, the dialect takes them and some
    // column's type takes one.
    FormedItems(const ValueForms& forms, Dialect dialect, bool exactQuoting, const std::vector<std::u16string>& types);

    bool active() const noexcept { return !m_kinds.empty(); }
    // Room a column's item may take beyond what its field takes: the
    // keyword of a typed literal (TIMESTAMP '2024-01-01 00:00:00' from 1.1.2024).
    static constexpr std::size_t kLiteralRoom = 12;
    void setRow(std::uint64_t row) noexcept { m_row = row; }
    // The first column from `column` on whose values take a form; `columns`
    // when none does.
    std::size_t nextFormed(std::size_t column, std::size_t columns) const noexcept
    {
        for (; column < columns && column < m_kinds.size(); ++column) {
            if (m_kinds[column] != FormedKind::Text)
                return column;
        }
        return columns;
    }
    const std::vector<FormMisfits>& misfits() const noexcept { return m_misfits; }

    // After the item [item, o) of `column` was written from the raw field
    // [b, e): rewrites it as the plain form when the value is in the form.
    // Returns the item's new end. The literal needs no more room than the
    // row loops reserve for the field (three bytes a unit) and kLiteralRoom.
    template <typename Unit>
    char* rewrite(char* item, char* o, const Unit* b, const Unit* e, std::size_t column)
    {
        if (column >= m_kinds.size() || m_kinds[column] == FormedKind::Text)
            return o;
        char value[kMaxFormedChars];
        const auto n = gatherFormValue(b, e, m_exact, value);
        if (n && *n == 0)
            return o; // empty: '' or NULL as always
        char plain[kMaxPlainChars];
        const std::size_t p = n ? plainForm(column, value, *n, plain) : 0;
        const std::size_t literal =
            p == 0 ? 0 : typedLiteral(std::string_view(plain, p), m_kinds[column], m_dialect, item);
        if (literal == 0) {
            noteMisfit(column, b, e);
            return o;
        }
        return item + literal;
    }

    // For an unquoted field [b, e) of the default reading, before anything
    // of it is written: its literal at `item` when the value is in the form,
    // else nullptr, and the caller writes the field as always (rewrite()
    // then counts the misfit). Saves writing, escaping and trimming an item
    // that is replaced at once.
    template <typename Unit>
    char* literalOf(char* item, const Unit* b, const Unit* e, std::size_t column) const
    {
        if (column >= m_kinds.size() || m_kinds[column] == FormedKind::Text || m_exact)
            return nullptr;
        char value[kMaxFormedChars];
        const auto n = gatherFormValue(b, e, false, value);
        if (!n || *n == 0)
            return nullptr;
        char plain[kMaxPlainChars];
        const std::size_t p = plainForm(column, value, *n, plain);
        const std::size_t literal =
            p == 0 ? 0 : typedLiteral(std::string_view(plain, p), m_kinds[column], m_dialect, item);
        return literal == 0 ? nullptr : item + literal;
    }

    // For a value already taken out of its field: its plain form into
    // `plain` (kMaxPlainChars), or 0 to write it as it is.
    template <typename Unit>
    std::size_t plainOf(const Unit* b, const Unit* e, std::size_t column, char* plain)
    {
        if (column >= m_kinds.size() || m_kinds[column] == FormedKind::Text || b == e)
            return 0;
        char value[kMaxFormedChars];
        const auto n = gatherPlainValue(b, e, value);
        const std::size_t p = n ? plainForm(column, value, *n, plain) : 0;
        if (p == 0)
            noteMisfit(column, b, e);
        return p;
    }

private:
    std::size_t plainForm(std::size_t column, const char* value, std::size_t n, char* plain) const noexcept
    {
        return n == 0 ? 0 : normaliseValue(std::string_view(value, n), m_forms, m_kinds[column], m_dialect, plain);
    }
    template <typename Unit>
    void noteMisfit(std::size_t column, const Unit* b, const Unit* e);

    ValueForms m_forms;
    Dialect m_dialect = Dialect::MySql;
    bool m_exact = false;
    std::vector<FormedKind> m_kinds; // per column; empty when inactive
    std::vector<FormMisfits> m_misfits;
    std::uint64_t m_row = 0;
};

} // namespace items

} // namespace quarrow
