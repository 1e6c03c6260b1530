#pragma once

#include "ui/LoadBatch.h"
#include "ui/LoadedDataProfile.h"
#include "ui/PreviewFlow.h"
#include "ui/TFormColumnTypes.h"
#include "ui/VersionInfo.h"
#include "engine/settings/ConversionProfile.h"
#include "engine/workspace/Workspace.h"

#include <QMainWindow>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMimeData;
class QMenu;
class QPushButton;
class QRadioButton;
class QTimer;

namespace quarrow {

class BackgroundWork;
class Dialogs;
class MenuOption;
class TableModeChoice;
class LineSkippingEdit;
class NullMarkersEdit;
class ValueFormsChoice;
class QtNoticeBox;
class ReloadBar;
struct ReloadOffer;
class TChecker;
class SettingsStore;
class TNewVer;
struct UpdateCheckSetup;

// The main window: gathers the reading options, loads CSV files (open
// dialog, drops, command line) into the one workspace, and exports it. The
// options live in the controls and are read when a command runs. The work
// of each command is a flow of its own (LoadFlow, ExportFlow, SuggestFlow,
// PreviewFlow, ProfileFlow): the handlers read the controls, call the flow
// and show what it returns. The profile and file-shape handlers are in
// TAppFormProfiles.cpp.
class TAppForm final : public QMainWindow {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TAppForm)

public:
    // `executablePath` names the file whose version block names the program;
    // `arguments` are the command-line arguments after the program's name.
    TAppForm(Dialogs& dialogs, const QString& executablePath, const QStringList& arguments, QWidget* parent = nullptr);
    ~TAppForm() override;

    // Loads one CSV file with the options the controls hold now.
    void Ekle(const QString& path);
    // Loads the files of a drop, in order, up to a cancel; folders and names
    // without the ".csv" extension are skipped.
    void dropFiles(const QStringList& paths);
    // The local files a drop carries (text/uri-list), whole, in order.
    static QStringList droppedPaths(const QMimeData& mime);

    // Where the update check started by the first tick of the check timer
    // takes its parts from. Without one, the window makes no check and
    // leaves "Update Notifications" disabled.
    void setUpdateCheck(const UpdateCheckSetup& setup);
    // Where the window remembers its reading choices between runs (the
    // exact CSV quoting); it takes the remembered ones now.
    void setSettingsStore(std::function<std::shared_ptr<SettingsStore>()> openStore);
    // The update popup, once the check has asked for it.
    TNewVer* newVer() const noexcept { return m_updatePopup; }

    Workspace& workspace() noexcept { return m_workspace; }
    const QString& companyName() const noexcept { return m_companyName; }
    const QString& productName() const noexcept { return m_productName; }
    const QString& fileVersionText() const noexcept { return m_fileVersionText; }
    const QString& windowTitleText() const noexcept { return m_windowTitleText; }

signals:
    // The Help menu's feedback and About items. The program's entry opens
    // those windows with the names and version above.
    void feedbackRequested();
    void aboutRequested();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // The load button's caption while nothing is loaded.
    static constexpr char16_t kLoadCaption[] = u"Load CSV file...";

    void FormCreate(const QString& executablePath);
    // The controls, the menus and what is enabled before and after a load
    // (TAppFormControls.cpp).
    void buildControls();
    void buildMenu();
    void setLoadedLook(bool loaded);
    // The fixed size: the client area, the menu and status bars, and the
    // reload bar while it shows, so that it never squeezes the controls.
    void fitWindowSize();
    void FormShow();
    // Ekle, saying whether the file got in and whether Cancel came.
    FileLoad loadFile(const QString& path);
    // The files of one command, in order, up to a cancel.
    void loadFiles(const QStringList& paths, const std::function<FileLoad(const QString&)>& load);
    // The options a load or an export reads from the controls when it runs.
    LoadOptions readingOptions() const;
    // Every setting that shapes the script, as the controls hold it.
    ScriptOptions scriptOptions() const;
    // Sets the controls from a profile's settings; the reading ones (the
    // separator, header line, encoding and exact quoting) only with
    // `reading`, since files loaded keep the ones they were read with.
    void setScriptControls(const ScriptOptions& options, bool reading);
    // The separator, header line, encoding and exact quoting controls.
    void setReadingControls(const LoadOptions& options);
    // After a file got in: the first one takes the column types of a
    // profile opened before it, and its shape is checked.
    void afterLoad(const QString& path);
    // Connects a control's signal to a handler whose failures go to the
    // general error report.
    template <typename Sender, typename Signal, typename Handler>
    void connectHandler(Sender* sender, Signal signal, Handler handler);

