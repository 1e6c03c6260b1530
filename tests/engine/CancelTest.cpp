// Loads and exports that the window runs on a worker thread can be stopped
// half way: a stopped load leaves the workspace as it was before that file,
// a stopped export leaves no file.

#include "tests/support/TempDir.h"

#include "engine/sql/ScriptWriter.h"
#include "engine/workspace/RowStore.h"
#include "engine/workspace/Workspace.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace quarrow {
namespace {

using test::TempDir;

std::vector<std::u16string> rowsOf(const Workspace& workspace)
{
    std::vector<std::u16string> rows;
    for (std::size_t i = 0; i < workspace.rowCount(); ++i)
        rows.push_back(workspace.rowText(i));
    return rows;
}

// Rows long enough to fill several of the store's chunks.
TEST(RowStoreTruncate, DropsRowsAndTheirTextAcrossChunks)
{
    for (const std::size_t keep : {std::size_t{0}, std::size_t{1}, std::size_t{3}, std::size_t{5}, std::size_t{9}}) {
        SCOPED_TRACE(keep);
        RowStore store;
        std::vector<std::u16string> lines;
        for (int i = 0; i < 9; ++i)
            lines.emplace_back(std::size_t{700000} + static_cast<std::size_t>(i), static_cast<char16_t>(u'a' + i));
        for (const auto& line : lines)
            store.append(line);
        store.truncate(keep);
        ASSERT_EQ(store.size(), std::min<std::size_t>(keep, lines.size()));
        // What is appended afterwards follows the kept rows, and they are intact.
        store.append(u"after");
        std::u16string scratch;
        for (std::size_t i = 0; i < store.size() - 1; ++i)
            ASSERT_EQ(store.row(i, scratch), lines[i]) << "row " << i;
        EXPECT_EQ(store.row(store.size() - 1, scratch), u"after");
        EXPECT_LE(store.bytesUsed(), keep * 700010 + 5 + 4 * (keep + 1));
    }
}

TEST(WorkspaceCancel, StoppedLoadLeavesTheWorkspaceAsItWas)
{
    TempDir dir;
    const auto first = dir.write("first.csv", "id,name\n1,Ann\n");
    const auto second = dir.write("second.csv", "2,Bob\n3,Cid\n");
    const LoadOptions options{TextEncoding::Utf8, true, u',', Dialect::PostgreSql};
    std::atomic<bool> cancel{true};

    // The first file: no rows, and no first-load setup either.
    Workspace workspace;
    LoadReport report = workspace.load(first, options, LoadControl{nullptr, &cancel});
    EXPECT_TRUE(report.cancelled);
    EXPECT_EQ(workspace.rowCount(), 0u);
    EXPECT_EQ(workspace.filesLoaded(), 0);
    EXPECT_TRUE(workspace.columnNames().empty());
    EXPECT_TRUE(workspace.columnTypes().empty());

    // A later file: what the earlier ones loaded stays, names and types too.
    cancel = false;
    workspace.load(first, options, LoadControl{nullptr, &cancel});
    workspace.replaceType(1, u"varchar(9)");
    cancel = true;
    report = workspace.load(second, options, LoadControl{nullptr, &cancel});
    EXPECT_TRUE(report.cancelled);
    EXPECT_EQ(rowsOf(workspace), (std::vector<std::u16string>{u"id,name", u"1,Ann"}));
    EXPECT_EQ(workspace.filesLoaded(), 1);
    EXPECT_EQ(workspace.columnTypes(), (std::vector<std::u16string>{u"text", u"varchar(9)"}));
    EXPECT_EQ(report.rowCount, 2);

    // Loading again afterwards works as if nothing had happened.
    cancel = false;
    report = workspace.load(second, options, LoadControl{nullptr, &cancel});
    EXPECT_FALSE(report.cancelled);
    EXPECT_EQ(workspace.rowCount(), 4u);
}

// Stopped from another thread while the file is being read: whenever the
// flag is seen, nothing of the file is kept.
TEST(WorkspaceCancel, StoppedFromAnotherThreadHalfWay)
{
    TempDir dir;
    std::string csv;
    for (int i = 0; i < 200000; ++i)
        csv += std::to_string(i) + ",some text for the row\n";
    const auto big = dir.write("big.csv", csv);
    const auto small = dir.write("small.csv", "a,b\n");
    Workspace workspace;
    const LoadOptions options{TextEncoding::Utf8, false, u',', Dialect::MySql};
    workspace.load(small, options);

    std::atomic<std::uint64_t> bytesRead{0};
    std::atomic<bool> cancel{false};
    std::thread stopper([&] {
        while (bytesRead.load() < csv.size() / 3)
            std::this_thread::yield();
        cancel = true;
    });
    const LoadReport report = workspace.load(big, options, LoadControl{&bytesRead, &cancel});
    stopper.join();
    EXPECT_TRUE(report.cancelled);
    EXPECT_EQ(rowsOf(workspace), (std::vector<std::u16string>{u"a,b"}));
    EXPECT_GE(bytesRead.load(), csv.size() / 3);
}

TEST(ExportCancel, StoppedExportRemovesItsFile)
{
    TempDir dir;
    std::string csv = "n\n";
    for (int i = 0; i < 10000; ++i)
        csv += std::to_string(i) + "\n";
    Workspace workspace;
    workspace.load(dir.write("n.csv", csv), LoadOptions{TextEncoding::Utf8, true, u',', Dialect::MySql});
    ScriptOptions options;
    options.headerLine = true;
    const auto out = dir.path() / "out.sql";

    std::atomic<std::uint64_t> rows{0};
    std::atomic<bool> cancel{false};
    const ExportResult result = Donustur(workspace, options, out, ExportControl{&rows, &cancel});
    EXPECT_EQ(result.rowsExported, 10000u);
    EXPECT_EQ(rows.load(), 10000u);

    cancel = true;
    EXPECT_THROW(Donustur(workspace, options, out, ExportControl{&rows, &cancel}), ExportCancelled);
    EXPECT_FALSE(std::filesystem::exists(out));
}

} // namespace
} // namespace quarrow
