// The NULL markers box holds every marker a profile or the converter can
// name: what the window shows splits back into the same markers, so a
// profile opened and saved again, or exported from, keeps them.

#include "ui/NullMarkersEdit.h"

#include <QTest>

using namespace quarrow;

using Markers = std::vector<std::u16string>;
Q_DECLARE_METATYPE(Markers)

class NullMarkersBoxTest : public QObject {
    Q_OBJECT

private slots:
    void typedTextSplitsIntoMarkers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<Markers>("markers");
        QTest::newRow("blanks") << QStringLiteral("  NA \t \\N  - ") << Markers{u"NA", u"\\N", u"-"};
        QTest::newRow("quoted with a blank") << QStringLiteral("\"not known\" NA") << Markers{u"not known", u"NA"};
        QTest::newRow("doubled quote inside") << QStringLiteral("\"say \"\"no\"\"\"") << Markers{u"say \"no\""};
        QTest::newRow("quote inside a word") << QStringLiteral("a\"b n/a") << Markers{u"a\"b", u"n/a"};
        QTest::newRow("no closing quote") << QStringLiteral("\"open NA") << Markers{u"\"open", u"NA"};
        QTest::newRow("closing quote inside a word") << QStringLiteral("\"a\"b c") << Markers{u"\"a\"b", u"c"};
        QTest::newRow("lone quote") << QStringLiteral("\"") << Markers{u"\""};
        QTest::newRow("empty") << QString() << Markers{};
    }
    void typedTextSplitsIntoMarkers()
    {
        QFETCH(QString, text);
        QFETCH(Markers, markers);
        QCOMPARE(NullMarkersEdit::splitMarkers(text), markers);
    }

    void shownMarkersSplitBackWhole_data()
    {
        QTest::addColumn<Markers>("markers");
        QTest::newRow("plain") << Markers{u"NA", u"\\N", u"-"};
        QTest::newRow("blanks inside") << Markers{u"not known", u" padded ", u"tab\there"};
        QTest::newRow("quotes") << Markers{u"\"", u"\"x", u"x\"", u"say \"no\""};
        QTest::newRow("no-break space") << Markers{u"n\u00a0a"};
        QTest::newRow("empty marker") << Markers{u"", u"NA"};
    }
    void shownMarkersSplitBackWhole()
    {
        QFETCH(Markers, markers);
        QCOMPARE(NullMarkersEdit::splitMarkers(NullMarkersEdit::joinMarkers(markers)), markers);
    }
};

QTEST_GUILESS_MAIN(NullMarkersBoxTest)
#include "NullMarkersBoxTest.moc"
