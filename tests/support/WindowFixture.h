#pragma once

#include "tests/support/Controls.h"
#include "tests/support/FakeDialogs.h"
#include "ui/TAppForm.h"
#include "update/qt/QtSettingsStore.h"

#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quarrow::test {

// The main window as the window tests drive it: one TAppForm at a time over
// the strict fake dialogs, a temporary folder for the files it reads and
// writes, and the user settings file the window remembers its choices in.
// A Qt Test class derives from it and keeps its own slots.
class WindowFixture {
protected:
    QTemporaryDir m_dir;
    std::unique_ptr<FakeDialogs> m_dialogs;
    std::unique_ptr<TAppForm> m_form;

    // A control by its objectName. The dialogs are the window's children
    // and reuse some names, so the window's client area is searched first.
    template <typename T>
    T* control(const char* name) const
    {
        const QString objectName = QString::fromLatin1(name);
        if (T* own = m_form->centralWidget()->findChild<T*>(objectName))
            return own;
        return findControl<T>(m_form.get(), objectName);
    }

    QString path(const char* name) const { return m_dir.filePath(QString::fromUtf8(name)); }

    // A new window (and fresh dialogs) in place of the last one, as a new
    // run of the program would start.
    void makeForm(const QStringList& arguments = {})
    {
        m_form.reset();
        m_dialogs = std::make_unique<FakeDialogs>();
        m_form = std::make_unique<TAppForm>(*m_dialogs, QCoreApplication::applicationFilePath(), arguments);
    }

    void dropForm()
    {
        m_form.reset();
        m_dialogs.reset();
    }

    // Answers the save dialog with out and returns what the export wrote
    // there (empty when it wrote nothing).
    QByteArray exportScript(const QString& out)
    {
        m_dialogs->saveFileAnswers.push_back(out);
        control<QAction>("ExporttoSQL1")->trigger();
        return readBytes(out);
    }

    static void writeFile(const QString& path, const QByteArray& bytes)
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(bytes), bytes.size());
    }

    static QByteArray readBytes(const QString& path)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return file.readAll();
    }

    static QStringList toStrings(const std::vector<std::u16string>& texts)
    {
        QStringList list;
        for (const auto& text : texts)
            list << QString::fromStdU16String(text);
        return list;
    }

    // The settings store the program itself uses, in the test's settings
    // location (the tests' environment points it at a temporary folder).
    static std::function<std::shared_ptr<SettingsStore>()> userSettings()
    {
        return [] { return std::make_shared<QtSettingsStore>(QStringLiteral("TARNIX"), QStringLiteral("Quarrow")); };
    }

    static QString userSettingsFile()
    {
        return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("TARNIX"),
                         QStringLiteral("Quarrow"))
            .fileName();
    }

    static void forgetUserSettings() { QFile::remove(userSettingsFile()); }

    // A value as the settings file holds it, read past the store.
    static QString storedValue(const QString& name)
    {
        return QSettings(userSettingsFile(), QSettings::IniFormat).value(u"Settings/" + name).toString();
    }
};

} // namespace quarrow::test
