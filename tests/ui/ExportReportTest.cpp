// The box that reports a finished export, built apart from the window: the
// order of its paragraphs, how each database's rule for names is put, and
// where long names are cut for the box (never inside a pair beyond U+FFFF).
// The window's own export tests (TAppFormTest) check the same box after a
// real export.

#include "ui/ExportFlow.h"

#include <QLocale>
#include <QTest>

using namespace quarrow;

Q_DECLARE_METATYPE(quarrow::Dialect)
Q_DECLARE_METATYPE(std::vector<quarrow::ColumnRename>)
Q_DECLARE_METATYPE(std::vector<quarrow::RenamedColumn>)

namespace {

const QString kSaved = u"Operation completed.\n\nFile saved: /data/out.sql"_qs;
// U+1F600, two UTF-16 units.
const std::u16string kPair = u"\U0001F600";

} // namespace

class ExportReportTest : public QObject {
    Q_OBJECT

private slots:
    void reportsWhatWasWrittenOtherwise_data()
    {
        QTest::addColumn<Dialect>("dialect");
        QTest::addColumn<std::vector<ColumnRename>>("renames");
        QTest::addColumn<std::uint64_t>("substituted");
        QTest::addColumn<std::vector<RenamedColumn>>("renamed");
        QTest::addColumn<QString>("structure");
        QTest::addColumn<QString>("expected");

        QTest::newRow("the file alone") << Dialect::MySql << std::vector<ColumnRename>{} << std::uint64_t{0}
                                        << std::vector<RenamedColumn>{} << QString() << kSaved;
        QTest::newRow("every paragraph, in order")
            << Dialect::MySql << std::vector<ColumnRename>{{2, u"ID", u"ID_2"}} << std::uint64_t{1}
            << std::vector<RenamedColumn>{{0, u"abc", u"ab"}} << u"Row 3 of a.csv has 4 fields, not 3.\n"_qs
            << QString(kSaved
                       + u"\n\n1 column name repeated an earlier name and was changed: \"ID\" is now \"ID_2\"."
                         u"\n\n1 character could not be written in ANSI and was replaced."
                         u"\n\n1 column name was shortened to the 64 characters that MySQL / MariaDB takes: "
                         u"\"abc\" is now \"ab\"."
                         u"\n\nRow 3 of a.csv has 4 fields, not 3.");
        QTest::newRow("counts above one")
            << Dialect::PostgreSql << std::vector<ColumnRename>{{1, u"a", u"a_2"}, {2, u"a", u"a_3"}}
            << std::uint64_t{12} << std::vector<RenamedColumn>{{0, u"x", u"y"}, {1, u"z", u"w"}} << QString()
            << QString(kSaved
                       + u"\n\n2 column names repeated an earlier name and were changed: \"a\" is now \"a_2\", "
                         u"\"a\" is now \"a_3\"."
                         u"\n\n12 characters could not be written in ANSI and were replaced."
                         u"\n\n2 column names were shortened to the 63 bytes that PostgreSQL takes: "
                         u"\"x\" is now \"y\", \"z\" is now \"w\".");
        QTest::newRow("characters Oracle refuses")
            << Dialect::Oracle << std::vector<ColumnRename>{} << std::uint64_t{0}
            << std::vector<RenamedColumn>{{0, u"a\"b", u"a_b"}} << QString()
            << QString(kSaved
                       + u"\n\n1 column name was changed to names that Oracle takes (a double quote or NUL becomes _, "
                         u"at most 128 bytes): \"a\"b\" is now \"a_b\".");
        QTest::newRow("a database without a length limit")
            << Dialect::Sqlite << std::vector<ColumnRename>{} << std::uint64_t{0}
            << std::vector<RenamedColumn>{{0, std::u16string(u"a\0b", 3), u"a_b"}, {1, u"a_b", u"a_b_2"}} << QString()
            << QString(kSaved + u"\n\n2 column names were changed to names that SQLite takes (a NUL becomes _): \"a"_qs
                       + QChar(u'\0') + u"b\" is now \"a_b\", \"a_b\" is now \"a_b_2\".");
        QTest::newRow("kept apart where there is no limit")
            << Dialect::Sqlite << std::vector<ColumnRename>{} << std::uint64_t{0}
            << std::vector<RenamedColumn>{{1, u"id", u"id_2"}} << QString()
            << QString(kSaved + u"\n\n1 column name was changed to keep them apart: \"id\" is now \"id_2\".");

        // A shortened name shows its first 24 and last 20 units; a pair
        // astride either cut stays out whole.
        const std::u16string shortened =
            std::u16string(23, u'a') + kPair + std::u16string(10, u'b') + kPair + std::u16string(19, u'c');
        QTest::newRow("shortened name cut beside a pair")
            << Dialect::PostgreSql << std::vector<ColumnRename>{} << std::uint64_t{0}
            << std::vector<RenamedColumn>{{0, shortened, u"x"}} << QString()
            << QString(kSaved + u"\n\n1 column name was shortened to the 63 bytes that PostgreSQL takes: \""
                       + QString(23, u'a') + u'\u2026' + QString(19, u'c') + u"\" is now \"x\".");
        // A repeated name shows its first 40 units.
        const std::u16string repeated = std::u16string(39, u'n') + kPair + u"n";
        QTest::newRow("repeated name cut before a pair")
            << Dialect::MySql << std::vector<ColumnRename>{{1, repeated, repeated + u"_2"}} << std::uint64_t{0}
            << std::vector<RenamedColumn>{} << QString()
            << QString(kSaved + u"\n\n1 column name repeated an earlier name and was changed: \"" + QString(39, u'n')
                       + u"\u2026\" is now \"" + QString(39, u'n') + u"\u2026\".");
    }

