#include "ui/VersionInfo.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <elf.h>

#include <cerrno>
#include <cstring>
#include <random>
#include <system_error>

using namespace quarrow;

namespace {

const QString kFixture = QString::fromUtf8(VERSION_FIXTURE);
const QString kTranslationsFixture = QString::fromUtf8(VERSION_FIXTURE_TRANSLATIONS);
const QString kFixtureWithoutBlock = QString::fromUtf8(VERSION_FIXTURE_WITHOUT_BLOCK);
const QString kVariantsDir = QString::fromUtf8(VERSION_FIXTURE_VARIANTS);

QByteArray contents(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(path));
    return file.readAll();
}

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

Elf64_Ehdr elfHeader(const QByteArray& file)
{
    Elf64_Ehdr header{};
    if (file.size() < qsizetype{sizeof header})
        qFatal("the fixture is no ELF file");
    std::memcpy(&header, file.constData(), sizeof header);
    if (header.e_ident[EI_CLASS] != ELFCLASS64)
        qFatal("the fixture is no 64-bit ELF file");
    return header;
}

// Where the fixture's block starts in its file, found with the system's ELF
// structures. (The debugging information holds a second copy of the block.)
qsizetype blockStart(const QByteArray& file)
{
    const Elf64_Ehdr header = elfHeader(file);
    const auto section = [&](std::size_t index) {
        Elf64_Shdr entry{};
        std::memcpy(&entry, file.constData() + header.e_shoff + index * header.e_shentsize, sizeof entry);
        return entry;
    };
    const Elf64_Shdr names = section(header.e_shstrndx);
    for (std::size_t i = 0; i < header.e_shnum; ++i) {
        const Elf64_Shdr entry = section(i);
        if (std::strcmp(file.constData() + names.sh_offset + entry.sh_name, ".quarrow_version") == 0)
            return static_cast<qsizetype>(entry.sh_offset);
    }
    qFatal("the fixture has no version block");
}

// Offsets inside a block with one translation (see cmake/VersionBlock.cmake).
constexpr qsizetype kSizeField = 4;
constexpr qsizetype kTranslationCount = 16;
constexpr qsizetype kFirstTranslation = 20;
constexpr qsizetype kFirstTableStringCount = 20 + 4 + 16;

} // namespace

class VersionInfoTest : public QObject {
    Q_OBJECT

private slots:
    void readsTheFirstTable()
    {
        const TEXEVersionData data = ReadVersionData(kFixture);
        QCOMPARE(data.CompanyName, u"Fixture Works"_qs);
        QCOMPARE(data.FileDescription, u"Version block fixture"_qs);
        QCOMPARE(data.FileVersion, u"10.12.3.4 (fixture)"_qs);
        QCOMPARE(data.InternalName, u"fixture"_qs);
        QCOMPARE(data.LegalCopyright, u"© Fixture Works"_qs);
        QCOMPARE(data.LegalTrademarks, u"Fixture™"_qs);
        QCOMPARE(data.OriginalFileName, u"version_fixture"_qs);
        QCOMPARE(data.ProductName, u"Fixture"_qs);
        QCOMPARE(data.ProductVersion, u"10.12"_qs);
        QCOMPARE(data.PrivateBuild, u"Built by hand"_qs);
        QCOMPARE(data.SpecialBuild, u"Special \"quoted\" build"_qs);
        QVERIFY(data.Comments.isEmpty()); // not in the table
    }

    void usesOnlyTheFirstTranslation()
    {
        const TEXEVersionData data = ReadVersionData(kTranslationsFixture);
        QCOMPARE(data.CompanyName, u"Erste Werke"_qs);
        QCOMPARE(data.FileDescription, u"Beschreibung"_qs);
        QCOMPARE(data.FileVersion, u"3.4.5.6"_qs);
        // Only the second translation's table has Comments: no falling back to it.
        QVERIFY(data.Comments.isEmpty());
    }

