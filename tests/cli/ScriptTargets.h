#pragma once

#include "tests/cli/RunCli.h"
#include "tests/support/TempDir.h"

#include "cli/Converter.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace quarrow::test {

// Where -o puts the script: the reference is the script of the same small
// file on standard output.
class ScriptTargets : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_csv = m_dir.write("a.csv", "x,y\r\n1,'q'\r\n");
        const auto run = runCli({"-H", m_csv.string()});
        ASSERT_EQ(run.status, cli::kExitOk) << run.err;
        m_script = run.out;
        ASSERT_FALSE(m_script.empty());
    }

    quarrow::test::Run convertTo(const std::filesystem::path& target)
    {
        return runCli({"-H", "-o", target.string(), m_csv.string()});
    }

    TempDir m_dir;
    std::filesystem::path m_csv;
    std::string m_script;
};

} // namespace quarrow::test
