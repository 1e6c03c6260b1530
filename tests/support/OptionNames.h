#pragma once

// The option names a usage text and a man page define and mention, so that
// a test can hold the two to the same list.

#include <cstddef>
#include <regex>
#include <set>
#include <sstream>
#include <string>

namespace quarrow::test {

using Names = std::set<std::string>;

// Every option name in `text`: `--long-name` or `-x`, standing alone (not
// inside a word such as "multi-row" or a path such as "/dev/fd/N").
inline Names optionNames(const std::string& text)
{
    static const std::regex name(R"((?:^|[\s,(\[|"])(--[A-Za-z0-9][A-Za-z0-9-]*|-[A-Za-z])(?=$|[\s,.;:=)\]|"]))");
    Names names;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), name); it != std::sregex_iterator(); ++it)
        names.insert((*it)[1].str());
    return names;
}

// Troff text as a reader sees it, for the names: `\-` is a hyphen and the
// font changes (\fB, \fI, \fR, \fP) go.
inline std::string plainTroff(const std::string& troff)
{
    static const std::regex fontChange(R"(\\f[BIRP])");
    std::string text = std::regex_replace(troff, fontChange, "");
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == '-') {
            out += '-';
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

struct HelpOptions {
    Names defined;   // the options the usage lists, one a line
    Names mentioned; // every option named anywhere in the usage
};

inline HelpOptions helpOptions(const std::string& help)
{
    // An option line starts with its names: "  -o,--output PATH   text".
    static const std::regex optionLine(R"(^\s+(-[^\s]+))");
    HelpOptions options;
    std::istringstream lines(help);
    for (std::string line; std::getline(lines, line);) {
        std::smatch m;
        if (std::regex_search(line, m, optionLine)) {
            std::string names = m[1].str();
            for (char& c : names)
                if (c == ',')
                    c = ' ';
            const Names found = optionNames(names);
            options.defined.insert(found.begin(), found.end());
        }
    }
    options.mentioned = optionNames(help);
    return options;
}

struct ManOptions {
    Names defined;   // the options of the OPTIONS section's entries (the line after .TP)
    Names mentioned; // every option named in the OPTIONS section
};

inline ManOptions manOptions(const std::string& troff)
{
    ManOptions options;
    std::istringstream lines(troff);
    bool inOptions = false;
    bool tagNext = false;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(".SH", 0) == 0) {
            inOptions = line.find("OPTIONS") != std::string::npos;
            continue;
        }
        if (!inOptions)
            continue;
        if (line.rfind(".TP", 0) == 0) {
            tagNext = true;
            continue;
        }
        const Names found = optionNames(plainTroff(line));
        if (tagNext)
            options.defined.insert(found.begin(), found.end());
        options.mentioned.insert(found.begin(), found.end());
        tagNext = false;
    }
    return options;
}

inline std::string missingFrom(const Names& wanted, const Names& present)
{
    std::string missing;
    for (const auto& name : wanted)
        if (!present.count(name))
            missing += (missing.empty() ? "" : " ") + name;
    return missing;
}

} // namespace quarrow::test
