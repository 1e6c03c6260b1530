#include "cli/ShapeReport.h"

#include <string>

namespace quarrow::cli {

namespace {

// The separator as a shell word for -s; Tab as the two characters \t.
std::string separatorArgument(char16_t separator)
{
    if (separator == u'\t')
        return "'\\t'";
    if (separator == u'\'')
        return "\"'\"";
    return separatorName(separator);
}

std::string_view encodingId(TextEncoding encoding)
{
    return encoding == TextEncoding::Ansi ? "ansi" : "utf8";
}

std::string groupArgument(GroupMark group)
{
    if (group == GroupMark::Apostrophe)
        return "\"'\"";
    if (group == GroupMark::Blank)
        return "blank";
    return "'" + std::string(groupMarkName(group)) + "'";
}

std::string numberFormText(const ValueForms& forms)
{
    ValueForms numbers = forms;
    numbers.dates = DateOrder::None;
    return describeForms(numbers);
}

} // namespace

void printShapeProposal(const CsvShape& shape, std::ostream& out)
{
    constexpr std::string_view keep = "undecided: keep the current setting";
    std::string options;
    if (shape.linesAbove.value) {
        out << "lines above the table: " << *shape.linesAbove.value << "\n  " << shape.linesAbove.evidence << "\n";
        options += " --skip-lines " + std::to_string(*shape.linesAbove.value);
    }
    out << "separator: ";
    if (shape.separator.value) {
        out << separatorName(*shape.separator.value);
        options += " -s " + separatorArgument(*shape.separator.value);
    } else {
        out << keep;
    }
    out << "\n  " << shape.separator.evidence << "\n";

    out << "header line: ";
    if (shape.headerLine.value) {
        out << (*shape.headerLine.value ? "yes" : "no");
        options += *shape.headerLine.value ? " -H" : " --no-header";
    } else {
        out << keep;
    }
    out << "\n  " << shape.headerLine.evidence << "\n";

    out << "encoding: ";
    if (shape.encoding.value) {
        out << encodingId(*shape.encoding.value);
        options += " -e " + std::string(encodingId(*shape.encoding.value));
    } else {
        out << keep;
    }
    out << "\n  " << shape.encoding.evidence << "\n";

    out << "exact quoting: ";
    if (shape.exactQuoting.value) {
        out << (*shape.exactQuoting.value ? "yes" : "no");
        if (*shape.exactQuoting.value)
            options += " --rfc4180";
    } else {
        out << keep;
    }
    out << "\n  " << shape.exactQuoting.evidence << "\n";

    // The forms are news only where the file shows one, or shows two that
    // clash; most files write numbers and dates as they are read anyway.
    auto worthSaying = [](const auto& choice) {
        return choice.value.has_value() || choice.evidence.find("not clear") != std::string::npos;
    };
    if (worthSaying(shape.numberForm)) {
        out << "numbers: ";
        if (const auto& numbers = shape.numberForm.value) {
            out << numberFormText(*numbers);
            options += " --decimal " + std::string(decimalMarkName(numbers->decimal));
            if (numbers->group != GroupMark::None)
                options += " --group " + groupArgument(numbers->group);
        } else {
            out << keep;
        }
        out << "\n  " << shape.numberForm.evidence << "\n";
    }
    if (worthSaying(shape.dateOrder)) {
        out << "dates: ";
        if (const auto& order = shape.dateOrder.value) {
            out << dateOrderWords(*order);
            options += " --dates " + std::string(dateOrderName(*order));
        } else {
            out << keep;
        }
        out << "\n  " << shape.dateOrder.evidence << "\n";
    }
    if (!options.empty())
        out << "options:" << options << "\n";
}

void applyDetectedShape(const CsvShape& shape, const DetectedSettings& asked, ScriptOptions& script, std::ostream& err,
                        bool quiet)
{
    auto say = [&](const std::string& line) {
        if (!quiet)
            err << "quarrow-cli: " << line << "\n";
    };
    if (asked.skipLines) {
        if (shape.linesAbove.value) {
            script.skipLines = *shape.linesAbove.value;
            say("skip " + std::to_string(script.skipLines) + " lines (detected: " + shape.linesAbove.evidence + ")");
        } else {
            say("skip " + std::to_string(script.skipLines)
                + " lines (detected: every line from the first is of the table's shape)");
        }
    }
    if (asked.separator) {
        if (shape.separator.value) {
            script.separator = *shape.separator.value;
            say("separator " + separatorName(script.separator) + " (detected: " + shape.separator.evidence + ")");
        } else {
            say("separator stays " + separatorName(script.separator) + " (not detected: " + shape.separator.evidence
                + ")");
        }
    }
    if (asked.headerLine) {
        const std::string was = script.headerLine ? "on" : "off";
        if (shape.headerLine.value) {
            script.headerLine = *shape.headerLine.value;
            say(std::string("header line ") + (script.headerLine ? "on" : "off")
                + " (detected: " + shape.headerLine.evidence + ")");
        } else {
            say("header line stays " + was + " (not detected: " + shape.headerLine.evidence + ")");
        }
    }
    if (asked.encoding) {
        if (shape.encoding.value) {
            script.encoding = *shape.encoding.value;
            say("encoding " + std::string(encodingId(script.encoding)) + " (detected: " + shape.encoding.evidence
                + ")");
        } else {
            say("encoding stays " + std::string(encodingId(script.encoding))
                + " (not detected: " + shape.encoding.evidence + ")");
        }
    }
    if (asked.numberForm) {
        if (const auto& numbers = shape.numberForm.value) {
            script.forms.decimal = numbers->decimal;
            script.forms.group = numbers->group;
            say("numbers: " + numberFormText(script.forms) + " (detected: " + shape.numberForm.evidence + ")");
        } else {
            say("numbers: as they stand (not detected: " + shape.numberForm.evidence + ")");
        }
    }
    if (asked.dateOrder) {
        if (shape.dateOrder.value) {
            script.forms.dates = *shape.dateOrder.value;
            say("dates: " + std::string(dateOrderWords(script.forms.dates)) + " (detected: " + shape.dateOrder.evidence
                + ")");
        } else {
            say("dates: as they stand (not detected: " + shape.dateOrder.evidence + ")");
        }
    }
    if (shape.exactQuoting.value.value_or(false) && !script.exactQuoting)
        say("note: " + shape.exactQuoting.evidence + " (--rfc4180)");
    // Said even when quiet: the fields past the title's are dropped.
    if (shape.linesAbove.value && script.skipLines != *shape.linesAbove.value)
        err << "quarrow-cli: warning: " << shape.linesAbove.evidence << " (--skip-lines " << *shape.linesAbove.value
            << " leaves them out, or --skip-lines auto)\n";
}

} // namespace quarrow::cli
