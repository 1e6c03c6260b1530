#pragma once

#include <ostream>

namespace quarrow::cli {

// The whole command-line converter: parses the arguments and converts.
// Returns the exit status (0 done, 1 failure, 2 bad usage).
int runQuarrowCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err, bool stderrIsTerminal);

} // namespace quarrow::cli
