#include "QuarrowApplication.h"
#include "QtDialogs.h"
#include "TAboutBox.h"
#include "TAppForm.h"
#include "TFeedbackForm.h"
#include "UpdateCheckSetup.h"

int main(int argc, char* argv[])
{
    quarrow::QuarrowApplication app(argc, argv);
    quarrow::QtDialogs dialogs;
    app.setDialogs(&dialogs);

    quarrow::TAppForm form(dialogs, QCoreApplication::applicationFilePath(), QCoreApplication::arguments().mid(1));
    const auto updateCheck = quarrow::UpdateCheckSetup::forThisMachine();
    form.setUpdateCheck(updateCheck);
    form.setSettingsStore(updateCheck.openStore);
    QObject::connect(&form, &quarrow::TAppForm::feedbackRequested, &form,
                     [&] { quarrow::openFeedbackWindow(form, dialogs); });
    QObject::connect(&form, &quarrow::TAppForm::aboutRequested, &form, [&] { quarrow::openAboutBox(form, dialogs); });
    form.show();
    return QApplication::exec();
}
