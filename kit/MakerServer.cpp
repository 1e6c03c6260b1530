#include "kit/MakerServer.h"

#include <QtGlobal>

namespace quarrow {

namespace {

QString baseFromEnvironment(const char* variable, const QString& fallback)
{
    QString value = qEnvironmentVariable(variable).trimmed();
    if (value.isEmpty())
        return fallback;
    while (value.endsWith(u'/'))
        value.chop(1);
    return value;
}

} // namespace

QString makerHttpsBase()
{
    return baseFromEnvironment("QUARROW_HTTPS_BASE", QStringLiteral("https://www.tarnix.example"));
}

QString makerHttpBase()
{
    return baseFromEnvironment("QUARROW_HTTP_BASE", QStringLiteral("http://www.tarnix.example"));
}

} // namespace quarrow
