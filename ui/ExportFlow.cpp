#include "ui/ExportFlow.h"

#include "ui/BackgroundWork.h"
#include "ui/ScriptFile.h"
#include "ui/WorkScope.h"
#include "engine/sql/LoadSpeed.h"
#include "engine/sql/NameLimits.h"

#include <QFileInfo>
#include <QLocale>

#include <algorithm>
#include <atomic>

namespace quarrow {

namespace {

// The script stays as asked (a caller may run it inside a transaction of its
// own); the box only names the File menu's items that load it fast.
QString slowLoadParagraph(Dialect dialect, std::uint64_t rows)
{
    QString text = u"The script has one INSERT statement a row and no transaction: loading its "
                   + QLocale().toString(static_cast<qulonglong>(rows))
                   + u" rows commits each one, which can take minutes. ";
    if (dialect == Dialect::PostgreSql)
        text += u"File > \"PostgreSQL COPY\" loads it fastest, and File > \"One transaction\" with \"Multiple rows "
                u"statement\" fast.";
    else
        text += u"File > \"One transaction\" with \"Multiple rows statement\" loads it fast.";
    return text;
}

QString substitutionParagraph(std::uint64_t substituted)
{
    if (substituted == 1)
        return QStringLiteral("1 character could not be written in ANSI and was replaced.");
    return QLocale().toString(static_cast<qulonglong>(substituted))
           + u" characters could not be written in ANSI and were replaced.";
}

// A shortened name as the message box quotes it: its start and its end,
// where a cut name and its suffix differ from the name as loaded.
QString elidedName(const std::u16string& name)
{
    constexpr qsizetype kHead = 24;
    constexpr qsizetype kTail = 20;
    const QString text = QString::fromStdU16String(name);
    if (text.size() <= kHead + kTail + 1)
        return u'"' + text + u'"';
    const qsizetype head = text.at(kHead - 1).isHighSurrogate() ? kHead - 1 : kHead;
    qsizetype tail = text.size() - kTail;
    if (text.at(tail).isLowSurrogate())
        ++tail;
    return u'"' + text.left(head) + u'\u2026' + text.mid(tail) + u'"';
}

// The names written otherwise than loaded, to keep within the database's
// length limit: the first few, then how many more.
QString shortenedParagraph(const std::vector<RenamedColumn>& renamed, Dialect dialect)
{
    constexpr std::size_t kShown = 5;
    const NameLimit limit = columnNameLimit(dialect);
    const QString unit = limit.unit == NameUnit::Utf8Bytes ? QStringLiteral("bytes") : QStringLiteral("characters");
    const std::size_t count = renamed.size();
    QString text = count == 1 ? QStringLiteral("1 column name was")
                              : QLocale().toString(static_cast<qulonglong>(count)) + u" column names were";
    const QString database = QString::fromStdU16String(std::u16string(dialectInfo(dialect).itemText));
    const bool refused = std::any_of(renamed.begin(), renamed.end(),
                                     [&](const RenamedColumn& r) { return hasRefusedCharacters(dialect, r.from); });
    if (refused)
        text += u" changed to names that " + database + u" takes ("
                + QString::fromStdString(refusedCharactersText(dialect))
                + (limit.unit == NameUnit::None ? QString() : u", at most " + QString::number(limit.max) + u' ' + unit)
                + u"): ";
    else if (limit.unit == NameUnit::None)
        text += u" changed to keep them apart: ";
    else
        text += u" shortened to the " + QString::number(limit.max) + u' ' + unit + u" that " + database + u" takes: ";
    for (std::size_t i = 0; i < std::min(count, kShown); ++i) {
        if (i > 0)
            text += u", ";
        text += elidedName(renamed[i].from) + u" is now " + elidedName(renamed[i].to);
    }
    if (count > kShown)
        text += u" and " + QLocale().toString(static_cast<qulonglong>(count - kShown)) + u" more";
    return text + u'.';
}

// A name as the message box quotes it: a whole data line loaded as the
// header can give names too long to read in a box.
QString shownName(const std::u16string& name)
{
    constexpr qsizetype kLongest = 40;
    const QString text = QString::fromStdU16String(name);
    if (text.size() <= kLongest)
        return u'"' + text + u'"';
    const qsizetype cut = text.at(kLongest - 1).isHighSurrogate() ? kLongest - 1 : kLongest;
    return u'"' + text.left(cut) + u"\u2026\"";
}

// Names the first few renamed columns; a header of many equal fields would
// otherwise fill the screen.
QString renamesParagraph(const std::vector<ColumnRename>& renames)
{
    constexpr std::size_t kNamed = 5;
    const std::size_t count = renames.size();
    QString text = count == 1 ? QStringLiteral("1 column name repeated an earlier name and was changed: ")
                              : QLocale().toString(static_cast<qulonglong>(count))
                                    + u" column names repeated an earlier name and were changed: ";
    for (std::size_t i = 0; i < std::min(count, kNamed); ++i) {
        if (i > 0)
            text += u", ";
        text += shownName(renames[i].from) + u" is now " + shownName(renames[i].to);
    }
    if (count > kNamed)
        text += u" and " + QLocale().toString(static_cast<qulonglong>(count - kNamed)) + u" more";
    return text + u'.';
}

} // namespace

std::optional<ExportRun> exportOnWorker(QWidget* owner, BackgroundWork*& current, const Workspace& workspace,
                                        LoadedDataProfile& profile, const QString& path, const ScriptOptions& options)
{
    const ProfileReading reading = profileReadingOf(loadOptionsFor(options));
    const QString fileName = QFileInfo(path).fileName();
    const qint64 total =
        static_cast<qint64>(workspace.rowCount()) - (options.headerLine && workspace.rowCount() > 0 ? 1 : 0);
    std::atomic<std::uint64_t> rowsWritten{0};
    BackgroundWork work(owner, QStringLiteral("Exporting"));
    work.setProgress([&] {
        const auto done = static_cast<qint64>(rowsWritten.load(std::memory_order_relaxed));
        return BackgroundWork::Progress{u"Exporting to " + fileName + u"\n" + QLocale().toString(done) + u" of "
                                            + QLocale().toString(total) + u" rows",
                                        done, total};
    });
    BusyCursor busy;
    const CurrentWork busyWith(current, work);
    ExportRun run;
    try {
        work.run([&] {
            run.result = writeScriptFile(
                path, work.cancelFlag(),
                [&](ByteSink& file) {
                    return Donustur(workspace, options, file, ExportControl{&rowsWritten, &work.cancelFlag()});
                },
                [&] { run.structure = QString::fromStdString(profile.structureWarnings(reading)); });
        });
    } catch (const ExportCancelled&) {
        return std::nullopt;
    }
    return run;
}

QString exportReportText(const QString& path, const std::vector<ColumnRename>& renames, const ExportRun& run,
                         const ScriptOptions& options)
{
    QString text = u"Operation completed.\n\nFile saved: " + QFileInfo(path).absoluteFilePath();
    if (!renames.empty())
        text += u"\n\n" + renamesParagraph(renames);
    if (run.result.substituted > 0)
        text += u"\n\n" + substitutionParagraph(run.result.substituted);
    if (!run.result.renamed.empty())
        text += u"\n\n" + shortenedParagraph(run.result.renamed, options.dialect);
    if (!run.structure.isEmpty())
        text += u"\n\n" + run.structure.trimmed();
    if (loadsSlowly(options, run.result.rowsExported))
        text += u"\n\n" + slowLoadParagraph(options.dialect, run.result.rowsExported);
    return text;
}

} // namespace quarrow
