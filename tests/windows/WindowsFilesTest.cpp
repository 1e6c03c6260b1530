#include "tests/support/TempDir.h"
#include "tests/windows/WindowsTestSupport.h"

#include "cli/Converter.h"
#include "cli/QuarrowCli.h"
#include "engine/csv/LineReader.h"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

namespace quarrow::test::windows {
namespace {

namespace fs = std::filesystem;
using quarrow::windows::extendedLengthPath;

struct Lines final : LineSink {
    void line(std::u16string_view text) override { lines.emplace_back(text); }
    std::vector<std::u16string> lines;
};

std::string utf8(const fs::path& path)
{
    return pathText(path);
}

constexpr std::string_view kCsv =
    "name,city\r\nJos\xC3\xA9,M\xC3\xBCnchen\r\n\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD,\xE6\x9D\xB1\xE4\xBA\xAC\r\n";

// Names the ANSI code page cannot spell and names past MAX_PATH go through
// the whole converter: arguments, reading, the temporary file and its
// replacing the target that is already there.
TEST(WindowsPaths, ConverterReadsAndReplacesThroughWidePaths)
{
    TempDir dir;
    std::string expected;
    std::string err;
    ASSERT_EQ(runCli({"-H", "-d", "postgresql", utf8(dir.write("plain.csv", kCsv))}, expected, err), cli::kExitOk)
        << err;

    const std::wstring longName(120, L'\x00E9');
    const struct {
        const char* what;
        fs::path folder;
    } cases[] = {
        {"non-ASCII", dir.path() / L"D\x00FC\x015Fk \x0414\x0430\x043D\x043D\x044B\x0435 \x65E5\x672C \xD83D\xDE00"},
        {"longer than MAX_PATH", dir.path() / longName / longName / L"\x0391\x0392\x0393"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::create_directories(extendedLengthPath(c.folder));
        const fs::path input = c.folder / L"\x0444\x0430\x0439\x043B.csv";
        const fs::path output = c.folder / L"\x00E7\x0131kt\x0131.sql";
        if (std::string_view(c.what) == "longer than MAX_PATH") {
            ASSERT_GT(output.native().size(), std::size_t{MAX_PATH});
        }
        writeBytes(input, kCsv);
        writeBytes(output, "the old script");

        std::string out;
        ASSERT_EQ(runCli({"-H", "-d", "postgresql", "-o", utf8(output), utf8(input)}, out, err), cli::kExitOk) << err;
        EXPECT_EQ(readBytes(output), expected);
        std::vector<std::string> expectedNames{utf8(input.filename()), utf8(output.filename())};
        std::sort(expectedNames.begin(), expectedNames.end());
        EXPECT_EQ(namesIn(c.folder), expectedNames) << "a temporary file was left behind";
    }
}

// Another program that has the file open for writing keeps the reader out;
// while the reader has it, others may read but not write it.
TEST(WindowsSharing, FileOpenForWritingElsewhereIsRefused)
{
    TempDir dir;
    const fs::path csv = dir.write("shared.csv", "a,b\r\n1,2\r\n");
    {
        WritingHandle editor(csv);
        ASSERT_TRUE(editor.isOpen());
        Lines sink;
        try {
            readLines(csv, TextEncoding::Utf8, sink);
            FAIL() << "a file open for writing elsewhere was read";
        } catch (const ReadError& e) {
            EXPECT_EQ(e.lineNumber(), 1u);
            EXPECT_NE(std::string(e.what()).find("shared.csv"), std::string::npos) << e.what();
            EXPECT_EQ(e.reason(), std::strerror(EACCES));
        }
        EXPECT_TRUE(sink.lines.empty());

        std::string out;
        std::string err;
        EXPECT_EQ(runCli({utf8(csv)}, out, err), cli::kExitFailure);
        EXPECT_NE(err.find("File load error!"), std::string::npos) << err;
    }

    FilePtr reading(openFile(csv, FileAccess::Read));
    ASSERT_TRUE(reading);
    FilePtr secondReader(openFile(csv, FileAccess::Read));
    EXPECT_TRUE(secondReader) << "another reader was kept out";
    WritingHandle lateWriter(csv);
    EXPECT_FALSE(lateWriter.isOpen()) << "a writer got in while the file was being read";
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
}

// A target another program holds without FILE_SHARE_DELETE cannot be
// replaced: the run fails, names it, keeps it and leaves no temporary file.
TEST(WindowsSharing, TargetHeldElsewhereIsKeptAndTheTemporaryRemoved)
{
    TempDir dir;
    const fs::path csv = dir.write("in.csv", "a\r\n1\r\n");
    const fs::path target = dir.write("held.sql", "kept");
    {
        WritingHandle holder(target, FILE_SHARE_READ | FILE_SHARE_WRITE);
        ASSERT_TRUE(holder.isOpen());
        std::string out;
        std::string err;
        EXPECT_EQ(runCli({"-o", utf8(target), utf8(csv)}, out, err), cli::kExitFailure);
        EXPECT_NE(err.find("Cannot replace"), std::string::npos) << err;
        EXPECT_NE(err.find("held.sql"), std::string::npos) << err;
    }
    EXPECT_EQ(readBytes(target), "kept");
    EXPECT_EQ(namesIn(dir.path()), (std::vector<std::string>{"held.sql", "in.csv"}));
}

// -o on Windows: a file is replaced by one with its attributes (the
// archive bit aside, which a new file gets anyway), and a device is written
// as it is.
TEST(WindowsTargets, ReplacedFileKeepsItsAttributes)
{
    TempDir dir;
    const fs::path csv = dir.write("in.csv", "a\r\n1\r\n");
    std::string expected;
    std::string err;
    ASSERT_EQ(runCli({utf8(csv)}, expected, err), cli::kExitOk) << err;
    constexpr DWORD kChecked = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY;
    const struct {
        const char* name;
        DWORD attributes;
    } cases[] = {
        {"plain.sql", 0},
        {"hidden.sql", FILE_ATTRIBUTE_HIDDEN},
        {"system.sql", FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path target = dir.write(c.name, "the old script");
        ASSERT_TRUE(::SetFileAttributesW(target.c_str(), c.attributes != 0 ? c.attributes : FILE_ATTRIBUTE_NORMAL));
        std::string out;
        EXPECT_EQ(runCli({"-o", utf8(target), utf8(csv)}, out, err), cli::kExitOk) << err;
        EXPECT_EQ(readBytes(target), expected);
        EXPECT_EQ(::GetFileAttributesW(target.c_str()) & kChecked, c.attributes);
    }
    EXPECT_EQ(namesIn(dir.path()), (std::vector<std::string>{"hidden.sql", "in.csv", "plain.sql", "system.sql"}));
}

TEST(WindowsTargets, DevicesAreWrittenDirectly)
{
    TempDir dir;
    const fs::path csv = dir.write("in.csv", "a\r\n1\r\n");
    // A device name has no folder: a temporary file would go to the current one.
    const fs::path previous = fs::current_path();
    fs::current_path(dir.path());
    for (const char* device : {"NUL", "nul", "\\\\.\\NUL"}) {
        SCOPED_TRACE(device);
        std::string out;
        std::string err;
        EXPECT_EQ(runCli({"-o", device, utf8(csv)}, out, err), cli::kExitOk) << err;
        EXPECT_EQ(out, "");
    }
    fs::current_path(previous);
    EXPECT_EQ(namesIn(dir.path()), (std::vector<std::string>{"in.csv"}));
}

TEST(WindowsPaths, ExtendedLengthFormOnlyWhereNeeded)
{
    const std::wstring segment(100, L'x');
    const std::wstring longAbsolute = L"C:\\" + segment + L"\\" + segment + L"\\.\\" + segment + L"\\f.csv";
    EXPECT_EQ(extendedLengthPath(L"C:\\data\\a.csv").native(), L"C:\\data\\a.csv");
    EXPECT_EQ(extendedLengthPath(longAbsolute).native(),
              L"\\\\?\\C:\\" + segment + L"\\" + segment + L"\\" + segment + L"\\f.csv");
    EXPECT_EQ(extendedLengthPath(L"\\\\server\\share\\" + segment + L"\\" + segment + L"\\" + segment).native(),
              L"\\\\?\\UNC\\server\\share\\" + segment + L"\\" + segment + L"\\" + segment);
    const std::wstring already = L"\\\\?\\C:\\" + segment + L"\\" + segment + L"\\" + segment;
    EXPECT_EQ(extendedLengthPath(already).native(), already);
}

} // namespace
} // namespace quarrow::test::windows
