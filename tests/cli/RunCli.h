#pragma once

#include "cli/QuarrowCli.h"

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>
#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace quarrow::test {

// One run of the converter's command line, in-process.
struct Run {
    int status = -1;
    std::string out;
    std::string err;
};

inline Run runCli(std::vector<std::string> args)
{
    args.insert(args.begin(), "quarrow-cli");
    std::vector<const char*> argv;
    for (const auto& a : args)
        argv.push_back(a.c_str());
    std::ostringstream out;
    std::ostringstream err;
    Run run;
    run.status = cli::runQuarrowCli(static_cast<int>(argv.size()), argv.data(), out, err, false);
    run.out = out.str();
    run.err = err.str();
    return run;
}

#ifndef _WIN32
// The exit status of a shell command line (-1 when a signal ended it).
inline int shell(const std::string& command)
{
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A text as one word for the shell.
inline std::string quoted(const std::string& text)
{
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}
#endif

} // namespace quarrow::test
