#pragma once

#include "info/about/DropDownMemory.h"
#include "kit/MouseGestures.h"
#include "info/about/RainModel.h"

#include <QDialog>
#include <QIcon>
#include <QImage>
#include <QMetaObject>
#include <QPoint>
#include <QString>

#include <functional>

class QFrame;
class QLabel;
class QMenu;
class QAction;
class QMouseEvent;
class QPushButton;
class QTimer;

namespace quarrow {

class Dialogs;

// What the About window shows about the running program.
struct AboutFacts {
    QString productName;
    QString versionText;
    QIcon icon;
    // The running executable's folder: license.txt is looked for there, then
    // in an installation's documentation folder (findLicenceFile).
    QString programFolder;
};

// The About window: the product's name, version and icon on a black card
// with the maker's logo, links to the maker's pages and the licence text,
// characters raining down the border round the card, and a picture hidden
// behind the card that a double-click on the icon reveals.
class TAboutBox final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TAboutBox)

public:
    // Milliseconds since an arbitrary start, for the Info button's menu.
    using Clock = std::function<DropDownMemory::Tick()>;
    // Shows the menu with its top-left corner at a screen position and
    // returns once it has closed.
    using MenuShower = std::function<void(QMenu& menu, const QPoint& topLeft)>;

    // `random` drives the rain; null takes a generator seeded by the system.
    TAboutBox(const AboutFacts& facts, Dialogs& dialogs, QWidget* parent = nullptr,
              RainModel::RandomBelow random = nullptr);
    ~TAboutBox() override;

    // Tests replace the clock and the blocking menu run.
    void setDropDown(Clock clock, MenuShower showMenu);

    const RainModel& rain() const noexcept { return m_rain; }
    bool rainStarted() const noexcept { return m_rainStarted; }
    // What the rain has drawn; the window shows it beneath the card.
    const QImage& rainSurface() const noexcept { return m_rainSurface; }
    // The scale the logo and the picture were last drawn for, and how often.
    qreal artworkRatio() const noexcept { return m_artworkRatio; }
    int artworkLoads() const noexcept { return m_artworkLoads; }

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void buildControls(const AboutFacts& facts);
    void buildMenu();
    void placeOnScreen();
    void watchScreen();
    void HighDPIImageYukle();

    void startRain();
    void setUpRain();
    void tmTimerTimer();
    void drawRain(const std::vector<RainModel::Operation>& operations);

    void BitBtn1Click();
    void BitBtn2Click();
    void Label5Click();
    void Credits1Click();
    void Howtouninstall1Click();
    void LicensePrivacyPolicy1Click();
    void Image1DblClick();
    void ImageEggDblClick();
    void TimerEggTimer();

    Dialogs& m_dialogs;
    QIcon m_icon;
    QString m_programFolder;
    Clock m_clock;
    MenuShower m_showMenu;

    QFrame* m_hiddenPanel = nullptr;
    QLabel* m_hiddenPicture = nullptr;
    QFrame* m_card = nullptr;
    QLabel* m_logo = nullptr;
    QFrame* m_iconBevel = nullptr;
    QLabel* m_iconLabel = nullptr;
    QLabel* m_nameAndVersion = nullptr;
    QPushButton* m_okButton = nullptr;
    QPushButton* m_infoButton = nullptr;
    QLabel* m_homeLink = nullptr;
    QMenu* m_infoMenu = nullptr;
    QAction* m_creditsAction = nullptr;
    QAction* m_uninstallAction = nullptr;
    QAction* m_licenceAction = nullptr;
    QTimer* m_rainTimer = nullptr;
    QTimer* m_slideTimer = nullptr;

    RainModel m_rain;
    bool m_rainStarted = false;
    QImage m_rainSurface;
    QFont m_rainFont;
    int m_rainAscent = 0;

    qreal m_artworkRatio = 0;
    int m_artworkLoads = 0;
    QMetaObject::Connection m_screenScaleWatch;

    WindowDrag m_drag{*this};
    ClickTracker m_linkClick;
};

// Opens the About window modally over `owner` (the main window); returns when
// it has closed.
void openAboutBox(QWidget* owner, const AboutFacts& facts, Dialogs& dialogs);

} // namespace quarrow
