#include "net/FormEncoding.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using quarrow::formBody;
using quarrow::RequestFields;

struct FormCase {
    const char* name;
    RequestFields fields;
    std::string body;
};

class FormBody : public testing::TestWithParam<FormCase> {};

TEST_P(FormBody, EncodesAsAnHtmlFormDoes)
{
    EXPECT_EQ(formBody(GetParam().fields), GetParam().body);
}

const FormCase kFormCases[] = {
    {"NoFields", {}, ""},
    {"KeptCharacters", {u"aZ09=*-._"}, "aZ09=*-._"},
    {"SpaceIsPlus", {u"full name=Ada Lovelace"}, "full+name=Ada+Lovelace"},
    {"OnlyFirstEqualsSplits", {u"q=a=b"}, "q=a%3Db"},
    {"Separators", {u"q=a&b+c%d"}, "q=a%26b%2Bc%25d"},
    {"OtherAsciiPunctuation", {u"p=~!'()/?#"}, "p=%7E%21%27%28%29%2F%3F%23"},
    {"ControlsAndLineBreaks", {u"p=\t\r\n"}, "p=%09%0D%0A"},
    {"NonAsciiAsUtf8UpperHex", {u"city=Zürich", u"ş=ğ"}, "city=Z%C3%BCrich&%C5%9F=%C4%9F"},
    {"Emoji", {u"e=\U0001F600"}, "e=%F0%9F%98%80"},
    {"LoneSurrogateBecomesReplacement", {std::u16string(u"s=a") + char16_t(0xD800) + u"b"}, "s=a%EF%BF%BDb"},
    {"EmptyValue", {u"empty="}, "empty="},
    {"NoEqualsIsEmptyValue", {u"flag"}, "flag="},
    {"EmptyField", {u""}, "="},
    {"EmptyName", {u"=v"}, "=v"},
    {"OrderKept", {u"b=2", u"a=1", u"b=3"}, "b=2&a=1&b=3"},
};

INSTANTIATE_TEST_SUITE_P(Cases, FormBody, testing::ValuesIn(kFormCases),
                         [](const testing::TestParamInfo<FormCase>& row) { return std::string(row.param.name); });

} // namespace
