#pragma once

#include <QString>

namespace quarrow {

// The one way the program opens an address: handed to the desktop's handler
// for it. Nothing waits for the handler and nothing is reported, whether the
// address opened or not.
void openWebAddress(const QString& address);

// The online help page named after the product: the plain-HTTP server
// address, "/help/", the product name with ASCII capitals lowered and every
// space made a hyphen, and a closing "/". Nothing is escaped.
QString helpAddress(const QString& httpBase, const QString& productName);

} // namespace quarrow
