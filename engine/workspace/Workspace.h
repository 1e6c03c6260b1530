#pragma once

#include "engine/text/TextEncoding.h"
#include "engine/types/ValueForms.h"
#include "engine/workspace/Dialect.h"
#include "engine/workspace/DistinctNames.h"
#include "engine/workspace/RowStore.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace quarrow {

struct LoadOptions {
    TextEncoding encoding = TextEncoding::Utf8;
    bool headerLine = false; // the first line holds column names
    char16_t separator = u',';
    Dialect dialect = Dialect::MySql; // gives the default types at the first load
    bool exactQuoting = false;        // records read exactly (csv/ExactQuoting.h): one row per record
    // How values are read into typed columns by Suggest and the export; a
    // load itself does not look at it.
    ValueForms forms{};
    // Lines never loaded (csv/LineReader.h, LineDropping): the first
    // `skipLines`, and those that begin with `comment` (none when NUL).
    std::uint64_t skipLines = 0;
    char16_t comment = u'\0';
};

// What a load on another thread shares with the thread that waits for it.
struct LoadControl {
    std::atomic<std::uint64_t>* bytesRead = nullptr; // advanced as the file is read
    const std::atomic<bool>* cancel = nullptr;       // set to stop the load
};

struct LoadReport {
    bool fileExisted = false;
    bool cancelled = false; // stopped through LoadControl::cancel: nothing of the file was kept
    bool readFailed = false;
    std::string failure;           // the reader's description when readFailed
    std::uint64_t failureLine = 0; // where reading stopped (1-based, of this file): see ReadError
    std::int64_t rowCount = 0;     // rows in the workspace after the load
    std::int64_t filesLoaded = 0;  // files-loaded count after the load
};

// Column names and default types that a first line gives.
struct ColumnSetup {
    std::int64_t columnCount = 0;
    std::vector<std::u16string> names;
    std::vector<std::u16string> types;
    std::vector<ColumnRename> renames; // repeated names of the line, made distinct
};

// Column count from every separator of the line (quoted ones too); names
// from the cleaned fields when the line holds names (an empty one becomes
// COLUMN<position>, and a repeated one gets a suffix, see makeNamesDistinct),
// else COLUMN1..COLUMN<count>; the dialect's default type for each name.
// Read exactly, the count is that of the record's fields and a name is the
// field's value trimmed (see exactColumnName()).
ColumnSetup setUpColumns(std::u16string_view firstLine, const LoadOptions& options);

// The lines of every loaded CSV file plus the column names and types that
// the first file fixes.
class Workspace {
public:
    Workspace() = default;
    Workspace(const Workspace&) = delete;
    Workspace& operator=(const Workspace&) = delete;

    // Appends the file's lines. A missing path (or a directory) changes
    // nothing. A read failure keeps the lines read before it; the counting
    // and the first-load setup run whenever the file exists.
    // A cancelled load leaves the workspace as it was before it.
    LoadReport load(const std::filesystem::path& path, const LoadOptions& options, const LoadControl& control = {});

    void clear();

    std::size_t rowCount() const noexcept { return m_rows.size(); }
    // Row `i` as UTF-16, viewed in the store or decoded into `scratch` (see
    // RowStore::row); rowText() gives a copy, for a caller that reads few.
    std::u16string_view row(std::size_t i, std::u16string& scratch) const { return m_rows.row(i, scratch); }
    // Row `i` as UTF-8 when the store holds it so (see RowStore::utf8Row).
    std::optional<std::string_view> utf8Row(std::size_t i) const noexcept { return m_rows.utf8Row(i); }
    std::u16string rowText(std::size_t i) const
    {
        std::u16string scratch;
        return std::u16string(m_rows.row(i, scratch));
    }
    const std::vector<std::u16string>& columnNames() const noexcept { return m_names; }
    const std::vector<std::u16string>& columnTypes() const noexcept { return m_types; }
    // Names the first-load setup changed, so that the window can say so.
    const std::vector<ColumnRename>& columnRenames() const noexcept { return m_renames; }
    void replaceType(std::size_t i, std::u16string type) { m_types.at(i) = std::move(type); }

    // Lines of a file the reader left out just before row `row` (a
    // workspace row; the file's row count when they came last).
    struct LineGap {
        std::size_t row;
        std::uint64_t lines;
    };
    // Each loaded file and the row its lines start at, in load order.
    struct LoadedFile {
        std::filesystem::path path;
        std::size_t firstRow;
        std::vector<LineGap> gaps{}; // in row order
    };
    const std::vector<LoadedFile>& files() const noexcept { return m_files; }

    std::int64_t columnCount() const noexcept { return m_columnCount; }
    std::int64_t filesLoaded() const noexcept { return m_filesLoaded; }

    // Memory held by the rows, for the benchmarks.
    std::uint64_t rowBytes() const noexcept { return m_rows.bytesUsed(); }

private:
    RowStore m_rows;
    std::vector<std::u16string> m_names;
    std::vector<std::u16string> m_types;
    std::vector<ColumnRename> m_renames;
    std::vector<LoadedFile> m_files;
    std::int64_t m_columnCount = 0;
    std::int64_t m_filesLoaded = 0;
};

} // namespace quarrow
