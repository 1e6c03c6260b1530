#pragma once
#include <QDialog>
#include <QAbstractButton>
namespace quarrow {
class TFormSeparator : public QDialog { public: TFormSeparator(QAbstractButton*, QWidget* p = nullptr) : QDialog(p) { setObjectName(QStringLiteral("FormSeparator")); } };
}
