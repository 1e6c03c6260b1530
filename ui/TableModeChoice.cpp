#include "ui/TableModeChoice.h"

#include "ui/EngineText.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QStandardItemModel>

namespace quarrow {

TableModeChoice::TableModeChoice(QGridLayout* layout, QWidget* panel, QObject* parent)
    : QObject(parent), m_label(new QLabel(QStringLiteral("Table:"), panel)), m_box(new QComboBox(panel))
{
    m_label->setObjectName(QStringLiteral("LabelTableMode"));
    m_box->setObjectName(QStringLiteral("TableMode"));
    m_box->setToolTip(QStringLiteral("What the script does about the table before its rows: a table that exists "
                                     "refuses CREATE TABLE, so later loads into it need another choice"));
    for (const TableModeInfo& info : kTableModes)
        m_box->addItem(qtView(info.itemText).toString());
    m_label->setBuddy(m_box);
    const int row = layout->rowCount();
    layout->addWidget(m_label, row, 0);
    layout->addWidget(m_box, row, 1);
    setDialect(m_dialect);
}

TableMode TableModeChoice::mode() const
{
    const int index = m_box->currentIndex();
    return index >= 0 && static_cast<std::size_t>(index) < kTableModes.size()
               ? kTableModes[static_cast<std::size_t>(index)].mode
               : TableMode::Create;
}

void TableModeChoice::setMode(TableMode mode)
{
    m_box->setCurrentIndex(static_cast<int>(mode));
}

void TableModeChoice::setDialect(Dialect dialect)
{
    m_dialect = dialect;
    auto* model = qobject_cast<QStandardItemModel*>(m_box->model());
    if (model == nullptr)
        return;
    for (const TableModeInfo& info : kTableModes) {
        const std::string refused = tableModeRefusal(dialect, info.mode);
        QStandardItem* item = model->item(static_cast<int>(info.mode));
        item->setEnabled(refused.empty());
        item->setToolTip(QString::fromStdString(refused));
    }
}

void TableModeChoice::setEnabled(bool enabled)
{
    m_label->setEnabled(enabled);
    m_box->setEnabled(enabled);
}

QString TableModeChoice::refusal() const
{
    const std::string refused = tableModeRefusal(m_dialect, mode());
    if (refused.empty())
        return {};
    return u"The table choice \"" + qtView(tableModeInfo(mode()).itemText) + u"\" cannot be written for "
           + qtView(dialectInfo(m_dialect).itemText) + u".\n\n" + QString::fromStdString(refused) + u".";
}

QString tableModeReportText(const ScriptOptions& options, const std::vector<std::u16string>& names,
                            const ExportResult& result)
{
    std::vector<std::u16string> written = names;
    for (const RenamedColumn& renamed : result.renamed) {
        if (renamed.column < written.size())
            written[renamed.column] = renamed.to;
    }
    const std::u16string note = tableModeNote(options.tableMode, options.tableName, written);
    if (note.empty())
        return {};
    QString text = qtView(note).toString();
    text[0] = text[0].toUpper();
    return text + u'.';
}

} // namespace quarrow
