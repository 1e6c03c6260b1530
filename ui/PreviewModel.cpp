#include "ui/PreviewModel.h"

#include "engine/csv/ExactQuoting.h"

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QLocale>

#include <algorithm>
#include <iterator>

namespace quarrow {

namespace {

const QColor kLongRow(255, 222, 222);
const QColor kShortRow(255, 243, 208);

} // namespace

PreviewModel::PreviewModel(const Workspace& workspace, QObject* parent)
    : QAbstractTableModel(parent), m_workspace(workspace)
{
}

std::size_t PreviewModel::exportedRows() const noexcept
{
    const std::size_t rows = m_workspace.rowCount();
    return m_settings.headerLine && rows > 0 ? rows - 1 : rows;
}

void PreviewModel::hold()
{
    beginResetModel();
    m_held = true;
    m_rows = 0;
    m_columns = 0;
    m_splitRow = -1;
    m_lines.clear();
    endResetModel();
}

void PreviewModel::reset(Settings settings)
{
    beginResetModel();
    m_held = false;
    m_settings = std::move(settings);
    m_markers = NullMarkers(m_settings.nullMarkers);
    m_rows = static_cast<int>(std::min<std::size_t>(exportedRows(), kMaxRows));
    m_columns = static_cast<int>(m_workspace.columnNames().size());
    m_splitRow = -1;
    m_lines.clear();
    const auto& files = m_workspace.files();
    // Rows are lines of their file, one after another, unless records span
    // lines or lines were left out between them.
    const bool gaps =
        std::any_of(files.begin(), files.end(), [](const Workspace::LoadedFile& f) { return !f.gaps.empty(); });
    if ((m_settings.exactQuoting || gaps) && m_rows > 0) {
        const std::size_t shown = workspaceRow(m_rows - 1) + 1;
        m_lines.reserve(shown);
        auto file = files.begin();
        std::vector<Workspace::LineGap>::const_iterator gap;
        std::uint64_t line = 1;
        for (std::size_t r = 0; r < shown; ++r) {
            for (; file != files.end() && file->firstRow <= r; ++file) {
                line = 1;
                gap = file->gaps.begin();
            }
            for (; file != files.begin() && gap != std::prev(file)->gaps.end() && gap->row <= r; ++gap)
                line += gap->lines;
            m_lines.push_back(line);
            if (m_settings.exactQuoting) {
                const std::u16string_view record = m_workspace.row(r, m_rowText);
                line += countLineBreaks(record.data(), record.data() + record.size());
            }
            line += 1;
        }
    }
    endResetModel();
}

void PreviewModel::updateHeaders(std::vector<QString> suggestions)
{
    m_settings.suggestions = std::move(suggestions);
    if (m_columns > 0)
        emit headerDataChanged(Qt::Horizontal, 0, m_columns - 1);
}

int PreviewModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int PreviewModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_columns;
}

std::size_t PreviewModel::workspaceRow(int row) const noexcept
{
    return static_cast<std::size_t>(row) + (m_settings.headerLine ? 1 : 0);
}

void PreviewModel::split(int row) const
{
    if (row == m_splitRow)
        return;
    if (m_settings.exactQuoting) {
        const std::u16string_view text = m_workspace.row(workspaceRow(row), m_rowText);
        m_splitter.splitExact(text, m_settings.separator);
        m_quoted.clear();
        if (!m_markers.empty())
            forEachExactField(text.data(), text.data() + text.size(), m_settings.separator,
                              [&](const char16_t* b, const char16_t* e) { m_quoted.push_back(b < e && *b == kQuote); });
    } else
        m_splitter.split(m_workspace.row(workspaceRow(row), m_rowText), m_settings.separator);
    m_splitRow = row;
}

QVariant PreviewModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows || index.column() >= m_columns)
        return {};
    split(index.row());
    const auto fields = static_cast<int>(m_splitter.size());
    const bool missing = index.column() >= fields;
    // Read exactly, a field's value is written as it stands.
    const std::u16string value = missing ? std::u16string()
                                 : m_settings.exactQuoting
                                     ? std::u16string(m_splitter[static_cast<std::size_t>(index.column())])
                                     : cleanField(m_splitter[static_cast<std::size_t>(index.column())]);
    const auto column = static_cast<std::size_t>(index.column());
    const bool quoted = m_settings.exactQuoting && column < m_quoted.size() && m_quoted[column];
    const bool null = (value.empty() && m_settings.nullEmpty)
                      || (!missing && !quoted && m_markers.matchValue(value.data(), value.data() + value.size()));
    switch (role) {
    case Qt::DisplayRole: return null ? QStringLiteral("NULL") : QString::fromStdU16String(value);
    case Qt::ForegroundRole: return null ? QVariant(QBrush(Qt::gray)) : QVariant();
    case Qt::FontRole:
        if (null) {
            QFont italic;
            italic.setItalic(true);
            return italic;
        }
        return {};
    case Qt::BackgroundRole:
        if (fields > m_columns)
            return QBrush(kLongRow);
        if (fields < m_columns)
            return QBrush(kShortRow);
        return {};
    case Qt::ToolTipRole: {
        QString tip = null ? QStringLiteral("Empty: written as NULL")
                           : (value.empty() ? QStringLiteral("Empty: written as ''") : QString());
        if (fields != m_columns) {
            if (!tip.isEmpty())
                tip += u'\n';
            tip += QString::number(fields)
                   + (fields == 1 ? QStringLiteral(" field for ") : QStringLiteral(" fields for "))
                   + QString::number(m_columns)
                   + (m_columns == 1 ? QStringLiteral(" column: ") : QStringLiteral(" columns: "))
                   + (fields > m_columns ? QStringLiteral("the extra fields are not written")
                                         : QStringLiteral("the missing ones are written empty"));
        }
        return tip.isEmpty() ? QVariant() : QVariant(tip);
    }
    default: return {};
    }
}

QVariant PreviewModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    if (orientation == Qt::Vertical) {
        // The line of its file, as the warnings name it.
        const std::size_t row = workspaceRow(section);
        const auto& files = m_workspace.files();
        auto file = std::upper_bound(files.begin(), files.end(), row,
                                     [](std::size_t r, const Workspace::LoadedFile& f) { return r < f.firstRow; });
        if (file == files.begin())
            return section + 1;
        --file;
        const auto line = static_cast<qulonglong>(row < m_lines.size() ? m_lines[row] : row - file->firstRow + 1);
        if (role == Qt::ToolTipRole)
            return QString(QStringLiteral("Line ") + QString::number(line) + QStringLiteral(" of ")
                           + QString::fromStdU16String(file->path.filename().u16string()));
        return QString::number(line);
    }
    const auto column = static_cast<std::size_t>(section);
    const auto& names = m_workspace.columnNames();
    const auto& types = m_workspace.columnTypes();
    if (column >= names.size())
        return {};
    QString text = QString::fromStdU16String(names[column]) + u'\n'
                   + (column < types.size() ? QString::fromStdU16String(types[column]) : QString());
    if (column < m_settings.suggestions.size() && column < types.size()
        && m_settings.suggestions[column] != QString::fromStdU16String(types[column]))
        text += QStringLiteral("\nsuggested: ") + m_settings.suggestions[column];
    return text;
}

} // namespace quarrow
