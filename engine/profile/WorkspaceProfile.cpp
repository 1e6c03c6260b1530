#include "engine/profile/WorkspaceProfile.h"

#include "engine/files/FileOpen.h"

namespace quarrow {

TableProfile profileWorkspace(const Workspace& workspace, const ProfileReading& reading, bool shapesOnly)
{
    TableProfiler profiler(0, reading.separator, reading.exactQuoting);
    profiler.setValueForms(reading.forms);
    profiler.setColumns(workspace.columnNames().size(), shapesOnly);
    if (!reading.nullMarkers.empty())
        profiler.setNullMarkers(std::make_shared<const NullMarkers>(reading.nullMarkers));
    const auto& files = workspace.files();
    std::u16string scratch;
    for (std::size_t f = 0; f < files.size(); ++f) {
        profiler.startFile(pathText(files[f].path.filename()));
        const std::size_t end = f + 1 < files.size() ? files[f + 1].firstRow : workspace.rowCount();
        auto gap = files[f].gaps.begin();
        for (std::size_t r = files[f].firstRow; r < end; ++r) {
            for (; gap != files[f].gaps.end() && gap->row <= r; ++gap)
                profiler.dropLines(gap->lines);
            if (r == 0 && reading.headerLine)
                profiler.skipLine(workspace.row(r, scratch));
            else
                profiler.addRow(workspace.row(r, scratch));
        }
    }
    return profiler.take();
}

} // namespace quarrow