    void BitBtn1Click();
    void Clear1Click();
    void Button1Click();
    void ButtonColumnClick();
    // The types the column types dialog suggests: the loaded rows as the
    // controls say to split them, for the selected database.
    std::vector<TFormColumnTypes::Suggestion> columnSuggestions();
    void ButtonExportClick();
    void Preview1Click();
    // The preview's options as the controls hold them, with the suggestions
    // when the loaded rows have been profiled for the current options.
    void refreshPreview();
    void ExporttoSQL1Click();
    void Exit1Click();
    void Help1Click();
    void TimerCheckerTimer();
    void UpdateNotifications1Click();
    void ExactCsvQuoting1Click();
    void OneTransaction1Click();
    void PostgreSqlCopy1Click();
    void SaveProfile1Click();
    void OpenProfile1Click();
    void AutoDetect1Click();
    // Clears and loads the files of the table again with the offered settings.
    void reloadWithOffer(const ReloadOffer& offer);
    // Gives the loaded columns the profile's types and says so when its
    // column count is not the file's.
    void applyColumnTypes(const ConversionProfile& profile);
    // Ends a check that is still running and waits for its thread.
    void endUpdateCheck() noexcept;

    Dialogs& m_dialogs;
    Workspace m_workspace;
    // The load or export running on a worker thread, while one does.
    BackgroundWork* m_work = nullptr;
    LoadedDataProfile m_dataProfile{m_workspace};
    QStringList m_arguments;
    bool m_shown = false;

    QString m_companyName;
    QString m_productName;
    QString m_fileVersionText;
    QString m_windowTitleText;

    // Controls are named by role here; each keeps its own object name
    // ("BitBtn1" for the load button), which tests find it by and its
    // handler is named after (the README maps one to the other).
    QCheckBox* m_headerLineBox = nullptr;
    QRadioButton* m_utf8Button = nullptr;
    QRadioButton* m_ansiButton = nullptr;
    QLabel* m_separatorLabel = nullptr;
    QPushButton* m_separatorButton = nullptr;
    QPushButton* m_loadButton = nullptr;
    QMenu* m_loadMenu = nullptr;
    QCheckBox* m_nullEmptyBox = nullptr;
    QCheckBox* m_multiRowBox = nullptr;
    QLabel* m_tableNameLabel = nullptr;
    QLineEdit* m_tableNameEdit = nullptr;
    QLabel* m_databaseLabel = nullptr;
    QComboBox* m_databaseBox = nullptr;
    QPushButton* m_columnTypesButton = nullptr;
    QPushButton* m_exportButton = nullptr;
    QLabel* m_statusText = nullptr;
    QTimer* m_updateCheckTimer = nullptr;
    QAction* m_updateNotificationsAction = nullptr;
    MenuOption* m_exactQuoting = nullptr;
    ValueFormsChoice* m_valueForms = nullptr;
    LineSkippingEdit* m_lineSkipping = nullptr;
    MenuOption* m_transactionOption = nullptr;
    MenuOption* m_copyOption = nullptr;
    TableModeChoice* m_tableMode = nullptr;
    NullMarkersEdit* m_nullMarkers = nullptr;
    TNewVer* m_updatePopup = nullptr;
    ReloadBar* m_reloadBar = nullptr;
    // The first file loaded since the last Clear (Auto-detect looks at it),
    // and every file in the table, in order (a reload takes them all).
    QString m_firstFile;
    QStringList m_loadedFiles;
    // The last profile opened: its column types wait for the first load,
    // and a reload takes them again.
    std::optional<ConversionProfile> m_profile;
    bool m_profileTypesWaiting = false;
    // The preview window, while one is open.
    PreviewFlow m_preview;

    std::unique_ptr<UpdateCheckSetup> m_updateSetup;
    bool m_checkerStarted = false;
    std::unique_ptr<TChecker> m_checker;
    std::shared_ptr<QtNoticeBox> m_notice;
};

} // namespace quarrow
