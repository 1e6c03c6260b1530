#pragma once

#include "update/core/SettingsStore.h"

#include <QSettings>
#include <QString>

namespace quarrow {

// The settings in Qt's native store for the organisation and application
// (an INI file under the user's configuration folder on Linux). Every value
// is written as text; a value Qt reads back as anything but text counts as
// missing. Each write is flushed at once, so a value survives the program
// ending in any way.
class QtSettingsStore final : public SettingsStore {
public:
    // Throws std::runtime_error when the store exists but cannot be read.
    QtSettingsStore(const QString& organisation, const QString& application);

    std::u16string readText(std::u16string_view section, std::u16string_view name) override;
    int readInteger(std::u16string_view section, std::u16string_view name, int fallback) override;
    // Throws std::runtime_error when the value cannot be stored.
    void writeText(std::u16string_view section, std::u16string_view name, std::u16string_view value) override;

    QString fileName() const { return m_settings.fileName(); }

private:
    QSettings m_settings;
};

} // namespace quarrow
