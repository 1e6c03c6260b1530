#pragma once
#include <QDialog>
#include "Dialogs.h"
#include "workspace/Workspace.h"
namespace quarrow {
class TFormColumnTypes : public QDialog { public: TFormColumnTypes(Workspace&, Dialogs&, QWidget* p = nullptr) : QDialog(p) { setObjectName(QStringLiteral("FormColumnTypes")); } };
}
