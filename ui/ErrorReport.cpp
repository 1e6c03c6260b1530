#include "ui/ErrorReport.h"

#include "kit/Dialogs.h"

#include <stdexcept>

namespace quarrow {

QString innermostDescription(std::exception_ptr failure)
{
    QString description;
    while (failure) {
        std::exception_ptr inner;
        try {
            std::rethrow_exception(failure);
        } catch (const std::exception& e) {
            description = QString::fromUtf8(e.what());
            try {
                std::rethrow_if_nested(e);
            } catch (...) {
                inner = std::current_exception();
            }
        } catch (...) {
            description = QStringLiteral("Unknown failure");
        }
        failure = inner;
    }
    return description;
}

QString withFullStop(const QString& description)
{
    if (description.isEmpty() || description.back().unicode() <= u'.')
        return description;
    return description + u'.';
}

void reportFailure(Dialogs& dialogs, QWidget* parent, std::exception_ptr failure)
{
    try {
        dialogs.message(parent, MessageIcon::Error, QString::fromUtf16(kApplicationTitle),
                        withFullStop(innermostDescription(failure)));
    } catch (...) {
        // The report itself failed (out of memory, say): nothing more can be shown.
    }
}

} // namespace quarrow