    void reportsWhatWasWrittenOtherwise()
    {
        QFETCH(Dialect, dialect);
        QFETCH(std::vector<ColumnRename>, renames);
        QFETCH(std::uint64_t, substituted);
        QFETCH(std::vector<RenamedColumn>, renamed);
        QFETCH(QString, structure);
        QFETCH(QString, expected);
        ExportRun run;
        run.result.substituted = substituted;
        run.result.renamed = renamed;
        run.structure = structure;
        ScriptOptions options;
        options.dialect = dialect;
        QCOMPARE(exportReportText(u"/data/out.sql"_qs, renames, run, options), expected);
    }

    // A script that commits every row loads for minutes once it is long: the
    // box names the options that load it fast, once, after everything else,
    // and only when none of them is on.
    void namesTheFastFormsForALongScriptThatCommitsEveryRow_data()
    {
        QTest::addColumn<Dialect>("dialect");
        QTest::addColumn<bool>("multiRow");
        QTest::addColumn<bool>("transaction");
        QTest::addColumn<bool>("copy");
        QTest::addColumn<std::uint64_t>("rows");
        QTest::addColumn<QString>("fast"); // the options named; empty: no paragraph

        const QString insertForms = u"File > \"One transaction\" with \"Multiple rows statement\" loads it fast."_qs;
        const QString copyForm = u"File > \"PostgreSQL COPY\" loads it fastest, and File > \"One transaction\" with "
                                 u"\"Multiple rows statement\" fast."_qs;
        // clang-format off
        QTest::newRow("SQLite, one row past the limit") << Dialect::Sqlite << false << false << false << std::uint64_t{10001} << insertForms;
        QTest::newRow("SQLite, at the limit")           << Dialect::Sqlite << false << false << false << std::uint64_t{10000} << QString();
        QTest::newRow("MySQL, many rows")               << Dialect::MySql << false << false << false << std::uint64_t{592823} << insertForms;
        QTest::newRow("SQL Server")                     << Dialect::MsSql << false << false << false << std::uint64_t{20000} << insertForms;
        QTest::newRow("Db2")                            << Dialect::IbmDb2 << false << false << false << std::uint64_t{20000} << insertForms;
        QTest::newRow("PostgreSQL names COPY")          << Dialect::PostgreSql << false << false << false << std::uint64_t{20000} << copyForm;
        QTest::newRow("multi-row statements")           << Dialect::Sqlite << true << false << false << std::uint64_t{20000} << QString();
        QTest::newRow("one transaction")                << Dialect::MySql << false << true << false << std::uint64_t{20000} << QString();
        QTest::newRow("PostgreSQL COPY")                << Dialect::PostgreSql << false << false << true << std::uint64_t{20000} << QString();
        QTest::newRow("Access has no faster form")      << Dialect::Access << false << false << false << std::uint64_t{20000} << QString();
        QTest::newRow("SQL*Plus commits once")          << Dialect::Oracle << false << false << false << std::uint64_t{20000} << QString();
        // clang-format on
    }

    void namesTheFastFormsForALongScriptThatCommitsEveryRow()
    {
        QFETCH(Dialect, dialect);
        QFETCH(bool, multiRow);
        QFETCH(bool, transaction);
        QFETCH(bool, copy);
        QFETCH(std::uint64_t, rows);
        QFETCH(QString, fast);
        ScriptOptions options;
        options.dialect = dialect;
        options.multiRow = multiRow;
        options.transaction = transaction;
        options.copy = copy;
        ExportRun run;
        run.result.rowsExported = rows;
        run.structure = u"Row 3 of a.csv has 4 fields, not 3.\n"_qs;
        const QString text = exportReportText(u"/data/out.sql"_qs, {}, run, options);
        const QString fits = kSaved + u"\n\nRow 3 of a.csv has 4 fields, not 3."_qs;
        if (fast.isEmpty()) {
            QCOMPARE(text, fits);
        } else {
            QCOMPARE(text, fits + u"\n\nThe script has one INSERT statement a row and no transaction: loading its "_qs
                               + QLocale().toString(static_cast<qulonglong>(rows))
                               + u" rows commits each one, which can take minutes. "_qs + fast);
        }
    }
};

QTEST_MAIN(ExportReportTest)
#include "ExportReportTest.moc"
