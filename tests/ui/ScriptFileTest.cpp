// The file an export writes takes the chosen name only when it is whole,
// and then keeps what the file it replaces had: its mode, the link that led
// to it. Failures and cancels are tested through the window (TAppFormTest,
// LongWorkTest).

#include "tests/support/FileSizeLimit.h"
#include "ui/ScriptFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

using namespace quarrow;

namespace {

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

mode_t modeOf(const QString& path)
{
    struct stat node {};
    return ::stat(QFile::encodeName(path).constData(), &node) == 0 ? node.st_mode & 07777 : 0;
}

void write(ScriptFile& file, const char* text)
{
    file.write(text, std::strlen(text));
}

} // namespace

class ScriptFileTest : public QObject {
    Q_OBJECT

private slots:
    void replacesTheFileKeepingItsModeAndLinks_data()
    {
        QTest::addColumn<bool>("throughLink");
        QTest::addColumn<int>("mode");
        QTest::newRow("owner and group read") << false << 0640;
        QTest::newRow("owner only") << false << 0600;
        QTest::newRow("through a link") << true << 0604;
    }

    void replacesTheFileKeepingItsModeAndLinks()
    {
        QFETCH(bool, throughLink);
        QFETCH(int, mode);
        QTemporaryDir folder;
        const QString target = folder.filePath(u"script.sql"_qs);
        const QString chosen = throughLink ? folder.filePath(u"link.sql"_qs) : target;
        {
            QFile earlier(target);
            QVERIFY(earlier.open(QIODevice::WriteOnly));
            earlier.write("-- the earlier script, longer than the new one\r\n");
        }
        QCOMPARE(::chmod(QFile::encodeName(target).constData(), static_cast<mode_t>(mode)), 0);
        if (throughLink)
            QVERIFY(QFile::link(u"script.sql"_qs, chosen));

        ScriptFile file(chosen);
        write(file, "CREATE TABLE t (\r\n");
        // Nothing shows under the name until the script is whole.
        QCOMPARE(readFile(target), QByteArray("-- the earlier script, longer than the new one\r\n"));
        write(file, ");\r\n");
        file.commit();

        QCOMPARE(readFile(target), QByteArray("CREATE TABLE t (\r\n);\r\n"));
        QCOMPARE(modeOf(target), static_cast<mode_t>(mode));
        if (throughLink)
            QCOMPARE(QFileInfo(chosen).symLinkTarget(), QFileInfo(target).absoluteFilePath());
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden | QDir::System).size(), throughLink ? 2 : 1);
    }

    void aNewFileTakesTheUsualMode()
    {
        QTemporaryDir folder;
        const QString path = folder.filePath(u"new.sql"_qs);
        const mode_t mask = ::umask(022);
        {
            ScriptFile file(path);
            write(file, "x");
            file.commit();
        }
        ::umask(mask);
        QCOMPARE(modeOf(path), mode_t{0644});
    }

    // A write that fails part way says why, names the file, and leaves the
    // earlier file untouched when the unfinished one goes.
    void aFailedWriteNamesTheFileAndTheReason()
    {
        QTemporaryDir folder;
        const QString path = folder.filePath(u"full.sql"_qs);
        {
            QFile earlier(path);
            QVERIFY(earlier.open(QIODevice::WriteOnly));
            earlier.write("kept");
        }
        {
            ScriptFile file(path);
            const std::string block(100, 'x');
            const test::FileSizeLimit limit(60);
            try {
                file.write(block.data(), block.size());
                QFAIL("the write past the limit succeeded");
            } catch (const OutputError& error) {
                QCOMPARE(error.error(), EFBIG);
                QVERIFY2(QString::fromUtf8(error.what()).contains(u"full.sql"_qs), error.what());
            }
        }
        QCOMPARE(readFile(path), QByteArray("kept"));
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden | QDir::System).size(), 1);
    }
};

QTEST_MAIN(ScriptFileTest)
#include "ScriptFileTest.moc"
