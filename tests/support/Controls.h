#pragma once

#include <QObject>
#include <QString>
#include <QtGlobal>

namespace quarrow::test {

// A window's control by its objectName; a missing one ends the test run,
// since every later step would only fail less clearly.
template <typename T>
T* findControl(const QObject* root, const QString& name)
{
    T* found = root->findChild<T*>(name);
    if (found == nullptr)
        qFatal("no control named %s", qPrintable(name));
    return found;
}

} // namespace quarrow::test
