#include "QuarrowApplication.h"
#include "QtDialogs.h"
#include "TAppForm.h"
#include "UpdateCheckSetup.h"

int main(int argc, char* argv[])
{
    quarrow::QuarrowApplication app(argc, argv);
    quarrow::QtDialogs dialogs;
    app.setDialogs(&dialogs);

    quarrow::TAppForm form(dialogs, QCoreApplication::applicationFilePath(), QCoreApplication::arguments().mid(1));
    form.setUpdateCheck(quarrow::UpdateCheckSetup::forThisMachine());
    form.show();
    return QApplication::exec();
}
