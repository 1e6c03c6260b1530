#pragma once

namespace quarrow {

class Dialogs;
class TAppForm;

// Opens the About window modally over the main window; returns when it has
// closed.
void openAboutBox(TAppForm& owner, Dialogs& dialogs);

} // namespace quarrow
