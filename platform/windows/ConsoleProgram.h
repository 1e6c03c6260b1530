#pragma once

#include <string>
#include <vector>

namespace quarrow::windows {

// The command line as UTF-8 arguments: the narrow argv of a Windows program
// is in the ANSI code page, which cannot spell every file name.
std::vector<std::string> utf8Arguments();

// Standard output in binary mode, so that a script's CR LF stays CR LF when
// redirected, and console output read as UTF-8, the encoding of messages.
void prepareStandardStreams();

// Whether standard error is a console window rather than a file or a pipe.
bool standardErrorIsConsole();

} // namespace quarrow::windows
