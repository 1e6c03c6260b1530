#include "tests/support/Controls.h"
#include "tests/support/FakeDialogs.h"
#include "info/about/LicenceFile.h"
#include "info/about/TAboutBox.h"
#include "tests/support/TempDir.h"
#include "tests/support/WindowDragCheck.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <memory>

using namespace quarrow;

namespace {

// Fires one tick of the window's timer at once, without its interval passing.
bool tick(QTimer* timer)
{
    return QMetaObject::invokeMethod(timer, "timeout", Qt::DirectConnection);
}

// Leaves the timer running, so that the window's own stop shows, but with an
// interval no test lasts.
void keepFromTicking(QTimer* timer)
{
    timer->start(24 * 60 * 60 * 1000);
}

int nonBlackPixels(const QImage& image, const QRect& area)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if ((image.pixel(x, y) & 0xFFFFFFu) != 0)
                ++count;
    return count;
}

} // namespace

class AboutBoxTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<test::FakeDialogs> m_dialogs;
    std::unique_ptr<TAboutBox> m_box;
    QString m_programFolder;
    // The drop-down memory is shared by the whole process and a new window
    // may reuse a freed one's address: every window gets its own era.
    DropDownMemory::Tick m_now = 0;
    std::vector<QPoint> m_menuShownAt;

    TAboutBox* shownBox(const QString& programFolder = QString())
    {
        m_dialogs = std::make_unique<test::FakeDialogs>();
        m_box = std::make_unique<TAboutBox>(
            AboutFacts{u"Quarrow"_qs, u"2.1"_qs, QApplication::windowIcon(), programFolder}, *m_dialogs);
        m_now += 1'000'000;
        m_box->setDropDown([this] { return m_now; },
                           [this](QMenu&, const QPoint& topLeft) { m_menuShownAt.push_back(topLeft); });
        m_box->show();
        return QTest::qWaitForWindowExposed(m_box.get()) ? m_box.get() : nullptr;
    }

    template <typename T>
    T* control(const char* name) const
    {
        return test::findControl<T>(m_box.get(), QString::fromLatin1(name));
    }

    QWidget* widget(const QString& name) const
    {
        return name == m_box->objectName() ? m_box.get() : control<QWidget>(name.toLatin1().constData());
    }

    // Slides the card out of the window, tick by tick.
    void slideCardAway()
    {
        QTest::mouseDClick(control<QLabel>("Image1"), Qt::LeftButton);
        auto* slide = control<QTimer>("TimerEgg");
        keepFromTicking(slide);
        while (slide->isActive())
            tick(slide);
    }

