// The main window's settings as a whole: the conversion profiles of the
// File menu, and the shape of the first file loaded (the reload bar and
// Auto-detect). The rest of the window is in TAppForm.cpp.
#include "ui/TAppForm.h"

#include "kit/Dialogs.h"
#include "ui/EngineText.h"
#include "ui/InputFiles.h"
#include "ui/ProfileFlow.h"
#include "ui/ReloadBar.h"
#include "ui/LineSkippingEdit.h"
#include "ui/MenuOption.h"
#include "ui/NullMarkersEdit.h"
#include "ui/TableModeChoice.h"
#include "ui/ValueFormsChoice.h"
#include "engine/csv/ShapeDetector.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace quarrow {

ScriptOptions TAppForm::scriptOptions() const
{
    const LoadOptions reading = readingOptions();
    ScriptOptions options;
    options.dialect = reading.dialect;
    options.separator = reading.separator;
    options.headerLine = reading.headerLine;
    options.encoding = reading.encoding;
    options.tableName = m_tableNameEdit->text().toStdU16String();
    options.nullEmpty = m_nullEmptyBox->isChecked();
    options.multiRow = m_multiRowBox->isChecked();
    options.exactQuoting = reading.exactQuoting;
    options.transaction = m_transactionOption->isOn();
    options.copy = m_copyOption->isOn();
    options.tableMode = m_tableMode->mode();
    options.nullMarkers = m_nullMarkers->markers();
    options.forms = reading.forms;
    options.skipLines = reading.skipLines;
    options.comment = reading.comment;
    return options;
}

void TAppForm::setScriptControls(const ScriptOptions& options, bool reading)
{
    m_databaseBox->setCurrentIndex(dialectInfo(options.dialect).position);
    m_tableNameEdit->setText(QString::fromStdU16String(options.tableName));
    m_nullEmptyBox->setChecked(options.nullEmpty);
    m_multiRowBox->setChecked(options.multiRow);
    m_transactionOption->setChecked(options.transaction);
    m_copyOption->setChecked(options.copy);
    m_tableMode->setMode(options.tableMode);
    m_nullMarkers->setMarkers(options.nullMarkers);
    // The forms shape no load: they apply to the files loaded too.
    m_valueForms->setForms(options.forms);
    if (reading)
        setReadingControls(loadOptionsFor(options));
}

void TAppForm::setReadingControls(const LoadOptions& options)
{
    m_separatorButton->setText(separatorButtonText(options.separator));
    m_headerLineBox->setChecked(options.headerLine);
    (options.encoding == TextEncoding::Utf8 ? m_utf8Button : m_ansiButton)->setChecked(true);
    m_exactQuoting->setChecked(options.exactQuoting);
    m_valueForms->setForms(options.forms);
    m_lineSkipping->set(options.skipLines, options.comment);
}

void TAppForm::afterLoad(const QString& path)
{
    m_loadedFiles << path;
    if (m_workspace.filesLoaded() != 1 || !m_firstFile.isEmpty()) {
        // A later file of the table: a reload takes it as well.
        if (std::optional<ReloadOffer> offer = m_reloadBar->current()) {
            offer->paths = m_loadedFiles;
            m_reloadBar->offer(*offer);
        }
        return;
    }
    m_firstFile = path;
    if (m_profile && m_profileTypesWaiting) {
        m_profileTypesWaiting = false;
        applyColumnTypes(*m_profile);
    }
    // The load stays as the controls said; a file that seems to need other
    // settings gets the offer of a reload, nothing more.
    const LoadOptions reading = readingOptions();
    try {
        const CsvShape shape = detectCsvShapeOfFile(localPath(path), reading.separator);
        if (const std::optional<ReloadOffer> offer =
                withFormsOffer(reloadOffer(shape, m_loadedFiles, reading), shape, m_loadedFiles, reading))
            m_reloadBar->offer(*offer);
    } catch (const ShapeReadError&) {
        // The file got in; that its start cannot be read again offers nothing.
    }
}

void TAppForm::SaveProfile1Click()
{
    if (m_work != nullptr)
        return;
    // A profile of a choice the database has not is one no reader takes.
    if (const QString refusal = m_tableMode->refusal(); !refusal.isEmpty()) {
        m_dialogs.message(this, MessageIcon::Warning, QStringLiteral("Warning"), refusal);
        return;
    }
    const QString path = m_dialogs.saveFile(this, profileSaveTypes());
    if (path.isEmpty())
        return;
    saveWindowProfile(path, scriptOptions(), m_workspace);
}

