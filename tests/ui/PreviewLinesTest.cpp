// The preview's row numbers are the lines of their file that the structure
// warnings name: read exactly, the line where a record begins, after
// records that span lines.

#include "ui/PreviewModel.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace quarrow;

class PreviewLinesTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    std::filesystem::path write(const char* name, const QByteArray& bytes)
    {
        const QString path = m_dir.filePath(QString::fromUtf8(name));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            return {};
        return path.toStdU16String();
    }

    static QList<int> rowLines(const PreviewModel& model)
    {
        QList<int> lines;
        for (int row = 0; row < model.rowCount(); ++row)
            lines << model.headerData(row, Qt::Vertical, Qt::DisplayRole).toString().toInt();
        return lines;
    }

private slots:
    void rowsNameTheLineWhereTheirRecordBegins_data()
    {
        QTest::addColumn<bool>("exactQuoting");
        QTest::addColumn<QList<int>>("lines");
        QTest::addColumn<QString>("lastTip");
        // The header spans two lines; then records spanning CR LF, LF and
        // CR (two in one), and in the second file one before the last row.
        QTest::newRow("exact") << true << QList<int>{3, 5, 8, 9, 1, 3} << QStringLiteral("Line 3 of b.csv");
        QTest::newRow("default reading") << false << QList<int>{2, 3, 4, 5, 1, 2} << QStringLiteral("Line 2 of b.csv");
    }

    void rowsNameTheLineWhereTheirRecordBegins()
    {
        QFETCH(bool, exactQuoting);
        QFETCH(QList<int>, lines);
        QFETCH(QString, lastTip);
        QVERIFY(m_dir.isValid());
        // Without exact quoting every physical line is a row: the files
        // hold no quoted line break then.
        const auto a =
            write("a.csv", exactQuoting ? "id,\"no\r\nte\"\r\n1,\"x\r\ny\"\r\n2,\"p\nq\rr\"\r\n3,s\r\n4,t\r\n"
                                        : "id,note\r\n1,x\r\n2,p\r\n3,s\r\n4,t\r\n");
        const auto b = write("b.csv", exactQuoting ? "5,\"u\r\nv\"\r\n6,w\r\n" : "5,u\r\n6,w\r\n");
        QVERIFY(!a.empty() && !b.empty());

        Workspace workspace;
        LoadOptions options;
        options.headerLine = true;
        options.exactQuoting = exactQuoting;
        workspace.load(a, options);
        workspace.load(b, options);
        PreviewModel model(workspace);
        PreviewModel::Settings settings;
        settings.headerLine = true;
        settings.exactQuoting = exactQuoting;
        model.reset(settings);
        QCOMPARE(rowLines(model), lines);
        QCOMPARE(model.headerData(model.rowCount() - 1, Qt::Vertical, Qt::ToolTipRole).toString(), lastTip);
    }

    // Lines left out (above the table, comments) still count: a row is
    // named by its file's line, in every file of the table.
    void skippedAndCommentLinesKeepTheFilesLines_data()
    {
        QTest::addColumn<bool>("exactQuoting");
        QTest::addColumn<QList<int>>("lines");
        QTest::newRow("exact, a quoted line that begins with #") << true << QList<int>{5, 7, 10, 3, 5};
        QTest::newRow("default reading") << false << QList<int>{5, 6, 9, 3, 5};
    }

    void skippedAndCommentLinesKeepTheFilesLines()
    {
        QFETCH(bool, exactQuoting);
        QFETCH(QList<int>, lines);
        QVERIFY(m_dir.isValid());
        const auto a = write("skipped-a.csv",
                             exactQuoting ? "Title\r\n\r\nid,note\r\n# c\r\n1,\"x\r\n#y\"\r\n2,p\r\n#d\r\n#e\r\n3,s\r\n"
                                          : "Title\r\n\r\nid,note\r\n# c\r\n1,x\r\n2,p\r\n#d\r\n#e\r\n3,s\r\n");
        const auto b = write("skipped-b.csv", "T\r\n\r\n5,u\r\n#z\r\n6,w\r\n");
        QVERIFY(!a.empty() && !b.empty());
        Workspace workspace;
        LoadOptions options;
        options.headerLine = true;
        options.exactQuoting = exactQuoting;
        options.skipLines = 2;
        options.comment = u'#';
        workspace.load(a, options);
        workspace.load(b, options);
        PreviewModel model(workspace);
        PreviewModel::Settings settings;
        settings.headerLine = true;
        settings.exactQuoting = exactQuoting;
        model.reset(settings);
        QCOMPARE(rowLines(model), lines);
    }

    // The preview shows NULL where the script writes it: the cells that are
    // NULL markers, except a quoted value read exactly.
    void nullMarkersShowAsNull_data()
    {
        QTest::addColumn<bool>("exactQuoting");
        QTest::addColumn<QStringList>("cells");
        QTest::newRow("default reading") << false << QStringList{u"NULL"_qs, u"NULL"_qs, u"na"_qs, u"NULL"_qs};
        QTest::newRow("exact") << true << QStringList{u"NULL"_qs, u"NA"_qs, u"na"_qs, u" NA"_qs};
    }

    void nullMarkersShowAsNull()
    {
        QFETCH(bool, exactQuoting);
        QFETCH(QStringList, cells);
        const auto file = write("markers.csv", "a,b,c,d\r\nNA,\"NA\",na, NA\r\n");
        Workspace workspace;
        LoadOptions options;
        options.headerLine = true;
        options.exactQuoting = exactQuoting;
        workspace.load(file, options);
        PreviewModel model(workspace);
        PreviewModel::Settings settings;
        settings.headerLine = true;
        settings.exactQuoting = exactQuoting;
        settings.nullMarkers = {u"NA"};
        model.reset(settings);
        QStringList shown;
        for (int column = 0; column < 4; ++column)
            shown << model.data(model.index(0, column), Qt::DisplayRole).toString();
        QCOMPARE(shown, cells);
    }
};

QTEST_MAIN(PreviewLinesTest)
#include "PreviewLinesTest.moc"