    // The first translation names its table by key; where that table sits
    // among the tables does not matter, and a missing one leaves every field empty.
    void firstTranslationChoosesTheTableByKey()
    {
        QTemporaryDir dir;
        const QByteArray file = contents(kTranslationsFixture);
        const qsizetype translations = blockStart(file) + kFirstTranslation;

        QByteArray swapped = file;
        swapped.replace(translations, 8, QByteArray(file.mid(translations + 4, 4) + file.mid(translations, 4)));
        const TEXEVersionData second = ReadVersionData(writeFile(dir, u"swapped"_qs, swapped));
        QCOMPARE(second.CompanyName, u"Second Works"_qs);
        QCOMPARE(second.Comments, u"Second table only"_qs);
        QVERIFY(second.ProductName.isEmpty());

        // The first table is keyed "040704B0"; make it "140704B0".
        QByteArray orphaned = file;
        const qsizetype firstKey = translations + 2 * 4;
        QCOMPARE(orphaned[firstKey], '0');
        orphaned[firstKey] = '1';
        const TEXEVersionData none = ReadVersionData(writeFile(dir, u"orphaned"_qs, orphaned));
        QVERIFY(none.CompanyName.isEmpty());
        QVERIFY(none.FileDescription.isEmpty());
        QVERIFY(none.Comments.isEmpty());
    }

