#include "update/qt/QtSettingsStore.h"

#include <QFileInfo>

#include <stdexcept>

namespace quarrow {

namespace {

QString settingsKey(std::u16string_view section, std::u16string_view name)
{
    return QString::fromUtf16(section.data(), static_cast<qsizetype>(section.size())) + u'/'
           + QString::fromUtf16(name.data(), static_cast<qsizetype>(name.size()));
}

} // namespace

// On Windows the native format is the registry: the store is the key
// HKEY_CURRENT_USER\Software\<organisation>\<application>, created on first
// use, and every value a registry string (REG_SZ) as written here.
QtSettingsStore::QtSettingsStore(const QString& organisation, const QString& application)
    : m_settings(QSettings::NativeFormat, QSettings::UserScope, organisation, application)
{
    if (m_settings.status() == QSettings::AccessError)
        throw std::runtime_error("The settings file " + m_settings.fileName().toStdString() + " cannot be read.");
}

std::u16string QtSettingsStore::readText(std::u16string_view section, std::u16string_view name)
{
    const QVariant value = m_settings.value(settingsKey(section, name));
    if (value.typeId() != QMetaType::QString)
        return {};
    const QString text = value.toString();
    return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size()));
}

int QtSettingsStore::readInteger(std::u16string_view section, std::u16string_view name, int fallback)
{
    int value = 0;
    return parseDecimalInteger(readText(section, name), value) ? value : fallback;
}

void QtSettingsStore::writeText(std::u16string_view section, std::u16string_view name, std::u16string_view value)
{
    m_settings.setValue(settingsKey(section, name),
                        QString::fromUtf16(value.data(), static_cast<qsizetype>(value.size())));
    m_settings.sync();
    if (m_settings.status() != QSettings::NoError)
        throw std::runtime_error("The settings file " + m_settings.fileName().toStdString() + " cannot be written.");
}

} // namespace quarrow
