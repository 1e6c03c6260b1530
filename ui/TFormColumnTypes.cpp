#include "ui/TFormColumnTypes.h"

#include "kit/Dialogs.h"
#include "ui/EngineText.h"
#include "ui/ErrorReport.h"
#include "ui/Pictures.h"
#include "ui/WindowPlacement.h"
#include "engine/types/TypeVocabulary.h"
#include "engine/workspace/Workspace.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QScrollBar>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace quarrow {

namespace {

FileDialogSpec typeListFileTypes()
{
    return {QStringLiteral("Text File (*.txt)|*.txt|Any File (*.*)|*.*"), QStringLiteral("txt")};
}

// "*" and not "*.*": on Linux a name need not have an extension, and "*.*"
// hides every file without one.
FileDialogSpec typeListOpenTypes()
{
    return {QStringLiteral("Text File (*.txt)|*.txt|All files (*)|*"), QString()};
}

QPushButton* makeButton(QWidget* parent, const QString& name, const QString& text, int width)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setFixedSize(width, 27);
    // Enter belongs to the type box; only OK and Cancel close the window.
    button->setAutoDefault(false);
    return button;
}

} // namespace

TFormColumnTypes::TFormColumnTypes(Workspace& workspace, Dialogs& dialogs, QWidget* parent)
    : QDialog(parent, Qt::Window), m_workspace(workspace), m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("FormColumnTypes"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Edit Column Types"));

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("ListView1"));
    QFont listFont = m_list->font();
    listFont.setPointSize(10);
    m_list->setFont(listFont);
    m_list->setColumnCount(2);
    m_list->setHeaderLabels({QStringLiteral("Column Name"), QStringLiteral("Column Types")});
    m_list->header()->setStretchLastSection(false);
    m_list->header()->setSectionsMovable(false);
    m_list->setColumnWidth(0, 200);
    m_list->setColumnWidth(1, 200);
    m_list->setRootIsDecorated(false);
    m_list->setItemsExpandable(false);
    m_list->setUniformRowHeights(true);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);

    const auto& names = workspace.columnNames();
    const auto& types = workspace.columnTypes();
    QList<QTreeWidgetItem*> rows;
    rows.reserve(static_cast<qsizetype>(names.size()));
    for (std::size_t i = 0; i < names.size(); ++i) {
        const QString type = i < types.size() ? QString::fromStdU16String(types[i]) : QString();
        rows << new QTreeWidgetItem(QStringList{QString::fromStdU16String(names[i]), type});
    }
    m_list->addTopLevelItems(rows);

    m_typeBox = new QComboBox(m_list->viewport());
    m_typeBox->setObjectName(QStringLiteral("ComboBox1"));
    m_typeBox->setEditable(true);
    // Typed types are free text for the current cell, not new list entries.
    m_typeBox->setInsertPolicy(QComboBox::NoInsert);
    m_typeBox->setMaxVisibleItems(static_cast<int>(kTypeVocabulary.size()));
    for (const auto type : kTypeVocabulary)
        m_typeBox->addItem(qtView(type).toString());
    m_typeBox->hide();

    auto* buttonBar = new QWidget(this);
    buttonBar->setObjectName(QStringLiteral("ButtonBar"));
    buttonBar->setFixedHeight(33);
    m_open = makeButton(buttonBar, QStringLiteral("ButtonOpen"), QString(), 27);
    m_open->setIcon(pictureIcon(QStringLiteral("folder48")));
    m_open->setToolTip(QStringLiteral("Load the types from a file"));
    m_save = makeButton(buttonBar, QStringLiteral("ButtonSave"), QString(), 27);
    m_save->setIcon(pictureIcon(QStringLiteral("save48")));
    m_save->setToolTip(QStringLiteral("Save the types to a file"));
    m_suggest = makeButton(buttonBar, QStringLiteral("ButtonSuggest"), QStringLiteral("Suggest"), 75);
    m_suggest->setToolTip(QStringLiteral("Type every column from its values and the selected database"));
    m_suggest->hide();
    m_ok = makeButton(buttonBar, QStringLiteral("ButtonOK"), QStringLiteral("OK"), 75);
    m_cancel = makeButton(buttonBar, QStringLiteral("ButtonCancel"), QStringLiteral("Cancel"), 75);
    for (auto* button : {m_open, m_save})
        button->setIconSize(QSize(21, 21));

    auto* barLayout = new QHBoxLayout(buttonBar);
    barLayout->setContentsMargins(3, 3, 3, 3);
    barLayout->setSpacing(3);
    barLayout->addWidget(m_open);
    barLayout->addWidget(m_save);
    barLayout->addSpacing(3);
    barLayout->addWidget(m_suggest);
    barLayout->addStretch();
    barLayout->addWidget(m_ok);
    barLayout->addSpacing(3);
    barLayout->addWidget(m_cancel);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_list);
    layout->addWidget(buttonBar);

    setTabOrder(m_list, m_typeBox);
    setTabOrder(m_typeBox, m_open);
    setTabOrder(m_open, m_save);
    setTabOrder(m_save, m_suggest);
    setTabOrder(m_suggest, m_ok);
    setTabOrder(m_ok, m_cancel);

    connect(m_list, &QTreeWidget::currentItemChanged, this, &TFormColumnTypes::currentRowChanged);
    connect(m_typeBox, &QComboBox::editTextChanged, this, &TFormColumnTypes::typeTextChanged);
    // Scrolling moves the cell under the box; connected after the list's own
    // scrolling, so the box is placed from the new offsets.
    connect(m_list->verticalScrollBar(), &QScrollBar::valueChanged, this, &TFormColumnTypes::placeTypeBox);
    connect(m_list->horizontalScrollBar(), &QScrollBar::valueChanged, this, &TFormColumnTypes::placeTypeBox);
    connect(m_list->header(), &QHeaderView::sectionResized, this, &TFormColumnTypes::placeTypeBox);
    connect(m_open, &QPushButton::clicked, this, &TFormColumnTypes::ButtonOpenClick);
    connect(m_save, &QPushButton::clicked, this, &TFormColumnTypes::ButtonSaveClick);
    connect(m_suggest, &QPushButton::clicked, this, &TFormColumnTypes::ButtonSuggestClick);
    connect(m_ok, &QPushButton::clicked, this, &TFormColumnTypes::ButtonOKClick);
    connect(m_cancel, &QPushButton::clicked, this, &TFormColumnTypes::reject);

    resize(411, 309);
    if (QTreeWidgetItem* first = m_list->topLevelItem(0))
        m_list->setCurrentItem(first);
    centreOnScreen(*this);
}

