#include "ui/QuarrowApplication.h"
#include "kit/QtDialogs.h"
#include "info/about/TAboutBox.h"
#include "ui/TAppForm.h"
#include "info/feedback/TFeedbackForm.h"
#include "update/qt/UpdateCheckSetup.h"
#include "ui/WindowOptions.h"
#include "engine/workspace/RowStore.h"
#include "platform/posix/LargePages.h"

#include <iostream>

int main(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments += QString::fromLocal8Bit(argv[i]);
    // The application object is not made yet: it would need a display.
    if (const auto status = quarrow::answerWindowOption(arguments, QStringLiteral("/proc/self/exe"), std::cout))
        return *status;

    // A large file is held in a few large blocks; large pages make its load
    // much faster (see setChunkAdvice).
    quarrow::setChunkAdvice(&quarrow::adviseLargePages);

    quarrow::QuarrowApplication app(argc, argv);
    // Desktops match the window to its desktop entry, and so to its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral(QUARROW_APP_ID));
    quarrow::QtDialogs dialogs;
    app.setDialogs(&dialogs);

    quarrow::TAppForm form(dialogs, QCoreApplication::applicationFilePath(), QCoreApplication::arguments().mid(1));
    const auto updateCheck = quarrow::UpdateCheckSetup::forThisMachine();
    form.setUpdateCheck(updateCheck);
    form.setSettingsStore(updateCheck.openStore);
    // The feedback and About windows learn about the program from the main
    // window, which read its version block, when they open.
    QObject::connect(&form, &quarrow::TAppForm::feedbackRequested, &form, [&] {
        quarrow::openFeedbackWindow(&form, {form.productName(), form.windowTitleText(), form.fileVersionText()},
                                    dialogs);
    });
    QObject::connect(&form, &quarrow::TAppForm::aboutRequested, &form, [&] {
        quarrow::openAboutBox(&form,
                              {form.productName(), form.fileVersionText(), QApplication::windowIcon(),
                               QCoreApplication::applicationDirPath()},
                              dialogs);
    });
    form.show();
    return QApplication::exec();
}
