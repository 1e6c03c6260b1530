#pragma once

#include "cli/QuarrowCli.h"

#include <sstream>
#include <string>
#include <vector>

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

} // namespace quarrow::test
