#include "info/feedback/EmailCheck.h"

#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

#include <memory>

namespace quarrow {

namespace {

struct CodeDeleter {
    void operator()(pcre2_code* code) const noexcept { pcre2_code_free(code); }
};
struct MatchDataDeleter {
    void operator()(pcre2_match_data* data) const noexcept { pcre2_match_data_free(data); }
};

using Code = std::unique_ptr<pcre2_code, CodeDeleter>;

// The 16-bit library without PCRE2_UTF sees the text as bare code units: a
// letter outside ASCII or a lone surrogate is just a unit that no class of
// the pattern holds, so it fails the match instead of raising a UTF error.
// "$" would also match before a final line feed; DOLLAR_ENDONLY keeps
// "a@b.c\n" invalid, as the whole text has to match.
Code compileAddressPattern() noexcept
{
    static constexpr char16_t kPattern[] = u"^[a-zA-Z0-9_.+-]+@[a-zA-Z0-9-]+\\.[a-zA-Z0-9-.]*[a-zA-Z0-9]+$";
    int error = 0;
    PCRE2_SIZE offset = 0;
    return Code(pcre2_compile(reinterpret_cast<PCRE2_SPTR>(kPattern), PCRE2_ZERO_TERMINATED, PCRE2_DOLLAR_ENDONLY,
                              &error, &offset, nullptr));
}

const pcre2_code* addressPattern() noexcept
{
    // A function-local static is made once, also when the first calls race.
    static const Code pattern = compileAddressPattern();
    return pattern.get();
}

} // namespace

bool isValidEmailAddress(std::u16string_view text) noexcept
{
    const pcre2_code* pattern = addressPattern();
    if (pattern == nullptr)
        return false;
    const std::unique_ptr<pcre2_match_data, MatchDataDeleter> match(
        pcre2_match_data_create_from_pattern(pattern, nullptr));
    if (!match)
        return false;
    // An empty text is also refused by the "+" of the pattern; NOTEMPTY keeps
    // the rule "an empty match is not accepted" in force on its own. A
    // negative result (no match, or a limit reached on a long text) is "not
    // valid".
    static constexpr char16_t kNothing[] = u"";
    const char16_t* subject = text.empty() ? kNothing : text.data();
    const int result = pcre2_match(pattern, reinterpret_cast<PCRE2_SPTR>(subject), text.size(), 0, PCRE2_NOTEMPTY,
                                   match.get(), nullptr);
    return result > 0;
}

} // namespace quarrow
