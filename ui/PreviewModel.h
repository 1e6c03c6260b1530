#pragma once

#include "engine/csv/FieldSplitter.h"
#include "engine/csv/NullMarkers.h"
#include "engine/workspace/Workspace.h"

#include <QAbstractTableModel>
#include <QString>

#include <vector>

namespace quarrow {

// The first rows of an export as they will be written, read from the
// workspace when the view asks for them: nothing is copied, so a preview
// of a large load opens at once.
class PreviewModel final : public QAbstractTableModel {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PreviewModel)

public:
    static constexpr int kMaxRows = 1000;

    struct Settings {
        char16_t separator = u',';
        bool headerLine = false;
        bool nullEmpty = false;
        std::vector<QString> suggestions;          // per column; empty when not computed
        bool exactQuoting = false;                 // the rows are records read exactly
        std::vector<std::u16string> nullMarkers{}; // values shown as NULL
    };

    explicit PreviewModel(const Workspace& workspace, QObject* parent = nullptr);

    // After a load, Clear or a change of the options: the rows start again.
    void reset(Settings settings);
    // The workspace is about to change on another thread: shows no rows, and
    // reads nothing from it, until the next reset().
    void hold();
    bool held() const noexcept { return m_held; }
    // The column types or suggestions changed: only the headers are shown again.
    void updateHeaders(std::vector<QString> suggestions);

    // True when `settings` split and show the rows as they are shown now.
    bool showsRowsOf(const Settings& settings) const noexcept
    {
        return settings.separator == m_settings.separator && settings.headerLine == m_settings.headerLine
               && settings.nullEmpty == m_settings.nullEmpty && settings.exactQuoting == m_settings.exactQuoting;
    }

    // Rows an export writes, of which the first kMaxRows are shown.
    std::size_t exportedRows() const noexcept;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::size_t workspaceRow(int row) const noexcept;
    // Splits the row unless it is the one split last.
    void split(int row) const;

    const Workspace& m_workspace;
    Settings m_settings;
    // Read exactly, the line of its file where each workspace row shown
    // begins (records may span lines); empty otherwise.
    std::vector<std::uint64_t> m_lines;
    int m_rows = 0;
    int m_columns = 0;
    bool m_held = false;
    mutable int m_splitRow = -1;
    mutable FieldSplitter m_splitter;
    // The split row's text when the store decodes it; the fields view it.
    mutable std::u16string m_rowText;
    // Read exactly with NULL markers: which fields of the split row were
    // quoted (a quoted value is never a marker).
    mutable std::vector<bool> m_quoted;
    NullMarkers m_markers;
};

} // namespace quarrow
