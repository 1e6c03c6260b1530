#include "tests/support/TempDir.h"
#include "tests/windows/WindowsTestSupport.h"

#include "cli/Converter.h"

#include <gtest/gtest.h>

namespace quarrow::test::windows {
namespace {

namespace fs = std::filesystem;

// quarrow-cli.exe itself: its wide command line, standard output in binary
// mode and its exit statuses.
TEST(ConverterProgram, WideArgumentsAndBinaryStandardOutput)
{
    TempDir dir;
    const fs::path folder = dir.path() / L"\x0414\x0430\x043D\x043D\x044B\x0435 \x65E5\x672C";
    fs::create_directories(folder);
    const fs::path csv = folder / L"\x00FC.csv";
    writeBytes(csv, "a,b\r\n1,x\r\n2,y\n");

    const ProgramRun run = runProgram(quoted(converterProgram()) + L" -H -t T " + quoted(csv), dir.path());
    EXPECT_EQ(run.exitCode, static_cast<DWORD>(cli::kExitOk)) << run.err;
    EXPECT_EQ(run.err, "") << "no progress display when standard error is a file";
    std::string expected;
    std::string err;
    ASSERT_EQ(runCli({"-H", "-t", "T", pathText(csv)}, expected, err), cli::kExitOk) << err;
    EXPECT_EQ(run.out, expected);
    EXPECT_EQ(run.out.find("\r\r"), std::string::npos);

    const ProgramRun usage = runProgram(quoted(converterProgram()) + L" --nope " + quoted(csv), dir.path());
    EXPECT_EQ(usage.exitCode, static_cast<DWORD>(cli::kExitUsage));
    const ProgramRun missing =
        runProgram(quoted(converterProgram()) + L" " + quoted(folder / L"\x00F6.csv"), dir.path());
    EXPECT_EQ(missing.exitCode, static_cast<DWORD>(cli::kExitFailure));
    EXPECT_NE(missing.err.find(pathText(folder / L"\x00F6.csv")), std::string::npos) << missing.err;
}

} // namespace
} // namespace quarrow::test::windows
