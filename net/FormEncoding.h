#pragma once

#include "net/PostExchange.h"

#include <string>

namespace quarrow {

// The request body an HTML form sends as application/x-www-form-urlencoded.
// Each field is split at its first "=" into name and value; a field without
// "=" is a name with an empty value, sent as "name=". Both parts go as UTF-8
// (a lone surrogate becomes U+FFFD), letters, digits and "*-._" unchanged, a
// space as "+" and every other byte as %XX with upper-case digits. Fields are
// joined by "&" in list order.
std::string formBody(const RequestFields& fields);

} // namespace quarrow
