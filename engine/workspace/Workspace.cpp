#include "engine/workspace/Workspace.h"

#include "engine/csv/ExactQuoting.h"
#include "engine/csv/FieldSplitter.h"
#include "engine/csv/LineReader.h"

#include <system_error>

namespace quarrow {

namespace {

std::u16string generatedName(std::int64_t number)
{
    std::u16string name = u"COLUMN";
    for (char c : std::to_string(number))
        name.push_back(static_cast<char16_t>(c));
    return name;
}

struct LoadCancelled {};

class RowAppender final : public LineSink {
public:
    RowAppender(RowStore& rows, const std::atomic<bool>* cancel, std::vector<Workspace::LineGap>& gaps)
        : m_rows(rows), m_cancel(cancel), m_gaps(gaps)
    {
    }
    void linesDropped(std::uint64_t count) override { m_gaps.push_back({m_rows.size(), count}); }
    void line(std::u16string_view text) override
    {
        if (m_cancel != nullptr && m_cancel->load(std::memory_order_relaxed))
            throw LoadCancelled{};
        m_rows.append(text);
    }
    bool takesUtf8() const override { return true; }
    void utf8Line(std::string_view bytes) override
    {
        if (m_cancel != nullptr && m_cancel->load(std::memory_order_relaxed))
            throw LoadCancelled{};
        m_rows.appendUtf8(bytes);
    }

private:
    RowStore& m_rows;
    const std::atomic<bool>* m_cancel;
    std::vector<Workspace::LineGap>& m_gaps;
};

} // namespace

namespace {

ColumnSetup setUpExactColumns(std::u16string_view firstRecord, const LoadOptions& options)
{
    ColumnSetup setup;
    std::size_t fields = 0;
    forEachExactField(
        firstRecord.data(), firstRecord.data() + firstRecord.size(), options.separator,
        [&](const char16_t* begin, const char16_t* end) {
            ++fields;
            if (!options.headerLine)
                return;
            std::u16string name = exactColumnName(std::u16string_view(begin, static_cast<std::size_t>(end - begin)));
            setup.names.push_back(name.empty() ? generatedName(static_cast<std::int64_t>(fields)) : std::move(name));
        });
    // An empty record is one empty field, as an empty line is one column.
    setup.columnCount = static_cast<std::int64_t>(fields == 0 ? 1 : fields);
    if (!options.headerLine) {
        for (std::int64_t k = 1; k <= setup.columnCount; ++k)
            setup.names.push_back(generatedName(k));
    }
    setup.types.assign(setup.names.size(), std::u16string(dialectInfo(options.dialect).defaultType));
    return setup;
}

} // namespace

ColumnSetup setUpColumns(std::u16string_view firstLine, const LoadOptions& options)
{
    if (options.exactQuoting)
        return setUpExactColumns(firstLine, options);
    ColumnSetup setup;
    setup.columnCount = countChar(firstLine, options.separator) + 1;
    if (options.headerLine) {
        FieldSplitter splitter;
        splitter.split(firstLine, options.separator);
        setup.names.reserve(splitter.size());
        for (std::size_t j = 0; j < splitter.size(); ++j) {
            std::u16string name = cleanField(splitter[j]);
            setup.names.push_back(name.empty() ? generatedName(static_cast<std::int64_t>(j) + 1) : std::move(name));
        }
        // Generated names take part too: an empty field's COLUMN3 meets a
        // header's own COLUMN3.
        setup.renames = makeNamesDistinct(setup.names, options.encoding);
    } else {
        setup.names.reserve(static_cast<std::size_t>(setup.columnCount));
        for (std::int64_t k = 1; k <= setup.columnCount; ++k)
            setup.names.push_back(generatedName(k));
    }
    setup.types.assign(setup.names.size(), std::u16string(dialectInfo(options.dialect).defaultType));
    return setup;
}

LoadReport Workspace::load(const std::filesystem::path& path, const LoadOptions& options, const LoadControl& control)
{
    LoadReport report;
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    report.fileExisted = !ec && std::filesystem::exists(status) && !std::filesystem::is_directory(status);
    if (report.fileExisted) {
        m_files.push_back({path, m_rows.size()});
        if (std::filesystem::is_regular_file(status)) {
            // No line is held in more bytes than it has in the file, but for
            // ANSI text of characters past U+00FF.
            const auto bytes = std::filesystem::file_size(path, ec);
            if (!ec)
                m_rows.reserve(bytes);
        }
        const std::size_t rowsBefore = m_rows.size();
        RowAppender appender(m_rows, control.cancel, m_files.back().gaps);
        try {
            readLines(path, options.encoding, appender, control.bytesRead, {options.exactQuoting, options.separator},
                      {options.skipLines, options.comment});
            if (control.cancel != nullptr && control.cancel->load(std::memory_order_relaxed))
                throw LoadCancelled{};
        } catch (const LoadCancelled&) {
            m_rows.truncate(rowsBefore);
            m_files.back().gaps.clear();
            report.cancelled = true;
            report.rowCount = static_cast<std::int64_t>(m_rows.size());
            report.filesLoaded = m_filesLoaded;
            return report;
        } catch (const ReadError& e) {
            report.readFailed = true;
            report.failure = e.what();
            report.failureLine = e.lineNumber();
        }
        if (!m_rows.empty())
            ++m_filesLoaded;
        if (m_filesLoaded == 1) {
            std::u16string scratch;
            ColumnSetup setup = setUpColumns(m_rows.row(0, scratch), options);
            m_columnCount = setup.columnCount;
            m_names = std::move(setup.names);
            m_types = std::move(setup.types);
            m_renames = std::move(setup.renames);
        }
    }
    report.rowCount = static_cast<std::int64_t>(m_rows.size());
    report.filesLoaded = m_filesLoaded;
    return report;
}

void Workspace::clear()
{
    m_rows.clear();
    m_names.clear();
    m_types.clear();
    m_renames.clear();
    m_files.clear();
    m_filesLoaded = 0;
}

} // namespace quarrow
