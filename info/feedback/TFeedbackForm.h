#pragma once

namespace quarrow {

class Dialogs;
class TAppForm;

// Opens the feedback window modally over the main window; returns when it
// has closed.
void openFeedbackWindow(TAppForm& owner, Dialogs& dialogs);

} // namespace quarrow
