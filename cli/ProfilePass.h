#pragma once

#include "ConverterOptions.h"
#include "csv/LineReader.h"
#include "profile/ColumnProfile.h"
#include "types/TypeListFile.h"
#include "workspace/Workspace.h"

#include <optional>
#include <ostream>
#include <string>

namespace quarrow::cli {

// Profiles the lines the reader hands over, as the script will have them:
// the first line gives the columns (and is skipped when it holds the
// names). With a next sink it passes every line on unchanged, so that the
// converter's one reading also counts the rows' fields.
class ProfilingSink final : public LineSink {
public:
    ProfilingSink(const ScriptOptions& script, bool shapesOnly, LineSink* next = nullptr);

    void passTo(LineSink* next) noexcept { m_next = next; }
    void startFile(std::string name) { m_profiler.startFile(std::move(name)); }

    void line(std::u16string_view text) override;
    bool takesUtf8() const override;
    void utf8Line(std::string_view bytes) override;

    bool started() const noexcept { return m_started; }
    const ColumnSetup& columns() const noexcept { return m_setup; }
    const TableProfile& profile() const noexcept { return m_profiler.profile(); }

private:
    // True when the line is the header and is not profiled.
    bool start(std::u16string_view firstLine);

    ScriptOptions m_script;
    bool m_shapesOnly;
    LineSink* m_next;
    TableProfiler m_profiler;
    ColumnSetup m_setup;
    bool m_started = false;
    std::u16string m_scratch;
};

// Prints the rows whose field count differs from the columns as warnings.
void warnAboutStructure(const TableProfile& profile, std::size_t columns, std::ostream& err);

// Reads every input once before anything is written, for --suggest-types,
// --explain and --strict: prints the explanation and the structure
// warnings, and puts the suggested types, overridden by the type-list
// file's, into `types`. Returns the exit status when the run must stop
// (a read failure; rows that do not fit under --strict).
std::optional<int> profileBeforeWriting(const ConverterOptions& options, std::optional<TypeList>& types,
                                        std::ostream& err);

} // namespace quarrow::cli
