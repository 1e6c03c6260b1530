#pragma once

#include <QString>

namespace quarrow {

// The maker's web server. Every request and every link to it starts from one
// of these two addresses (no trailing slash). They default to the public
// server; QUARROW_HTTPS_BASE and QUARROW_HTTP_BASE replace them, so a test or
// a staging setup can point the program at another server.
QString makerHttpsBase();
QString makerHttpBase();

} // namespace quarrow
