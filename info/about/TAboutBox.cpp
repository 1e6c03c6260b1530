#include "TAboutBox.h"

namespace quarrow {

void openAboutBox(TAppForm&, Dialogs&) {}

} // namespace quarrow