    void fileVersionText_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("text");
        QTest::newRow("fixture 10.12.3.4") << kFixture << u"10.12"_qs;
        QTest::newRow("two translations") << kTranslationsFixture << u"3.4"_qs;
        QTest::newRow("no block") << kFixtureWithoutBlock << u"65535.65535"_qs;
        QTest::newRow("missing file") << kFixture + u".missing"_qs << u"65535.65535"_qs;
    }

    void fileVersionText()
    {
        QFETCH(QString, path);
        QFETCH(QString, text);
        QCOMPARE(FileVersionText(path), text);
    }

    void programCarriesItsOwnBlock_data()
    {
        QTest::addColumn<QString>("program");
        QTest::newRow("the program") << QStringLiteral(QUARROW_PROGRAM);
        // This test program is given the same block, through the same function.
        QTest::newRow("this test") << QCoreApplication::applicationFilePath();
    }

    void programCarriesItsOwnBlock()
    {
        QFETCH(QString, program);
        const QString self = program;
        const TEXEVersionData data = ReadVersionData(self);
        QCOMPARE(data.CompanyName, u"TARNIX"_qs);
        QCOMPARE(data.ProductName, u"Quarrow"_qs);
        QCOMPARE(data.FileVersion, u"2.1.0.0"_qs);
        QCOMPARE(data.OriginalFileName, u"quarrow"_qs);
        QVERIFY(!data.FileDescription.isEmpty());
        QVERIFY(!data.LegalCopyright.isEmpty());
        QCOMPARE(FileVersionText(self), u"2.1"_qs);
    }

    void failures_data()
    {
        QTest::addColumn<QString>("source"); // a fixture, or empty for `replacement` alone
        QTest::addColumn<QByteArray>("replacement");
        QTest::addColumn<qsizetype>("cut");        // keep this many bytes; -1 keeps all
        QTest::addColumn<qsizetype>("blockPatch"); // where in the block `replacement` goes; -1 for nowhere
        QTest::addColumn<int>("error");

        const QByteArray none;
        const QByteArray text("name,amount\r\n1,2\r\n");
        QTest::newRow("no block") << kFixtureWithoutBlock << none << qsizetype{-1} << qsizetype{-1} << ENODATA;
        QTest::newRow("text file") << QString() << text << qsizetype{-1} << qsizetype{-1} << ENOEXEC;
        QTest::newRow("empty file") << QString() << none << qsizetype{-1} << qsizetype{-1} << ENOEXEC;
        QTest::newRow("ELF magic only") << QString() << QByteArray("\177ELF") << qsizetype{-1} << qsizetype{-1}
                                        << ENOEXEC;
        QTest::newRow("cut in the ELF header") << kFixture << none << qsizetype{40} << qsizetype{-1} << ENOEXEC;
        // The section headers come last in the file.
        QTest::newRow("cut before the section headers")
            << kFixture << none << qsizetype{2000} << qsizetype{-1} << ENOEXEC;
        QTest::newRow("block longer than its section")
            << kFixture << QByteArray("\xff\xff\x00\x00", 4) << qsizetype{-1} << kSizeField << ENODATA;
        QTest::newRow("block shorter than its header")
            << kFixture << QByteArray("\x08\x00\x00\x00", 4) << qsizetype{-1} << kSizeField << ENODATA;
        QTest::newRow("wrong magic") << kFixture << QByteArray("QVB2") << qsizetype{-1} << qsizetype{0} << ENODATA;
        QTest::newRow("no translation") << kFixture << QByteArray("\x00\x00", 2) << qsizetype{-1} << kTranslationCount
                                        << ENODATA;
        QTest::newRow("strings past the block's end")
            << kFixture << QByteArray("\xff\xff") << qsizetype{-1} << kFirstTableStringCount << ENODATA;
    }

    void failures()
    {
        QFETCH(QString, source);
        QFETCH(QByteArray, replacement);
        QFETCH(qsizetype, cut);
        QFETCH(qsizetype, blockPatch);
        QFETCH(int, error);

        QTemporaryDir dir;
        QString path = source;
        if (source.isEmpty() || cut >= 0 || blockPatch >= 0) {
            QByteArray bytes = source.isEmpty() ? replacement : contents(source);
            if (blockPatch >= 0)
                bytes.replace(blockStart(bytes) + blockPatch, replacement.size(), replacement);
            if (cut >= 0)
                bytes.truncate(cut);
            path = writeFile(dir, u"bad file"_qs, bytes);
        }

        try {
            ReadVersionData(path);
            QFAIL("read a version block that is not there");
        } catch (const std::system_error& e) {
            QCOMPARE(e.code().value(), error);
            QVERIFY2(QString::fromUtf8(e.what()).contains(path), e.what());
        }
        QCOMPARE(FileVersionText(path), u"65535.65535"_qs);
    }

    void systemErrors_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("error");
        QTest::newRow("missing file") << u"missing"_qs << ENOENT;
        QTest::newRow("folder") << QString() << EISDIR;
        QTest::newRow("below a file") << u"file/below"_qs << ENOTDIR;
    }

    void systemErrors()
    {
        QFETCH(QString, name);
        QFETCH(int, error);
        QTemporaryDir dir;
        writeFile(dir, u"file"_qs, "x");
        const QString path = name.isEmpty() ? dir.path() : dir.filePath(name);
        try {
            ReadVersionData(path);
            QFAIL("read a file that cannot be read");
        } catch (const std::system_error& e) {
            QCOMPARE(e.code(), std::error_code(error, std::generic_category()));
            QVERIFY2(QString::fromUtf8(e.what()).contains(path), e.what());
        }
        QCOMPARE(FileVersionText(path), u"65535.65535"_qs);
    }

    void readsOtherElfLayouts_data()
    {
        QTest::addColumn<QString>("layout");
        QTest::newRow("32-bit little-endian") << u"elf32-little"_qs;
        QTest::newRow("32-bit big-endian") << u"elf32-big"_qs;
        QTest::newRow("64-bit big-endian") << u"elf64-big"_qs;
    }

    void readsOtherElfLayouts()
    {
        QFETCH(QString, layout);
        if (kVariantsDir.isEmpty())
            QSKIP("objcopy was not found when the build was configured");
        const QString path = kVariantsDir + u'/' + layout + u".o";
        const TEXEVersionData data = ReadVersionData(path);
        QCOMPARE(data.CompanyName, u"Fixture Works"_qs);
        QCOMPARE(data.SpecialBuild, u"Special \"quoted\" build"_qs);
        QCOMPARE(FileVersionText(path), u"10.12"_qs);
    }

    // Damaged copies of a real file either read or fail with a system error;
    // under the sanitizers this also catches any read outside what was loaded.
    void damagedFilesFailCleanly()
    {
        QTemporaryDir dir;
        const QByteArray original = contents(kFixture);
        const qsizetype block = blockStart(original);
        const auto headers = static_cast<qsizetype>(elfHeader(original).e_shoff);
        QVERIFY(headers > block && headers < original.size());
        std::mt19937 random(20240611);
        const auto pick = [&random](qsizetype from, qsizetype count) {
            return from + static_cast<qsizetype>(random() % static_cast<unsigned>(count));
        };
        int failures = 0;
        for (int round = 0; round < 1500; ++round) {
            QByteArray bytes = original;
            const int changes = 1 + static_cast<int>(random() % 4);
            for (int c = 0; c < changes; ++c) {
                qsizetype at = 0;
                switch (random() % 3) {
                case 0: at = pick(0, 64); break;
                case 1: at = pick(headers, original.size() - headers); break;
                default: at = pick(block, 400); break;
                }
                bytes[at] = static_cast<char>(random() % 4 == 0 ? 0xFF : random());
            }
            if (random() % 8 == 0)
                bytes.truncate(pick(0, bytes.size()));
            const QString path = writeFile(dir, u"damaged"_qs, bytes);
            try {
                ReadVersionData(path);
            } catch (const std::system_error&) {
                ++failures;
            }
            FileVersionText(path);
        }
        QVERIFY(failures > 0);
    }
};

QTEST_GUILESS_MAIN(VersionInfoTest)
#include "VersionInfoTest.moc"
