#pragma once

#include <QLocale>
#include <QString>

namespace quarrow {

// The separator text a new window starts with: ";" where the locale writes
// decimals with a comma (its lists then use the semicolon), else ",".
QString listSeparatorText(const QLocale& locale = QLocale());

// "12,345 rows loaded": the count with the locale's digit grouping.
QString rowsLoadedText(qint64 rows, const QLocale& locale = QLocale());

} // namespace quarrow
