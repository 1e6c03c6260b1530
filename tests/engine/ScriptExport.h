#pragma once

// What the engine tests compare scripts with: the script a CSV text makes,
// loaded and written as the window does, and expected texts written with
// plain line breaks.

#include "tests/support/TempDir.h"

#include "engine/sql/ByteSink.h"
#include "engine/sql/ScriptFormatter.h"
#include "engine/sql/ScriptWriter.h"
#include "engine/workspace/Workspace.h"

#include <string>
#include <string_view>

namespace quarrow::test {

// Expected scripts are written with \n; every line of a script ends in CR LF.
inline std::string crlf(std::string_view text)
{
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out += "\r\n";
        else
            out += c;
    }
    return out;
}

// The script of one file holding csv, read with the reading settings that
// options carry.
inline std::string exportCsv(const std::string& csv, const ScriptOptions& options)
{
    TempDir dir;
    Workspace workspace;
    workspace.load(dir.write("in.csv", csv), loadOptionsFor(options));
    StringSink sink;
    Donustur(workspace, options, sink);
    return sink.bytes;
}

} // namespace quarrow::test
