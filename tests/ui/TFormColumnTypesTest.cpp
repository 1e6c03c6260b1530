#include "tests/support/Controls.h"
#include "tests/support/FakeDialogs.h"
#include "ui/TFormColumnTypes.h"
#include "engine/workspace/Workspace.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

using namespace quarrow;

namespace {

QStringList toStrings(const std::vector<std::u16string>& texts)
{
    QStringList list;
    for (const auto& text : texts)
        list << QString::fromStdU16String(text);
    return list;
}

std::filesystem::path toPath(const QString& fileName)
{
    return std::filesystem::path(QFile::encodeName(fileName).toStdString());
}

// A workspace loaded from a CSV file whose first line holds the names.
class LoadedWorkspace {
public:
    explicit LoadedWorkspace(const QByteArray& csv) { load(csv); }

    void load(const QByteArray& csv)
    {
        const QString fileName = m_folder.filePath(u"input%1.csv"_qs.arg(++m_files));
        QFile file(fileName);
        if (!file.open(QIODevice::WriteOnly) || file.write(csv) != csv.size())
            qFatal("cannot write the CSV file");
        file.close();
        LoadOptions options;
        options.headerLine = true;
        workspace.load(toPath(fileName), options);
    }

    void setTypes(const QStringList& types)
    {
        for (qsizetype i = 0; i < types.size(); ++i)
            workspace.replaceType(static_cast<std::size_t>(i), types[i].toStdU16String());
    }

    QStringList types() const { return toStrings(workspace.columnTypes()); }

    Workspace workspace;

private:
    QTemporaryDir m_folder;
    int m_files = 0;
};

// A shown column types window; deleted at the end of the test if it is
// still open.
class OpenWindow {
public:
    OpenWindow(LoadedWorkspace& loaded, test::FakeDialogs& dialogs)
        : window(new TFormColumnTypes(loaded.workspace, dialogs))
    {
        window->show();
        if (!QTest::qWaitForWindowExposed(window))
            qFatal("the window was not shown");
    }
    ~OpenWindow() { delete window.data(); }
    OpenWindow(const OpenWindow&) = delete;
    OpenWindow& operator=(const OpenWindow&) = delete;

    template <typename T>
    T* control(const QString& name) const
    {
        return test::findControl<T>(window, name);
    }
    QTreeWidget* list() const { return control<QTreeWidget>(u"ListView1"_qs); }
    QComboBox* typeBox() const { return control<QComboBox>(u"ComboBox1"_qs); }
    void click(const QString& button) const { QTest::mouseClick(control<QPushButton>(button), Qt::LeftButton); }

    QStringList cells(int column) const
    {
        QStringList texts;
        for (int i = 0; i < list()->topLevelItemCount(); ++i)
            texts << list()->topLevelItem(i)->text(column);
        return texts;
    }
    QStringList typeCells() const { return cells(1); }

    QRect typeCell(int row) const { return list()->visualRect(list()->model()->index(row, 1)); }

    void selectRow(int row) const
    {
        const QRect nameCell = list()->visualRect(list()->model()->index(row, 0));
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, nameCell.center());
    }

    void pickType(const QString& type) const
    {
        const int index = typeBox()->findText(type);
        if (index < 0)
            qFatal("not in the list: %s", qPrintable(type));
        typeBox()->setCurrentIndex(index);
    }

    void typeByHand(const QString& type) const
    {
        typeBox()->lineEdit()->selectAll();
        QTest::keyClick(typeBox()->lineEdit(), Qt::Key_Delete);
        QTest::keyClicks(typeBox()->lineEdit(), type);
    }

    QPointer<TFormColumnTypes> window;
};

const QByteArray kThreeColumns = "id,name,born\n1,Ann,1990-01-02\n";
const QStringList kThreeTypes{u"int"_qs, u"text"_qs, u"date"_qs};

QByteArray bom(const QByteArray& lines)
{
    return "\xEF\xBB\xBF" + lines;
}

