#pragma once

#include "update/core/UpdateCheck.h"

#include <QLocale>

namespace quarrow {

// Today's date in the user's short date format, as the locale stood when
// the object was made (on the GUI thread, at the start).
class LocaleDateSource final : public DateSource {
public:
    explicit LocaleDateSource(QLocale locale = QLocale::system());
    std::u16string todayText() override;

private:
    QString m_format;
    QLocale m_locale;
};

} // namespace quarrow