void TAppForm::OpenProfile1Click()
{
    if (m_work != nullptr)
        return;
    const QString path = m_dialogs.openFile(this, profileOpenTypes());
    if (path.isEmpty())
        return;
    // Read and checked whole before any control changes.
    ConversionProfile profile = openWindowProfile(path);
    const bool loaded = m_workspace.filesLoaded() > 0;
    const LoadOptions reading = readingOptions();
    setScriptControls(profile.script, !loaded);
    m_profile = std::move(profile);
    m_profileTypesWaiting = !loaded;
    if (!loaded)
        return;
    applyColumnTypes(*m_profile);
    const ScriptOptions& wanted = m_profile->script;
    if (wanted.separator != reading.separator || wanted.headerLine != reading.headerLine
        || wanted.encoding != reading.encoding || wanted.exactQuoting != reading.exactQuoting
        || wanted.skipLines != reading.skipLines || wanted.comment != reading.comment)
        m_dialogs.message(this, MessageIcon::Information, QStringLiteral("Profile"),
                          QStringLiteral("The files loaded keep the separator, header line, encoding, exact "
                                         "quoting and lines left out they were read with. To read with the "
                                         "profile's, Clear and open the profile again."));
}

void TAppForm::applyColumnTypes(const ConversionProfile& profile)
{
    const std::optional<ColumnTypesApplied> applied = applyProfileTypes(profile, m_workspace);
    if (!applied)
        return;
    refreshPreview();
    const QString text = columnTypesAppliedText(*applied);
    if (!text.isEmpty())
        m_dialogs.message(this, MessageIcon::Information, QStringLiteral("Profile"), text);
}

void TAppForm::AutoDetect1Click()
{
    if (m_work != nullptr)
        return;
    const LoadOptions reading = readingOptions();
    if (m_workspace.filesLoaded() > 0) {
        // The reading settings are locked while files are loaded: the first
        // file is judged, and a shape of its own is offered as a reload.
        if (m_firstFile.isEmpty())
            return;
        const CsvShape shape = detectCsvShapeOfFile(localPath(m_firstFile), reading.separator);
        if (const std::optional<ReloadOffer> offer =
                withFormsOffer(reloadOffer(shape, m_loadedFiles, reading), shape, m_loadedFiles, reading))
            m_reloadBar->offer(*offer);
        else
            m_dialogs.message(this, MessageIcon::Information, QStringLiteral("Auto-detect"),
                              u"The file loaded first agrees with the settings it was loaded with.\n\n"
                                  + shapeEvidenceText(shape));
        return;
    }
    const QString path = m_dialogs.openFile(this, csvFileTypes());
    if (path.isEmpty())
        return;
    const CsvShape shape = detectCsvShapeOfFile(localPath(path), reading.separator);
    LoadOptions options = reading;
    options.separator = shape.separator.valueOr(reading.separator);
    options.headerLine = shape.headerLine.valueOr(reading.headerLine);
    options.encoding = shape.encoding.valueOr(reading.encoding);
    options.exactQuoting = shape.exactQuoting.valueOr(reading.exactQuoting);
    options.forms = detectedForms(shape, reading.forms);
    options.skipLines = shape.linesAbove.value.value_or(0);
    setReadingControls(options);
    m_dialogs.message(this, MessageIcon::Information, QStringLiteral("Auto-detect"), shapeEvidenceText(shape));
}

void TAppForm::reloadWithOffer(const ReloadOffer& offer)
{
    if (m_work != nullptr)
        return;
    // The offer goes with the Clear.
    const QStringList paths = offer.paths;
    const char16_t separator = offer.separator;
    const bool headerLine = offer.headerLine;
    const std::uint64_t skipLines = offer.skipLines;
    const bool formsOffered = offer.formsOffered;
    const ValueForms forms = offer.forms;
    Clear1Click();
    m_separatorButton->setText(separatorButtonText(separator));
    m_headerLineBox->setChecked(headerLine);
    m_lineSkipping->set(skipLines, m_lineSkipping->comment());
    if (formsOffered)
        m_valueForms->setForms(forms);
    // The profile's types were for the first file: it takes them again.
    m_profileTypesWaiting = m_profile.has_value();
    loadFiles(paths, [this](const QString& path) { return loadFile(path); });
}

} // namespace quarrow
