#pragma once

#include "engine/csv/ShapeDetector.h"
#include "engine/sql/ScriptFormatter.h"

#include <ostream>

namespace quarrow::cli {

// Which settings a run takes from its first input's shape (-s auto,
// -H auto, -e auto).
struct DetectedSettings {
    bool separator = false;
    bool headerLine = false;
    bool encoding = false;
    bool numberForm = false; // --decimal auto
    bool dateOrder = false;  // --dates auto
    bool skipLines = false;  // --skip-lines auto

    bool any() const noexcept { return separator || headerLine || encoding || numberForm || dateOrder || skipLines; }
};

// --detect: the proposal, each choice with its evidence, and the options
// that give it.
void printShapeProposal(const CsvShape& shape, std::ostream& out);

// Sets the asked-for settings from the shape where it decides; the others
// stay. Says on `err` what each became and why, unless `quiet`; also when
// the file seems to need exact quoting that the run does not use. Lines
// above the table that the run does not skip are warned of even when quiet.
void applyDetectedShape(const CsvShape& shape, const DetectedSettings& asked, ScriptOptions& script, std::ostream& err,
                        bool quiet);

} // namespace quarrow::cli
