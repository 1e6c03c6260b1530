#include "engine/workspace/DistinctNames.h"

#include "engine/text/FitToEncoding.h"

#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace quarrow {

namespace {

std::u16string comparisonKey(std::u16string_view name, TextEncoding encoding)
{
    std::uint64_t substituted = 0;
    std::u16string key = fitToEncoding(name, encoding, substituted);
    for (char16_t& c : key) {
        if (c >= u'A' && c <= u'Z')
            c = static_cast<char16_t>(c - u'A' + u'a');
    }
    return key;
}

std::u16string suffixText(std::uint64_t number)
{
    std::u16string text = u"_";
    for (char c : std::to_string(number))
        text.push_back(static_cast<char16_t>(c));
    return text;
}

} // namespace

std::vector<ColumnRename> makeNamesDistinct(std::vector<std::u16string>& names, TextEncoding encoding)
{
    std::vector<ColumnRename> renames;
    std::vector<std::u16string> keys;
    keys.reserve(names.size());
    std::unordered_set<std::u16string> taken; // every name given, and every name assigned so far
    taken.reserve(names.size() * 2);
    for (const auto& name : names) {
        keys.push_back(comparisonKey(name, encoding));
        taken.insert(keys.back());
    }
    if (taken.size() == names.size())
        return renames;

    std::unordered_set<std::u16string> inUse; // names of the columns handled so far
    inUse.reserve(names.size());
    // Taken suffixes stay taken, so each name's search goes on where its last
    // one ended: a line of ten thousand equal names costs no more than that.
    std::unordered_map<std::u16string, std::uint64_t> nextSuffix;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (inUse.insert(keys[i]).second)
            continue;
        std::uint64_t& suffix = nextSuffix.try_emplace(keys[i], 2).first->second;
        std::u16string key;
        for (;; ++suffix) {
            key = keys[i] + suffixText(suffix);
            if (!taken.contains(key))
                break;
        }
        std::u16string renamed = names[i] + suffixText(suffix);
        ++suffix;
        taken.insert(key);
        inUse.insert(std::move(key));
        renames.push_back({i, std::move(names[i]), renamed});
        names[i] = std::move(renamed);
    }
    return renames;
}

} // namespace quarrow