private slots:
    void initTestCase()
    {
        qputenv("QUARROW_HTTP_BASE", "http://home.test:8080");
        qputenv("QUARROW_HTTPS_BASE", "https://secure.home.test");
        QPixmap icon(32, 32);
        icon.fill(Qt::darkCyan);
        QApplication::setWindowIcon(QIcon(icon));
    }

    void init() { m_menuShownAt.clear(); }

    void cleanup()
    {
        m_box.reset();
        m_dialogs.reset();
    }

    void showsTheProduct()
    {
        QVERIFY(shownBox());
        QCOMPARE(m_box->windowTitle(), u"About Quarrow"_qs);
        QCOMPARE(control<QLabel>("Label2")->text(), u"Quarrow 2.1"_qs);
        QCOMPARE(control<QLabel>("Label2")->palette().color(QPalette::WindowText), QColor(Qt::white));
        QCOMPARE(control<QPushButton>("BitBtn1")->text(), u"OK"_qs);
        QCOMPARE(control<QPushButton>("BitBtn2")->text(), u"Info"_qs);
        QVERIFY(!control<QPushButton>("BitBtn2")->icon().isNull());
        QCOMPARE(control<QLabel>("Image1")->pixmap().toImage().pixelColor(16, 16), QColor(Qt::darkCyan));
        QVERIFY(!control<QLabel>("Image2")->pixmap().isNull());
        QVERIFY(!control<QLabel>("ImageEgg")->pixmap().isNull());

        auto* menu = control<QMenu>("PopupMenu1");
        QStringList names, texts;
        for (const QAction* action : menu->actions()) {
            names << action->objectName();
            texts << action->text();
        }
        QCOMPARE(names, (QStringList{u"Credits1"_qs, u"Howtouninstall1"_qs, u"LicensePrivacyPolicy1"_qs}));
        QCOMPARE(texts, (QStringList{u"Acknowledgements..."_qs, u"How to uninstall..."_qs, u"License..."_qs}));

        auto* link = control<QLabel>("Label5");
        QCOMPARE(link->text(), u"home.test"_qs);
        QCOMPARE(link->toolTip(), u"http://home.test:8080/"_qs);
        QVERIFY(link->font().underline());
        QCOMPARE(link->palette().color(QPalette::WindowText), QColor(0, 255, 0));
        QCOMPARE(link->cursor().shape(), Qt::PointingHandCursor);
    }

    void layout_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("geometry");
        QTest::newRow("card") << u"Panel1"_qs << QRect(48, 42, 350, 291);
        QTest::newRow("logo") << u"Image2"_qs << QRect(3, 3, 344, 105);
        QTest::newRow("icon frame") << u"Bevel1"_qs << QRect(9, 122, 34, 34);
        QTest::newRow("icon") << u"Image1"_qs << QRect(10, 123, 32, 32);
        QTest::newRow("name and version") << u"Label2"_qs << QRect(49, 122, 290, 40);
        QTest::newRow("OK") << u"BitBtn1"_qs << QRect(49, 224, 122, 33);
        QTest::newRow("Info") << u"BitBtn2"_qs << QRect(177, 224, 122, 33);
        QTest::newRow("hidden panel, centred") << u"PanelEgg"_qs << QRect(61, 77, 324, 220);
        QTest::newRow("hidden picture") << u"ImageEgg"_qs << QRect(2, 3, 320, 214);
    }

    void layout()
    {
        QFETCH(QString, name);
        QFETCH(QRect, geometry);
        QVERIFY(shownBox());
        QCOMPARE(widget(name)->geometry(), geometry);
    }

    void windowIsAFixedToolWindowWithTheHiddenPanelBeneathTheCard()
    {
        QVERIFY(shownBox());
        QCOMPARE(m_box->size(), QSize(446, 374));
        QCOMPARE(m_box->minimumSize(), m_box->maximumSize());
        const Qt::WindowFlags flags = m_box->windowFlags();
        QCOMPARE(flags & Qt::WindowType_Mask, Qt::Tool);
        QVERIFY(flags & Qt::WindowCloseButtonHint);
        QVERIFY(!(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        QCOMPARE(m_box->frameGeometry().center(), screen.center());

        auto* hidden = control<QWidget>("PanelEgg");
        auto* card = control<QWidget>("Panel1");
        QVERIFY(!hidden->isVisible());
        const QObjectList stack = m_box->children();
        QVERIFY(stack.indexOf(hidden) < stack.indexOf(card));
    }

    void closes_data()
    {
        QTest::addColumn<QString>("focused");
        QTest::addColumn<bool>("escape");
        QTest::newRow("OK clicked") << u"BitBtn1"_qs << false;
        QTest::newRow("Escape on OK") << u"BitBtn1"_qs << true;
        QTest::newRow("Escape on Info") << u"BitBtn2"_qs << true;
    }

    void closes()
    {
        QFETCH(QString, focused);
        QFETCH(bool, escape);
        QVERIFY(shownBox());
        QVERIFY(QTest::qWaitForWindowActive(m_box.get()));
        // The OK button has the focus when the window opens.
        QTRY_COMPARE(QApplication::focusWidget(), widget(u"BitBtn1"_qs));
        auto* button = control<QPushButton>(focused.toLatin1().constData());
        button->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), button);
        if (escape)
            QTest::keyClick(button, Qt::Key_Escape);
        else
            QTest::mouseClick(button, Qt::LeftButton);
        QTRY_VERIFY(!m_box->isVisible());
        QVERIFY(m_dialogs->openedUrls.isEmpty());
    }

    void links_data()
    {
        QTest::addColumn<QString>("trigger");
        QTest::addColumn<QString>("address");
        QTest::newRow("link text") << u"Label5"_qs << u"http://home.test:8080/"_qs;
        QTest::newRow("acknowledgements")
            << u"Credits1"_qs << u"https://secure.home.test/blog/credits-and-acknowledgements/"_qs;
        QTest::newRow("how to uninstall")
            << u"Howtouninstall1"_qs << u"http://home.test:8080/blog/how-to-uninstall-tarnix-software/"_qs;
    }

    void links()
    {
        QFETCH(QString, trigger);
        QFETCH(QString, address);
        QVERIFY(shownBox());
        if (trigger == u"Label5"_qs)
            QTest::mouseClick(control<QLabel>("Label5"), Qt::LeftButton);
        else
            control<QAction>(trigger.toLatin1().constData())->trigger();
        QCOMPARE(m_dialogs->openedUrls, QStringList{address});
        QVERIFY(m_box->isVisible());
    }

    void linkOpensOnlyOnALeftClickWithinIt()
    {
        QVERIFY(shownBox());
        auto* link = control<QLabel>("Label5");
        QTest::mouseClick(link, Qt::RightButton);
        QTest::mouseClick(link, Qt::MiddleButton);
        QTest::mousePress(link, Qt::LeftButton);
        QTest::mouseRelease(link, Qt::LeftButton, {}, QPoint(link->width() / 2, -20));
        QVERIFY(m_dialogs->openedUrls.isEmpty());
    }

    // The layouts a program finds its licence in: beside it, as the build
    // tree and a copied folder hold it, or in an installation's documentation
    // folder (bin/../share/doc/quarrow), and what counts as no licence.
    void licence_data()
    {
        QTest::addColumn<QString>("beside");
        QTest::addColumn<QString>("installed");
        QTest::addColumn<QString>("opened");
        QTest::newRow("beside the program") << u"file"_qs << u""_qs << u"beside"_qs;
        QTest::newRow("link to the text") << u"link"_qs << u""_qs << u"beside"_qs;
        QTest::newRow("installed") << u""_qs << u"file"_qs << u"installed"_qs;
        QTest::newRow("installed as a link") << u""_qs << u"link"_qs << u"installed"_qs;
        QTest::newRow("beside comes first") << u"file"_qs << u"file"_qs << u"beside"_qs;
        QTest::newRow("a folder beside, the text installed") << u"folder"_qs << u"file"_qs << u"installed"_qs;
        QTest::newRow("missing") << u""_qs << u""_qs << u""_qs;
        QTest::newRow("link to nowhere") << u"dangling"_qs << u"dangling"_qs << u""_qs;
        QTest::newRow("a folder of that name") << u"folder"_qs << u"folder"_qs << u""_qs;
    }

    void licence()
    {
        QFETCH(QString, beside);
        QFETCH(QString, installed);
        QFETCH(QString, opened);
        test::TempDir temp;
        temp.write("terms.txt", "terms");
        // An installation in a prefix whose path holds spaces.
        const std::filesystem::path program = temp.path() / "Program Files" / "Quarrow 2" / "bin";
        const std::filesystem::path doc = (program / installedDocFolderFromProgram().toStdString()).lexically_normal();
        const auto place = [&](const QString& layout, const std::filesystem::path& folder) {
            std::filesystem::create_directories(folder);
            const std::filesystem::path licence = folder / "license.txt";
            if (layout == u"file"_qs)
                std::filesystem::copy_file(temp.path() / "terms.txt", licence);
            else if (layout == u"link"_qs)
                std::filesystem::create_symlink(temp.path() / "terms.txt", licence);
            else if (layout == u"dangling"_qs)
                std::filesystem::create_symlink(temp.path() / "gone.txt", licence);
            else if (layout == u"folder"_qs)
                std::filesystem::create_directory(licence);
            return QString::fromStdString(licence.string());
        };
        const QString besidePath = place(beside, program);
        const QString installedPath = place(installed, doc);

        QVERIFY(shownBox(QString::fromStdString(program.string())));
        control<QAction>("LicensePrivacyPolicy1")->trigger();
        if (!opened.isEmpty()) {
            QCOMPARE(m_dialogs->openedTextFiles, QStringList{opened == u"beside"_qs ? besidePath : installedPath});
            QVERIFY(m_dialogs->messages.empty());
        } else {
            QVERIFY(m_dialogs->openedTextFiles.isEmpty());
            QCOMPARE(m_dialogs->messages.size(), std::size_t{1});
            QCOMPARE(m_dialogs->messages[0].icon, MessageIcon::Error);
            QCOMPARE(m_dialogs->messages[0].caption, u"License"_qs);
            QCOMPARE(m_dialogs->messages[0].text, u"File not found!"_qs);
        }
        QVERIFY(m_dialogs->openedUrls.isEmpty());
    }

    // The menu opens under the button; the click that closes it does not open
    // it again, a click 100 ms after it closed does.
    void infoDropDown()
    {
        QVERIFY(shownBox());
        auto* info = control<QPushButton>("BitBtn2");
        const QPoint under = info->mapToGlobal(QPoint(0, info->height()));

        QTest::mouseClick(info, Qt::LeftButton);
        QCOMPARE(m_menuShownAt, std::vector<QPoint>{under});
        m_now += 40;
        QTest::mouseClick(info, Qt::LeftButton);
        QCOMPARE(m_menuShownAt.size(), std::size_t{1});
        m_now += 40;
        QTest::mouseClick(info, Qt::LeftButton);
        QCOMPARE(m_menuShownAt.size(), std::size_t{2});
        m_now += 100;
        QTest::mouseClick(info, Qt::LeftButton);
        QCOMPARE(m_menuShownAt.size(), std::size_t{3});
    }

    // Without the test's stand-in, the menu really opens under the button;
    // the test closes it from the event loop the menu runs.
    void infoOpensTheRealMenu()
    {
        QVERIFY(shownBox());
        m_box->setDropDown([this] { return m_now; }, [](QMenu& menu, const QPoint& at) { menu.exec(at); });
        auto* info = control<QPushButton>("BitBtn2");
        auto* menu = control<QMenu>("PopupMenu1");
        QPoint shownAt;
        QTimer closer;
        connect(&closer, &QTimer::timeout, menu, [&] {
            if (!menu->isVisible())
                return;
            shownAt = menu->pos();
            menu->close();
        });
        closer.start(10);
        QTest::mouseClick(info, Qt::LeftButton);
        QCOMPARE(shownAt, info->mapToGlobal(QPoint(0, info->height())));
        QVERIFY(!menu->isVisible());
    }

    void hiddenPictureSlide()
    {
        QVERIFY(shownBox());
        auto* card = control<QWidget>("Panel1");
        auto* hidden = control<QWidget>("PanelEgg");
        auto* slide = control<QTimer>("TimerEgg");
        QCOMPARE(slide->interval(), 5);

        QTest::mouseDClick(control<QLabel>("Image1"), Qt::LeftButton);
        QVERIFY(hidden->isVisible());
        QVERIFY(slide->isActive());
        QCOMPARE(card->pos(), QPoint(48, 42));
        keepFromTicking(slide);

        QVERIFY(tick(slide));
        QCOMPARE(card->pos(), QPoint(53, 42));
        for (int i = 1; i < 70; ++i)
            tick(slide);
        QCOMPARE(card->x(), 398);
        // The picture is fully uncovered but the card still moving: its
        // double-click does nothing.
        QTest::mouseDClick(control<QLabel>("ImageEgg"), Qt::LeftButton);
        QVERIFY(hidden->isVisible());
        QCOMPARE(card->x(), 398);
        QVERIFY(slide->isActive());

        for (int i = 70; i < 79; ++i)
            tick(slide);
        QCOMPARE(card->x(), 443);
        QVERIFY(slide->isActive());
        tick(slide);
        QCOMPARE(card->x(), 448);
        QVERIFY(!slide->isActive());

        QTest::mouseDClick(control<QLabel>("ImageEgg"), Qt::LeftButton);
        QVERIFY(!hidden->isVisible());
        QCOMPARE(card->pos(), QPoint(48, 42));
        QVERIFY(!slide->isActive());
    }

    void dragging_data()
    {
        QTest::addColumn<QString>("where");
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::addColumn<bool>("moves");
        QTest::newRow("left on the window") << u"AboutBox"_qs << Qt::LeftButton << true;
        QTest::newRow("middle on the window") << u"AboutBox"_qs << Qt::MiddleButton << true;
        QTest::newRow("right on the window") << u"AboutBox"_qs << Qt::RightButton << false;
        QTest::newRow("left on the card") << u"Panel1"_qs << Qt::LeftButton << true;
        QTest::newRow("right on the card") << u"Panel1"_qs << Qt::RightButton << false;
        QTest::newRow("left on the icon") << u"Image1"_qs << Qt::LeftButton << true;
        QTest::newRow("middle on the logo") << u"Image2"_qs << Qt::MiddleButton << true;
        QTest::newRow("left on the name") << u"Label2"_qs << Qt::LeftButton << true;
        QTest::newRow("right on the name") << u"Label2"_qs << Qt::RightButton << false;
        QTest::newRow("left on the hidden picture") << u"ImageEgg"_qs << Qt::LeftButton << true;
        QTest::newRow("left on OK") << u"BitBtn1"_qs << Qt::LeftButton << false;
        QTest::newRow("middle on OK") << u"BitBtn1"_qs << Qt::MiddleButton << false;
        QTest::newRow("middle on Info") << u"BitBtn2"_qs << Qt::MiddleButton << false;
        QTest::newRow("left on the link") << u"Label5"_qs << Qt::LeftButton << false;
        QTest::newRow("middle on the link") << u"Label5"_qs << Qt::MiddleButton << false;
        QTest::newRow("left on the icon's frame") << u"Bevel1"_qs << Qt::LeftButton << false;
        QTest::newRow("middle on the icon's frame") << u"Bevel1"_qs << Qt::MiddleButton << false;
    }

    void dragging()
    {
        QFETCH(QString, where);
        QFETCH(Qt::MouseButton, button);
        QFETCH(bool, moves);
        QVERIFY(shownBox());
        if (where == u"ImageEgg"_qs)
            slideCardAway();
        test::checkWindowDrag(*m_box, widget(where), button, moves);
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(m_box->size(), QSize(446, 374));
        QVERIFY(m_box->isVisible());
        QVERIFY(m_dialogs->openedUrls.isEmpty());
        QVERIFY(m_menuShownAt.empty());
    }

    void rainStartsWithTheShownWindow()
    {
        QVERIFY(shownBox());
        QVERIFY(m_box->rainStarted());
        const QSize outer = m_box->frameGeometry().size();
        QCOMPARE(m_box->rain().bitmapWidth(), outer.width());
        QCOMPARE(m_box->rain().bitmapHeight(), outer.height());
        QCOMPARE(m_box->rain().matrixWidth(), outer.width() / 8);
        QCOMPARE(m_box->rain().drops().size(), std::size_t(2 * (outer.width() / 8)));
        auto* rainTimer = control<QTimer>("tmTimer");
        QCOMPARE(rainTimer->interval(), 50);
        QVERIFY(rainTimer->isActive());
        QCOMPARE(nonBlackPixels(m_box->rainSurface(), m_box->rainSurface().rect()), 0);

        keepFromTicking(rainTimer);
        for (int i = 0; i < 20; ++i)
            tick(rainTimer);
        QCOMPARE(m_box->rain().tickCount(), std::uint64_t{20});
        QVERIFY(nonBlackPixels(m_box->rainSurface(), m_box->rainSurface().rect()) > 0);
        // The border shows what the rain drew.
        const QImage shown = m_box->grab(QRect(0, 0, 40, 374)).toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(shown, m_box->rainSurface().copy(0, 0, 40, 374));
    }

    // A resize clears the surface and seeds again, on the grid captured when
    // the rain started.
    void resizeSetsTheRainUpAgain()
    {
        QVERIFY(shownBox());
        auto* rainTimer = control<QTimer>("tmTimer");
        keepFromTicking(rainTimer);
        for (int i = 0; i < 20; ++i)
            tick(rainTimer);
        const int columns = m_box->rain().matrixWidth();
        const int rows = m_box->rain().matrixHeight();

        m_box->setFixedSize(500, 420);
        QTRY_COMPARE(m_box->size(), QSize(500, 420));
        QCOMPARE(m_box->rain().matrixWidth(), columns);
        QCOMPARE(m_box->rain().matrixHeight(), rows);
        QCOMPARE(m_box->rain().drops().size(), std::size_t(2 * columns));
        QCOMPARE(nonBlackPixels(m_box->rainSurface(), m_box->rainSurface().rect()), 0);
        QVERIFY(m_box->rainSurface().width() >= 500);
    }

    void rainNeverShowsOverThePanels_data()
    {
        QTest::addColumn<QString>("panel");
        QTest::newRow("card") << u"Panel1"_qs;
        QTest::newRow("hidden picture") << u"PanelEgg"_qs;
    }

    // Wherever the panel's own picture is black, the rain drawn beneath it
    // must not show through.
    void rainNeverShowsOverThePanels()
    {
        QFETCH(QString, panel);
        QVERIFY(shownBox());
        if (panel == u"PanelEgg"_qs)
            slideCardAway();
        QWidget* shownPanel = widget(panel);
        const QRect area = shownPanel->geometry();
        auto* rainTimer = control<QTimer>("tmTimer");
        keepFromTicking(rainTimer);
        for (int i = 0; i < 60 && nonBlackPixels(m_box->rainSurface(), area) < 500; ++i)
            tick(rainTimer);
        QVERIFY(nonBlackPixels(m_box->rainSurface(), area) >= 500);

        const QImage window = m_box->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QImage alone = shownPanel->grab().toImage().convertToFormat(QImage::Format_RGB32);
        int blackAlone = 0;
        for (int y = 0; y < area.height(); ++y) {
            for (int x = 0; x < area.width(); ++x) {
                if ((alone.pixel(x, y) & 0xFFFFFFu) != 0)
                    continue;
                ++blackAlone;
                if ((window.pixel(area.x() + x, area.y() + y) & 0xFFFFFFu) != 0)
                    QFAIL(qPrintable(u"rain at (%1, %2) of %3"_qs.arg(x).arg(y).arg(panel)));
            }
        }
        QVERIFY(blackAlone > 1000);
    }
};

QTEST_MAIN(AboutBoxTest)
#include "AboutBoxTest.moc"
