#include "update/qt/LocaleDateSource.h"

#include <QDate>

#include <utility>

namespace quarrow {

LocaleDateSource::LocaleDateSource(QLocale locale)
    : m_format(locale.dateFormat(QLocale::ShortFormat)), m_locale(std::move(locale))
{
}

std::u16string LocaleDateSource::todayText()
{
    const QString text = m_locale.toString(QDate::currentDate(), m_format);
    return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size()));
}

} // namespace quarrow
