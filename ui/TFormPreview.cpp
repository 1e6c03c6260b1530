#include "ui/TFormPreview.h"

#include "ui/WindowPlacement.h"

#include <QEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace quarrow {

TFormPreview::TFormPreview(const Workspace& workspace, SettingsSource settings, QWidget* parent)
    : QDialog(parent, Qt::Window), m_model(workspace), m_settings(std::move(settings))
{
    setObjectName(QStringLiteral("FormPreview"));
    setWindowTitle(QStringLiteral("Preview"));

    m_table = new QTableView(this);
    m_table->setObjectName(QStringLiteral("PreviewTable"));
    m_table->setModel(&m_model);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setWordWrap(false);
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 6);
    m_table->horizontalHeader()->setDefaultSectionSize(120);
    // Sizing the columns looks at this many rows, not at all of them.
    m_table->horizontalHeader()->setResizeContentsPrecision(100);

    m_note = new QLabel(this);
    m_note->setObjectName(QStringLiteral("PreviewNote"));
    m_note->setTextFormat(Qt::PlainText);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(m_table);
    layout->addWidget(m_note);

    resize(760, 480);
    refresh();
    centreOnScreen(*this);
}

void TFormPreview::refresh()
{
    m_model.reset(m_settings());
    m_table->resizeColumnsToContents();
    for (int c = 0; c < m_model.columnCount(); ++c)
        m_table->setColumnWidth(c, std::min(m_table->columnWidth(c), 320));
    showCount();
}

void TFormPreview::holdForLoad()
{
    m_model.hold();
    m_note->setText(QStringLiteral("Loading... the rows show again once the load has ended."));
}

void TFormPreview::showCount()
{
    const QLocale locale;
    const auto total = static_cast<qulonglong>(m_model.exportedRows());
    m_note->setText(QStringLiteral("First ") + locale.toString(m_model.rowCount()) + QStringLiteral(" of ")
                    + locale.toString(total)
                    + QStringLiteral(" rows as they will be written. Marked rows have more (red) or fewer (yellow) "
                                     "fields than there are columns."));
}

void TFormPreview::changeEvent(QEvent* event)
{
    QDialog::changeEvent(event);
    // Types edited or options changed while the window was in the background.
    // While a load runs, the options and the rows are not read: the rows
    // show again when it has ended.
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && !m_model.held()) {
        PreviewModel::Settings settings = m_settings();
        if (m_model.showsRowsOf(settings))
            m_model.updateHeaders(std::move(settings.suggestions));
        else
            refresh();
    }
}

} // namespace quarrow
