#pragma once

class QWidget;

namespace quarrow {

// Moves a top-level window so that its frame sits in the middle of the
// available area of the screen it belongs to (the primary screen for a
// window not shown yet).
void centreOnScreen(QWidget& window);

} // namespace quarrow
