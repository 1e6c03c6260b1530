#include "engine/sql/ByteSink.h"
#include "engine/types/TypeListFile.h"
#include "engine/types/TypeVocabulary.h"
#include "engine/workspace/Dialect.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>

namespace {

namespace fs = std::filesystem;

using quarrow::ApplyTypeList;
using quarrow::LoadTypeListFile;
using quarrow::SaveTypeListFile;
using quarrow::TypeList;
using quarrow::TypeListError;

// A private directory per test, removed afterwards.
class TypeListFiles : public testing::Test {
protected:
    fs::path path(const std::string& name) const { return m_dir.path() / name; }
    fs::path write(const std::string& name, std::string_view bytes) const { return m_dir.write(name, bytes); }
    static std::string read(const fs::path& file) { return quarrow::test::readFile(file); }

private:
    quarrow::test::TempDir m_dir;
};

// ---------------------------------------------------------------------------
// Saving

TEST_F(TypeListFiles, SaveThenLoadGivesTheSameList)
{
    const std::array<TypeList, 4> lists{{
        {u"text", u"", u"int ", u"varchar(20) \u00E7\u011F", u"decimal(10,2)"},
        {u""},
        {u" leading", u"\ttab", u"\u20AC\U0001F600"},
        {u"", u"", u"last"},
    }};
    for (std::size_t k = 0; k < lists.size(); ++k) {
        SCOPED_TRACE(k);
        const fs::path file = path("list" + std::to_string(k) + ".txt");
        SaveTypeListFile(file, lists[k]);
        EXPECT_EQ(LoadTypeListFile(file), lists[k]);
    }
}

TEST_F(TypeListFiles, SavedBytesAreMarkThenEachEntryWithCrLf)
{
    const fs::path file = path("types.txt");
    SaveTypeListFile(file, {u"int ", u"", u"varchar(20) \u00E7\u011F"});
    EXPECT_EQ(read(file), "\xEF\xBB\xBF"
                          "int \r\n"
                          "\r\n"
                          "varchar(20) \xC3\xA7\xC4\x9F\r\n");

    // Saving again replaces the earlier content.
    SaveTypeListFile(file, {});
    EXPECT_EQ(read(file), "\xEF\xBB\xBF");
    EXPECT_EQ(LoadTypeListFile(file), TypeList{});
}

TEST_F(TypeListFiles, SaveIntoMissingDirectoryThrowsOutputError)
{
    EXPECT_THROW(SaveTypeListFile(path("no-such-dir") / "t.txt", {u"int"}), quarrow::OutputError);
}

// ---------------------------------------------------------------------------
// Loading

struct LoadCase {
    const char* label;
    std::string bytes;
    TypeList expected;
};

// Test names show the label, not the bytes of the case.
void PrintTo(const LoadCase& c, std::ostream* out)
{
    *out << c.label;
}

class TypeListLoad : public TypeListFiles, public testing::WithParamInterface<LoadCase> {};

TEST_P(TypeListLoad, Reads)
{
    const LoadCase& c = GetParam();
    EXPECT_EQ(LoadTypeListFile(write("in.txt", c.bytes)), c.expected);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    TypeListLoadCases, TypeListLoad,
    testing::Values(
        LoadCase{"CrLf", "int\r\ntext\r\n", {u"int", u"text"}},
        LoadCase{"LoneCr", "int\rtext\r", {u"int", u"text"}},
        LoadCase{"LoneLf", "int\ntext\n", {u"int", u"text"}},
        LoadCase{"MixedBreaks", "a\r\nb\rc\nd", {u"a", u"b", u"c", u"d"}},
        LoadCase{"LastLineWithoutBreak", "int\ntext", {u"int", u"text"}},
        LoadCase{"SingleLineWithoutBreak", "clob", {u"clob"}},
        LoadCase{"EmptyLinesInside", "a\r\n\r\nb\n\nc\r\rd\n", {u"a", u"", u"b", u"", u"c", u"", u"d"}},
        LoadCase{"LeadingEmptyLine", "\nint\n", {u"", u"int"}},
        LoadCase{"LfCrIsTwoBreaks", "a\n\rb", {u"a", u"", u"b"}},
        LoadCase{"BlanksKept", " int \t\n", {u" int \t"}},
        LoadCase{"ZeroBytes", "", {}},
        LoadCase{"MarkOnly", "\xEF\xBB\xBF", {}},
        LoadCase{"MarkAndBreak", "\xEF\xBB\xBF\r\n", {u""}},
        LoadCase{"Utf8WithMark", "\xEF\xBB\xBFvarchar(20) \xC3\xA7\xC4\x9F\r\nint", {u"varchar(20) \u00E7\u011F", u"int"}},
        LoadCase{"Utf8WithoutMark", "d\xC3\xA9" "cimal\n", {u"d\u00E9cimal"}},
        LoadCase{"AnsiSecondAttempt", "d\xE9" "cimal\r\nint\r\n", {u"d\u00E9cimal", u"int"}},
        LoadCase{"AnsiHighBlock", "\x80\x93x\x94\n", {u"\u20AC\u201Cx\u201D"}},
        LoadCase{"Utf16LeWithMark", std::string("\xFF\xFE" "i\0n\0t\0\r\0\n\0\xE9\0\xAC\x20", 16),
                 {u"int", u"\u00E9\u20AC"}},
        LoadCase{"Utf16BeWithMark", std::string("\xFE\xFF\0i\0n\0t\0\n\0\xE9\x20\xAC\0\n", 16),
                 {u"int", u"\u00E9\u20AC"}},
        LoadCase{"Utf16LeMarkOnly", "\xFF\xFE", {}}),
    [](const testing::TestParamInfo<LoadCase>& param) { return std::string(param.param.label); });
// clang-format on

TEST_F(TypeListFiles, BrokenTextThrowsNamingTheFile)
{
    // clang-format off
    const std::array<std::string, 3> contents{
        std::string("\xEF\xBB\xBFint\r\nd\xE9" "cimal\r\n"), // invalid UTF-8 after its mark
        std::string("\xFF\xFE" "i\0n\0t\0\xE9", 9),           // UTF-16 LE cut in a character
        std::string("\xFE\xFF\0i\0n\0", 7),                   // UTF-16 BE cut in a character
    };
    // clang-format on
    for (std::size_t i = 0; i < contents.size(); ++i) {
        SCOPED_TRACE(i);
        const fs::path file = write("broken" + std::to_string(i) + ".txt", contents[i]);
        try {
            LoadTypeListFile(file);
            FAIL() << "no TypeListError";
        } catch (const TypeListError& e) {
            EXPECT_NE(std::string(e.what()).find(file.string()), std::string::npos) << e.what();
        }
    }
}

TEST_F(TypeListFiles, MissingFileThrowsNamingTheFile)
{
    const std::array<fs::path, 2> paths{path("absent.txt"), path("no-dir") / "absent.txt"};
    for (const auto& file : paths) {
        SCOPED_TRACE(file.filename().string());
        try {
            LoadTypeListFile(file);
            FAIL() << "no TypeListError";
        } catch (const TypeListError& e) {
            EXPECT_NE(std::string(e.what()).find(file.string()), std::string::npos) << e.what();
        }
    }
}

// ---------------------------------------------------------------------------
// Applying

TEST(TypeListApply, OverwritesLeadingEntriesOnly)
{
    struct Case {
        const char* label;
        TypeList source;
        TypeList target;
        TypeList expected;
    };
    const std::array<Case, 5> cases{{
        {"shorter source", {u"int", u""}, {u"text", u"text", u"text"}, {u"int", u"", u"text"}},
        {"longer source", {u"int", u"date", u"json", u"blob"}, {u"text", u"text"}, {u"int", u"date"}},
        {"same length", {u"a", u"b"}, {u"x", u"y"}, {u"a", u"b"}},
        {"empty source", {}, {u"text", u"clob"}, {u"text", u"clob"}},
        {"empty target", {u"int"}, {}, {}},
    }};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        TypeList target = c.target;
        ApplyTypeList(c.source, target);
        EXPECT_EQ(target, c.expected);
    }
}

// ---------------------------------------------------------------------------
// Vocabulary

TEST(TypeListVocabulary, FixedListHoldsEveryDefaultType)
{
    const auto& v = quarrow::kTypeVocabulary;
    ASSERT_EQ(v.size(), 27u);
    EXPECT_EQ(v.front(), u"text");
    EXPECT_EQ(v[15], u"varchar(max)");
    EXPECT_EQ(v[25], u"json");
    EXPECT_EQ(v.back(), u"nvarchar(max)");
    for (const auto& info : quarrow::kDialects) {
        SCOPED_TRACE(std::string(info.identifier));
        EXPECT_NE(std::find(v.begin(), v.end(), info.defaultType), v.end());
    }
    for (std::size_t i = 0; i < v.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_FALSE(v[i].empty());
        EXPECT_EQ(std::count(v.begin(), v.end(), v[i]), 1);
    }
}

} // namespace
