#include "VersionInfo.h"
#include <system_error>
namespace quarrow {
TEXEVersionData ReadVersionData(const QString&) { TEXEVersionData d; d.CompanyName = QStringLiteral("TARNIX"); d.ProductName = QStringLiteral("Quarrow"); return d; }
QString FileVersionText(const QString&) { return QStringLiteral("2.1"); }
}
