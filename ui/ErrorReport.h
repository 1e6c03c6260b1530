#pragma once

#include <QString>

#include <exception>

class QWidget;

namespace quarrow {

class Dialogs;

// The application's title: the caption of the general error report.
inline constexpr char16_t kApplicationTitle[] = u"Quarrow";

// The description of the innermost failure of a chain of nested exceptions.
QString innermostDescription(std::exception_ptr failure);

// Adds a full stop when the last character's code is above the full stop's
// (after a letter, a digit or a question mark; not after ".", "!", ",", ")",
// a quote or a space). An empty text stays empty.
QString withFullStop(const QString& description);

// The general error report: a failure that a handler does not deal with
// itself ends that handler and is shown here; the program goes on.
void reportFailure(Dialogs& dialogs, QWidget* parent, std::exception_ptr failure);

// Runs a handler; a failure escaping it goes to the general error report.
template <typename Handler>
void runGuarded(Dialogs& dialogs, QWidget* parent, Handler&& handler)
{
    try {
        handler();
    } catch (...) {
        reportFailure(dialogs, parent, std::current_exception());
    }
}

} // namespace quarrow
