#pragma once

#include <QDialog>

#include "engine/types/TypeListFile.h"

#include <functional>
#include <vector>

class QComboBox;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace quarrow {

class Dialogs;
class Workspace;

// Lets the user give every column its own SQL type. The rows are a snapshot
// of the workspace's names and types taken at creation; edits stay in the
// window's type cells until OK writes them back by position. Modeless; it
// deletes itself when closed, so several may be open at once.
class TFormColumnTypes final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TFormColumnTypes)

public:
    TFormColumnTypes(Workspace& workspace, Dialogs& dialogs, QWidget* parent = nullptr);

    // The texts of the type cells in row order.
    TypeList cellTypes() const;

    // A column's suggested type and why it is not narrower.
    struct Suggestion {
        QString type;
        QString why;
    };
    // Computes the suggestions from the loaded rows and the current
    // database when the button is pressed.
    using Suggester = std::function<std::vector<Suggestion>()>;
    // Shows the Suggest button, which fills every type cell from `suggester`.
    void setSuggester(Suggester suggester);

    void ButtonOpenClick();
    void ButtonSaveClick();
    void ButtonOKClick();
    void ButtonSuggestClick();

private:
    void currentRowChanged(QTreeWidgetItem* current);
    void typeTextChanged(const QString& text);
    void placeTypeBox();
    void showCurrentType();

    Workspace& m_workspace;
    Dialogs& m_dialogs;
    QTreeWidget* m_list = nullptr;
    QComboBox* m_typeBox = nullptr;
    QPushButton* m_open = nullptr;
    QPushButton* m_save = nullptr;
    QPushButton* m_suggest = nullptr;
    Suggester m_suggester;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
    QTreeWidgetItem* m_currentRow = nullptr;
    // Set while the box is loaded from a cell, so that loading it is not
    // taken for an edit.
    bool m_showingType = false;
};

} // namespace quarrow
