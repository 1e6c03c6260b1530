#include "ui/LocaleTexts.h"

namespace quarrow {

QString listSeparatorText(const QLocale& locale)
{
    return locale.decimalPoint() == u"," ? QStringLiteral(";") : QStringLiteral(",");
}

QString rowsLoadedText(qint64 rows, const QLocale& locale)
{
    QLocale grouped = locale;
    grouped.setNumberOptions(grouped.numberOptions() & ~QLocale::OmitGroupSeparator);
    return grouped.toString(rows) + u" rows loaded";
}

} // namespace quarrow
