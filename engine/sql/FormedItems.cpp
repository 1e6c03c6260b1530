#include "engine/sql/FormedItems.h"

#include "engine/text/Utf8.h"

namespace quarrow {

namespace {

constexpr std::size_t kSampleUnits = 40;

} // namespace

void addMisfits(std::vector<FormMisfits>& misfits, const std::vector<FormMisfits>& later)
{
    if (misfits.size() < later.size())
        misfits.resize(later.size());
    for (std::size_t c = 0; c < later.size(); ++c)
        misfits[c].add(later[c]);
}

std::string describeMisfits(const std::vector<FormMisfits>& misfits, const std::vector<std::string>& names,
                            const ValueForms& forms)
{
    std::string out;
    for (std::size_t c = 0; c < misfits.size(); ++c) {
        const FormMisfits& m = misfits[c];
        if (m.count == 0)
            continue;
        out += "column " + std::to_string(c + 1);
        if (c < names.size())
            out += " (" + names[c] + ")";
        out += ": " + std::to_string(m.count) + (m.count == 1 ? " value" : " values") + " not in the form "
               + describeForms(forms)
               + (m.count == 1 ? " was written as the file has it" : " were written as the file has them")
               + "; the first in row " + std::to_string(m.firstRow + 1) + ": '" + m.firstValue + "'\n";
    }
    return out;
}

namespace items {

FormedItems::FormedItems(const ValueForms& forms, Dialect dialect, bool exactQuoting,
                         const std::vector<std::u16string>& types)
    : m_forms(forms), m_dialect(dialect), m_exact(exactQuoting)
{
    if (!forms.chosen())
        return;
    std::vector<FormedKind> kinds;
    bool any = false;
    for (const auto& type : types) {
        FormedKind kind = formedKindOfType(type);
        // A form not chosen leaves its columns as they are.
        if ((kind == FormedKind::Number && !forms.numbersChosen())
            || (kind != FormedKind::Number && !forms.datesChosen()) || !dialectTakesForm(dialect, kind))
            kind = FormedKind::Text;
        any = any || kind != FormedKind::Text;
        kinds.push_back(kind);
    }
    if (!any)
        return;
    m_kinds = std::move(kinds);
    m_misfits.resize(m_kinds.size());
}

template <typename Unit>
void FormedItems::noteMisfit(std::size_t column, const Unit* b, const Unit* e)
{
    FormMisfits& m = m_misfits[column];
    if (m.count++ > 0)
        return;
    m.firstRow = m_row;
    const auto units = std::min<std::size_t>(static_cast<std::size_t>(e - b), kSampleUnits);
    if constexpr (sizeof(Unit) == 1) {
        std::size_t cut = units;
        // Never inside a character's bytes.
        while (cut > 0 && cut < static_cast<std::size_t>(e - b) && (b[cut] & 0xC0) == 0x80)
            --cut;
        m.firstValue.assign(reinterpret_cast<const char*>(b), cut);
    } else {
        std::size_t cut = units;
        if (cut > 0 && cut < static_cast<std::size_t>(e - b) && b[cut] >= 0xDC00 && b[cut] <= 0xDFFF)
            --cut;
        m.firstValue.resize(cut * 3);
        std::uint64_t replaced = 0;
        m.firstValue.resize(
            static_cast<std::size_t>(utf8::encode(b, cut, m.firstValue.data(), replaced) - m.firstValue.data()));
    }
    if (units < static_cast<std::size_t>(e - b))
        m.firstValue += "...";
}

template void FormedItems::noteMisfit(std::size_t, const char16_t*, const char16_t*);
template void FormedItems::noteMisfit(std::size_t, const unsigned char*, const unsigned char*);

} // namespace items

} // namespace quarrow
