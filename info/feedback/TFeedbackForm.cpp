#include "TFeedbackForm.h"

namespace quarrow {

void openFeedbackWindow(TAppForm&, Dialogs&) {}

} // namespace quarrow