TypeList TFormColumnTypes::cellTypes() const
{
    TypeList types;
    const int count = m_list->topLevelItemCount();
    types.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        types.push_back(m_list->topLevelItem(i)->text(1).toStdU16String());
    return types;
}

void TFormColumnTypes::currentRowChanged(QTreeWidgetItem* current)
{
    if (current == nullptr)
        return;
    m_currentRow = current;
    placeTypeBox();
    showCurrentType();
}

void TFormColumnTypes::placeTypeBox()
{
    if (m_currentRow == nullptr)
        return;
    const QRect cell = m_list->visualRect(m_list->indexFromItem(m_currentRow, 1));
    m_typeBox->setGeometry(cell);
    // The viewport starts below the header: a cell whose top lies above it
    // is scrolled under the header or out of sight.
    m_typeBox->setVisible(cell.isValid() && cell.top() >= 0);
}

void TFormColumnTypes::showCurrentType()
{
    if (m_currentRow == nullptr)
        return;
    const QString type = m_currentRow->text(1);
    m_typeBox->setToolTip(m_currentRow->toolTip(1));
    m_showingType = true;
    m_typeBox->setCurrentIndex(m_typeBox->findText(type));
    m_typeBox->setEditText(type);
    m_showingType = false;
}

void TFormColumnTypes::typeTextChanged(const QString& text)
{
    if (m_showingType || m_currentRow == nullptr)
        return;
    m_currentRow->setText(1, text);
}

void TFormColumnTypes::ButtonOpenClick()
{
    const QString fileName = m_dialogs.openFile(this, typeListOpenTypes());
    if (!fileName.isEmpty()) {
        runGuarded(m_dialogs, this, [&] {
            TypeList types = cellTypes();
            ApplyTypeList(LoadTypeListFile(localPath(fileName)), types);
            for (std::size_t i = 0; i < types.size(); ++i)
                m_list->topLevelItem(static_cast<int>(i))->setText(1, QString::fromStdU16String(types[i]));
        });
    }
    showCurrentType();
}

void TFormColumnTypes::ButtonSaveClick()
{
    const QString fileName = m_dialogs.saveFile(this, typeListFileTypes());
    if (fileName.isEmpty())
        return;
    runGuarded(m_dialogs, this, [&] { SaveTypeListFile(localPath(fileName), cellTypes()); });
}

void TFormColumnTypes::setSuggester(Suggester suggester)
{
    m_suggester = std::move(suggester);
    m_suggest->setVisible(static_cast<bool>(m_suggester));
}

void TFormColumnTypes::ButtonSuggestClick()
{
    if (!m_suggester)
        return;
    runGuarded(m_dialogs, this, [&] {
        const std::vector<Suggestion> suggestions = m_suggester();
        // The workspace may have been cleared or reloaded since the snapshot.
        const auto count = std::min(suggestions.size(), static_cast<std::size_t>(m_list->topLevelItemCount()));
        for (std::size_t i = 0; i < count; ++i) {
            QTreeWidgetItem* row = m_list->topLevelItem(static_cast<int>(i));
            row->setText(1, suggestions[i].type);
            row->setToolTip(0, suggestions[i].why);
            row->setToolTip(1, suggestions[i].why);
        }
    });
    showCurrentType();
}

void TFormColumnTypes::ButtonOKClick()
{
    const TypeList types = cellTypes();
    // The workspace may have been cleared or reloaded since the snapshot.
    const std::size_t count = std::min(types.size(), m_workspace.columnTypes().size());
    for (std::size_t i = 0; i < count; ++i)
        m_workspace.replaceType(i, types[i]);
    accept();
}

} // namespace quarrow
