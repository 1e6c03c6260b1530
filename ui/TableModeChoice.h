#pragma once

#include "engine/sql/ScriptWriter.h"
#include "engine/sql/TableMode.h"

#include <QObject>
#include <QString>

#include <vector>

class QComboBox;
class QGridLayout;
class QLabel;
class QWidget;

namespace quarrow {

// The window's choice of what the script does about the table (create it,
// create it if missing, replace it, rows only): a labelled list in a row of
// its own under the database. Every mode stays listed; those the chosen
// database has no form for are greyed, and an export or a profile saved
// with one is refused with the reason (see refusal()).
class TableModeChoice final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TableModeChoice)

public:
    // Adds the label ("LabelTableMode") and the list ("TableMode") to a new
    // row at the bottom of `layout`, whose widgets are children of `panel`.
    TableModeChoice(QGridLayout* layout, QWidget* panel, QObject* parent);

    TableMode mode() const;
    void setMode(TableMode mode);
    // The database chosen now.
    void setDialect(Dialect dialect);
    void setEnabled(bool enabled);
    // Why the chosen mode cannot be written for the chosen database; empty
    // when it can.
    QString refusal() const;

private:
    QLabel* m_label;
    QComboBox* m_box;
    Dialect m_dialect = Dialect::MySql;
};

// The Success box's paragraph on the table a script of `options` needs
// (sql/TableMode.h's note), naming the columns as the script writes them:
// `names` as loaded, with the renames the export made. Empty for create.
QString tableModeReportText(const ScriptOptions& options, const std::vector<std::u16string>& names,
                            const ExportResult& result);

} // namespace quarrow