QByteArray readAll(const QString& fileName)
{
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TFormColumnTypesTest : public QObject {
    Q_OBJECT

private slots:
    void showsSnapshotOfNamesAndTypes()
    {
        LoadedWorkspace loaded(kThreeColumns);
        loaded.setTypes(kThreeTypes);
        test::FakeDialogs dialogs;
        OpenWindow open(loaded, dialogs);
        QCOMPARE(open.cells(0), (QStringList{u"id"_qs, u"name"_qs, u"born"_qs}));
        QCOMPARE(open.typeCells(), kThreeTypes);
        QCOMPARE(open.typeBox()->count(), 27);
        QCOMPARE(open.typeBox()->itemText(26), u"nvarchar(max)"_qs);
        QCOMPARE(open.typeBox()->currentText(), u"int"_qs);

        open.click(u"ButtonOK"_qs);
        QTRY_VERIFY(open.window.isNull());
        QCOMPARE(loaded.types(), kThreeTypes);
    }

    void showsTheNamesTheScriptUses()
    {
        LoadedWorkspace loaded("id,ID,a,a_2,A\n");
        test::FakeDialogs dialogs;
        OpenWindow open(loaded, dialogs);
        QCOMPARE(open.cells(0), (QStringList{u"id"_qs, u"ID_2"_qs, u"a"_qs, u"a_2"_qs, u"A_3"_qs}));
    }

    void editsReachWorkspaceOnlyOnOk()
    {
        LoadedWorkspace loaded(kThreeColumns);
        loaded.setTypes(kThreeTypes);
        test::FakeDialogs dialogs;
        OpenWindow open(loaded, dialogs);

        open.pickType(u"bigint"_qs);
        open.selectRow(2);
        QCOMPARE(open.typeBox()->currentText(), u"date"_qs);
        open.typeByHand(u"varchar(255)"_qs);
        // Each change lands in the current row's cell at once...
        QCOMPARE(open.typeCells(), (QStringList{u"bigint"_qs, u"text"_qs, u"varchar(255)"_qs}));
        // ...and the typed text does not become an entry of the list.
        QCOMPARE(open.typeBox()->count(), 27);
        QCOMPARE(loaded.types(), kThreeTypes);

        open.click(u"ButtonOK"_qs);
        QTRY_VERIFY(open.window.isNull());
        QCOMPARE(loaded.types(), (QStringList{u"bigint"_qs, u"text"_qs, u"varchar(255)"_qs}));
    }

    void closingWithoutOkDiscardsEdits_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("Cancel") << u"cancel"_qs;
        QTest::newRow("Esc") << u"escape"_qs;
        QTest::newRow("close box") << u"close"_qs;
    }

    void closingWithoutOkDiscardsEdits()
    {
        QFETCH(QString, how);
        LoadedWorkspace loaded(kThreeColumns);
        loaded.setTypes(kThreeTypes);
        test::FakeDialogs dialogs;
        {
            OpenWindow open(loaded, dialogs);
            open.selectRow(1);
            open.pickType(u"json"_qs);
            QCOMPARE(open.typeCells().at(1), u"json"_qs);
            if (how == u"cancel")
                open.click(u"ButtonCancel"_qs);
            else if (how == u"escape")
                QTest::keyClick(open.typeBox()->lineEdit(), Qt::Key_Escape);
            else
                open.window->close();
            QTRY_VERIFY(open.window.isNull());
        }
        QCOMPARE(loaded.types(), kThreeTypes);
        OpenWindow reopened(loaded, dialogs);
        QCOMPARE(reopened.typeCells(), kThreeTypes);
    }

    // Enter confirms the typed text in the box; it is no shortcut for a button.
    void enterInTypeBoxKeepsWindowOpen()
    {
        LoadedWorkspace loaded(kThreeColumns);
        test::FakeDialogs dialogs;
        OpenWindow open(loaded, dialogs);
        open.typeByHand(u"numeric(10,2)"_qs);
        QTest::keyClick(open.typeBox()->lineEdit(), Qt::Key_Return);
        QVERIFY(!open.window.isNull());
        QVERIFY(open.window->isVisible());
        QVERIFY(dialogs.fileDialogs.empty());
        QCOMPARE(open.typeCells().at(0), u"numeric(10,2)"_qs);
        QCOMPARE(open.typeBox()->count(), 27);
        QCOMPARE(loaded.types().at(0), u"text"_qs);
    }

    void typeBoxSitsOnCurrentTypeCell()
    {
        LoadedWorkspace loaded(kThreeColumns);
        loaded.setTypes(kThreeTypes);
        test::FakeDialogs dialogs;
        OpenWindow open(loaded, dialogs);
        QCOMPARE(open.typeBox()->parentWidget(), open.list()->viewport());
        QCOMPARE(open.typeBox()->geometry(), open.typeCell(0));
        QVERIFY(open.typeBox()->isVisible());

        open.selectRow(2);
        QCOMPARE(open.typeBox()->geometry(), open.typeCell(2));
        QVERIFY(open.typeBox()->isVisible());
        QCOMPARE(open.typeBox()->currentText(), u"date"_qs);

        open.list()->setFocus();
        QTest::keyClick(open.list(), Qt::Key_Up);
        QCOMPARE(open.typeBox()->geometry(), open.typeCell(1));
        QCOMPARE(open.typeBox()->currentText(), u"text"_qs);
    }

    void typeBoxHiddenWhileItsRowIsUnderTheHeader()
    {
        QByteArray header = "c0";
        for (int i = 1; i < 60; ++i)
            header += ",c" + QByteArray::number(i);
        LoadedWorkspace loaded(header + '\n');
        test::FakeDialogs dialogs;
        OpenWindow open(loaded, dialogs);
        QScrollBar* scroll = open.list()->verticalScrollBar();
        QVERIFY(scroll->maximum() > 0);

        // One row and a jump to the end: the list scrolls its children
        // differently for small and large steps.
        for (int to : {1, scroll->maximum()}) {
            scroll->setValue(to);
            QVERIFY(open.typeCell(0).top() < 0);
            QVERIFY(open.typeBox()->isHidden());
        }

        scroll->setValue(0);
        QVERIFY(open.typeBox()->isVisible());
        QCOMPARE(open.typeBox()->geometry(), open.typeCell(0));

        scroll->setValue(scroll->maximum());
        open.selectRow(55);
        QVERIFY(open.typeBox()->isVisible());
        QCOMPARE(open.typeBox()->geometry(), open.typeCell(55));
        scroll->setValue(scroll->value() - 1);
        QCOMPARE(open.typeBox()->geometry(), open.typeCell(55));
    }

    void loadTypeList_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("cells");
        QTest::newRow("fewer lines than rows")
            << QByteArray("bigint\r\ntinyint\r\n") << QStringList{u"bigint"_qs, u"tinyint"_qs, u"date"_qs};
        QTest::newRow("more lines than rows") << bom("a\nb\nc\nd\ne\n") << QStringList{u"a"_qs, u"b"_qs, u"c"_qs};
        QTest::newRow("empty file") << QByteArray() << kThreeTypes;
    }

    void loadTypeList()
    {
        QFETCH(QByteArray, content);
        QFETCH(QStringList, cells);
        QTemporaryDir folder;
        const QString fileName = folder.filePath(u"types.txt"_qs);
        QFile file(fileName);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
        file.close();

        LoadedWorkspace loaded(kThreeColumns);
        loaded.setTypes(kThreeTypes);
        test::FakeDialogs dialogs;
        OpenWindow open(loaded, dialogs);
        open.selectRow(1);
        dialogs.openFileAnswers.push_back(fileName);
        open.click(u"ButtonOpen"_qs);

        QCOMPARE(dialogs.fileDialogs.size(), size_t{1});
        QCOMPARE(dialogs.fileDialogs[0].filter, u"Text File (*.txt)|*.txt|All files (*)|*"_qs);
        QCOMPARE(dialogs.fileDialogs[0].defaultSuffix, QString());
        QVERIFY(dialogs.messages.empty());
        QCOMPARE(open.typeCells(), cells);
        QCOMPARE(open.typeBox()->currentText(), cells.at(1));
        QCOMPARE(loaded.types(), kThreeTypes);
    }

    void loadCancelledChangesNothing()
    {
        LoadedWorkspace loaded(kThreeColumns);
        loaded.setTypes(kThreeTypes);
        test::FakeDialogs dialogs;
        OpenWindow open(loaded, dialogs);
        dialogs.openFileAnswers.push_back(QString());
        open.click(u"ButtonOpen"_qs);
        QVERIFY(dialogs.messages.empty());
        QCOMPARE(open.typeCells(), kThreeTypes);
        QCOMPARE(open.typeBox()->currentText(), u"int"_qs);
    }

    void loadFailureIsReported_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("invalid UTF-8 after its byte-order mark") << bom("int\r\n\xC3\x28\r\n");
        QTest::newRow("missing file") << QByteArray();
    }

    void loadFailureIsReported()
    {
        QFETCH(QByteArray, content);
        QTemporaryDir folder;
        const QString fileName = folder.filePath(u"types.txt"_qs);
        if (!content.isEmpty()) {
            QFile file(fileName);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
        }

        LoadedWorkspace loaded(kThreeColumns);
        loaded.setTypes(kThreeTypes);
        test::FakeDialogs dialogs;
        OpenWindow open(loaded, dialogs);
        open.pickType(u"bit"_qs);
        dialogs.openFileAnswers.push_back(fileName);
        open.click(u"ButtonOpen"_qs);

        QCOMPARE(dialogs.messages.size(), size_t{1});
        QCOMPARE(dialogs.messages[0].icon, MessageIcon::Error);
        QCOMPARE(dialogs.messages[0].caption, u"Quarrow"_qs);
        QVERIFY2(dialogs.messages[0].text.contains(fileName), qPrintable(dialogs.messages[0].text));
        QCOMPARE(open.typeCells(), (QStringList{u"bit"_qs, u"text"_qs, u"date"_qs}));
        QCOMPARE(open.typeBox()->currentText(), u"bit"_qs);
        QVERIFY(open.window->isVisible());
    }

    void saveWritesShownTypes()
    {
        QTemporaryDir folder;
        LoadedWorkspace loaded(kThreeColumns);
        loaded.setTypes(kThreeTypes);
        test::FakeDialogs dialogs;
        OpenWindow open(loaded, dialogs);

        const QString untouched = folder.filePath(u"untouched.txt"_qs);
        dialogs.saveFileAnswers.push_back(untouched);
        open.click(u"ButtonSave"_qs);
        QCOMPARE(readAll(untouched), bom("int\r\ntext\r\ndate\r\n"));
        QCOMPARE(dialogs.fileDialogs.back().filter, u"Text File (*.txt)|*.txt|Any File (*.*)|*.*"_qs);
        QCOMPARE(dialogs.fileDialogs.back().defaultSuffix, u"txt"_qs);

        // Edits not yet confirmed with OK are saved too.
        open.selectRow(1);
        open.typeByHand(u"varchar(40)"_qs);
        const QString edited = folder.filePath(u"edited.txt"_qs);
        dialogs.saveFileAnswers.push_back(edited);
        open.click(u"ButtonSave"_qs);
        QCOMPARE(readAll(edited), bom("int\r\nvarchar(40)\r\ndate\r\n"));
        QVERIFY(dialogs.messages.empty());
        QCOMPARE(loaded.types(), kThreeTypes);
    }

    void saveFailureIsReported()
    {
        QTemporaryDir folder;
        LoadedWorkspace loaded(kThreeColumns);
        test::FakeDialogs dialogs;
        OpenWindow open(loaded, dialogs);
        const QString fileName = folder.filePath(u"missing/types.txt"_qs);
        dialogs.saveFileAnswers.push_back(fileName);
        open.click(u"ButtonSave"_qs);

        QCOMPARE(dialogs.messages.size(), size_t{1});
        QCOMPARE(dialogs.messages[0].icon, MessageIcon::Error);
        QVERIFY2(dialogs.messages[0].text.contains(fileName), qPrintable(dialogs.messages[0].text));
        QVERIFY(!QFile::exists(fileName));
        QVERIFY(open.window->isVisible());
        QCOMPARE(open.typeCells(), (QStringList{u"text"_qs, u"text"_qs, u"text"_qs}));
    }

    void twoWindowsLastOkWins()
    {
        LoadedWorkspace loaded(kThreeColumns);
        loaded.setTypes(kThreeTypes);
        test::FakeDialogs dialogs;
        OpenWindow first(loaded, dialogs);
        OpenWindow second(loaded, dialogs);
        first.pickType(u"bigint"_qs);
        second.pickType(u"json"_qs);
        second.selectRow(1);
        second.pickType(u"bit"_qs);

        second.click(u"ButtonOK"_qs);
        QCOMPARE(loaded.types(), (QStringList{u"json"_qs, u"bit"_qs, u"date"_qs}));
        // The first window still holds its own snapshot, row 1 included.
        first.click(u"ButtonOK"_qs);
        QCOMPARE(loaded.types(), (QStringList{u"bigint"_qs, u"text"_qs, u"date"_qs}));
        QTRY_VERIFY(first.window.isNull() && second.window.isNull());
    }

    // The workspace can be cleared and reloaded while the window is open;
    // OK writes the rows by position into the list that exists then.
    void okWritesSnapshotIntoCurrentWorkspace_data()
    {
        QTest::addColumn<QByteArray>("reloaded");
        QTest::addColumn<QStringList>("types");
        QTest::newRow("fewer columns") << QByteArray("a,b\n") << QStringList{u"bigint"_qs, u"text"_qs};
        QTest::newRow("more columns") << QByteArray("a,b,c,d\n")
                                      << QStringList{u"bigint"_qs, u"text"_qs, u"json"_qs, u"text"_qs};
        QTest::newRow("cleared only") << QByteArray() << QStringList{};
    }

    void okWritesSnapshotIntoCurrentWorkspace()
    {
        QFETCH(QByteArray, reloaded);
        QFETCH(QStringList, types);
        LoadedWorkspace loaded(kThreeColumns);
        test::FakeDialogs dialogs;
        OpenWindow open(loaded, dialogs);
        open.pickType(u"bigint"_qs);
        open.selectRow(2);
        open.pickType(u"json"_qs);

        loaded.workspace.clear();
        if (!reloaded.isEmpty())
            loaded.load(reloaded);
        QCOMPARE(open.cells(0), (QStringList{u"id"_qs, u"name"_qs, u"born"_qs}));

        open.click(u"ButtonOK"_qs);
        QTRY_VERIFY(open.window.isNull());
        QCOMPARE(loaded.types(), types);
    }

    // After an empty file there are no columns: no row for the type box.
    void emptyColumnList()
    {
        LoadedWorkspace loaded("");
        QVERIFY(loaded.workspace.columnNames().empty());
        test::FakeDialogs dialogs;
        OpenWindow open(loaded, dialogs);
        QCOMPARE(open.list()->topLevelItemCount(), 0);
        QVERIFY(open.typeBox()->isHidden());
        open.typeBox()->setEditText(u"int"_qs);

        QTemporaryDir folder;
        const QString fileName = folder.filePath(u"types.txt"_qs);
        dialogs.saveFileAnswers.push_back(fileName);
        open.click(u"ButtonSave"_qs);
        QCOMPARE(readAll(fileName), bom(""));

        open.click(u"ButtonOK"_qs);
        QTRY_VERIFY(open.window.isNull());
        QVERIFY(loaded.workspace.columnTypes().empty());
    }

    // Suggest fills every cell and tells why in tooltips; nothing reaches
    // the workspace before OK, and Cancel drops the suggestions.
    void suggestFillsEveryCellUntilOkOrCancel()
    {
        LoadedWorkspace loaded(kThreeColumns);
        test::FakeDialogs dialogs;
        {
            OpenWindow open(loaded, dialogs);
            QVERIFY(open.control<QPushButton>(u"ButtonSuggest"_qs)->isHidden());
        }
        for (const bool ok : {false, true}) {
            OpenWindow open(loaded, dialogs);
            int calls = 0;
            open.window->setSuggester([&] {
                ++calls;
                return std::vector<TFormColumnTypes::Suggestion>{
                    {u"smallint"_qs, u"1 value"_qs}, {u"varchar(3)"_qs, u"why name"_qs}, {u"date"_qs, QString()}};
            });
            QVERIFY(open.control<QPushButton>(u"ButtonSuggest"_qs)->isVisible());
            open.selectRow(1);
            open.click(u"ButtonSuggest"_qs);
            QCOMPARE(calls, 1);
            QCOMPARE(open.typeCells(), (QStringList{u"smallint"_qs, u"varchar(3)"_qs, u"date"_qs}));
            QCOMPARE(open.typeBox()->currentText(), u"varchar(3)"_qs);
            QCOMPARE(open.typeBox()->toolTip(), u"why name"_qs);
            QCOMPARE(open.list()->topLevelItem(0)->toolTip(0), u"1 value"_qs);
            QCOMPARE(loaded.types(), (QStringList{u"text"_qs, u"text"_qs, u"text"_qs}));
            open.click(ok ? u"ButtonOK"_qs : u"ButtonCancel"_qs);
            QTRY_VERIFY(open.window.isNull());
        }
        QCOMPARE(loaded.types(), (QStringList{u"smallint"_qs, u"varchar(3)"_qs, u"date"_qs}));
    }
};

QTEST_MAIN(TFormColumnTypesTest)
#include "TFormColumnTypesTest.moc"
