#include "net/ReplyDecoding.h"

#include "net/PostExchange.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

namespace {

using quarrow::charsetOf;
using quarrow::decodeReply;
using quarrow::ExchangeError;

struct CharsetCase {
    const char* name;
    const char* contentType;
    const char* charset;
};

class CharsetOf : public testing::TestWithParam<CharsetCase> {};

TEST_P(CharsetOf, FindsTheParameter)
{
    EXPECT_EQ(charsetOf(GetParam().contentType), GetParam().charset);
}

const CharsetCase kCharsetCases[] = {
    {"None", "text/plain", ""},
    {"Empty", "", ""},
    {"Plain", "text/plain; charset=ISO-8859-1", "ISO-8859-1"},
    {"NoSpace", "text/plain;charset=utf-8", "utf-8"},
    {"NameInAnyCase", "text/plain; CharSet=windows-1252", "windows-1252"},
    {"Quoted", "text/plain; charset=\"utf-8\"", "utf-8"},
    {"QuotedWithEscape", "text/plain; charset=\"a\\\"b\"", "a\"b"},
    {"SpacesAround", "text/plain ;  charset = latin1  ; format=flowed", "latin1"},
    {"AfterOtherParameter", "text/plain; format=flowed; charset=koi8-r", "koi8-r"},
    {"SemicolonInsideQuotes", "text/plain; note=\"a;charset=x\"; charset=utf-8", "utf-8"},
    {"ParameterWithoutValue", "text/plain; odd; charset=utf-8", "utf-8"},
    {"SimilarName", "text/plain; xcharset=latin1", ""},
    {"NotAParameter", "text/charset=latin1", ""},
};

INSTANTIATE_TEST_SUITE_P(Cases, CharsetOf, testing::ValuesIn(kCharsetCases),
                         [](const testing::TestParamInfo<CharsetCase>& row) { return std::string(row.param.name); });

struct DecodeCase {
    const char* name;
    std::string body;
    const char* contentType;
    std::u16string text;
};

class DecodeReply : public testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeReply, GivesTheText)
{
    EXPECT_EQ(decodeReply(GetParam().body, GetParam().contentType), GetParam().text);
}

const DecodeCase kDecodeCases[] = {
    {"NoCharsetIsUtf8", "Gro\xC3\x9F", "text/plain", u"Groß"},
    {"NoContentTypeIsUtf8", "\xE2\x82\xAC", "", u"€"},
    {"Utf8AnyCase", "\xE2\x82\xAC", "text/plain; charset=UTF-8", u"€"},
    {"Utf8WithoutDash", "\xE2\x82\xAC", "text/plain; charset=utf8", u"€"},
    {"InvalidUtf8Replaced", "a\xFF-\xC3", "text/plain; charset=utf-8", u"a\uFFFD-\uFFFD"},
    {"EmptyBody", "", "text/plain; charset=iso-8859-1", u""},
    {"Latin1", "caf\xE9 \x80", "text/plain; charset=ISO-8859-1", u"café \u0080"},
    {"Latin1Alias", "\xFC", "text/plain; charset=latin1", u"ü"},
    {"Windows1252", "\x80 \x93q\x94", "text/plain; charset=windows-1252", u"€ “q”"},
    {"Windows1252UndefinedByteReplaced", "a\x81z", "text/plain; charset=windows-1252", u"a\uFFFDz"},
    {"Utf16WithBom", std::string("\xFF\xFE\x41\0\xAC\x20", 6), "text/plain; charset=utf-16", u"A€"},
    {"Utf16CutOffReplaced", std::string("A\0B", 3), "text/plain; charset=utf-16le", u"A\uFFFD"},
    {"Koi8r", "\xF0\xD2\xC9\xD7\xC5\xD4", "text/plain; charset=\"koi8-r\"", u"Привет"},
    {"LongerThanFirstGuess", std::string(5000, '\xE9'), "text/plain; charset=iso-8859-1", std::u16string(5000, u'é')},
};

INSTANTIATE_TEST_SUITE_P(Cases, DecodeReply, testing::ValuesIn(kDecodeCases),
                         [](const testing::TestParamInfo<DecodeCase>& row) { return std::string(row.param.name); });

TEST(DecodeReplyCharset, UnknownOrMalformedNameIsAnErrorNamingIt)
{
    for (const char* charset : {"x-no-such-charset", "utf-8//IGNORE", "latin1//TRANSLIT"}) {
        SCOPED_TRACE(charset);
        try {
            decodeReply("abc", std::string("text/plain; charset=") + charset);
            ADD_FAILURE() << "no error";
        } catch (const ExchangeError& e) {
            EXPECT_THAT(e.what(), testing::HasSubstr(std::string("\"") + charset + "\""));
        }
    }
}

} // namespace
