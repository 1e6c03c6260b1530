#include "ProfilePass.h"

#include "Converter.h"
#include "files/FileOpen.h"
#include "profile/TypeSuggestion.h"
#include "sql/ScriptFormatter.h"
#include "text/Utf8.h"

#include <sstream>

namespace quarrow::cli {

ProfilingSink::ProfilingSink(const ScriptOptions& script, bool shapesOnly, LineSink* next)
    : m_script(script), m_shapesOnly(shapesOnly), m_next(next), m_profiler(0, script.separator),
      m_counter(script.separator), m_byteCounter(static_cast<char>(script.separator))
{
}

void ProfilingSink::startFile(std::string name)
{
    // A line left unfinished by a failed reading is not counted.
    m_inPieces = false;
    m_counter.finish();
    m_byteCounter.finish();
    if (!m_started) {
        m_firstLine.clear();
        m_firstLineBytes.clear();
    }
    m_profiler.startFile(std::move(name));
}

bool ProfilingSink::takesParts() const
{
    return m_shapesOnly && m_next != nullptr && m_next->takesParts() && m_script.separator != u'\0'
           && m_script.separator != kQuote && (m_script.separator < 0x80 || !takesUtf8());
}

void ProfilingSink::linePart(std::u16string_view piece)
{
    if (m_started)
        m_counter.feed(piece.data(), piece.data() + piece.size());
    else
        m_firstLine.append(piece);
    m_inPieces = true;
    m_next->linePart(piece);
}

void ProfilingSink::utf8LinePart(std::string_view piece)
{
    if (m_started)
        m_byteCounter.feed(piece.data(), piece.data() + piece.size());
    else
        m_firstLineBytes.append(piece);
    m_inPieces = true;
    m_next->utf8LinePart(piece);
}

bool ProfilingSink::start(std::u16string_view firstLine)
{
    m_setup = setUpColumns(firstLine, loadOptionsFor(m_script));
    m_profiler.setColumns(m_setup.names.size(), m_shapesOnly);
    m_started = true;
    if (m_script.headerLine)
        m_profiler.skipLine();
    return m_script.headerLine;
}

void ProfilingSink::line(std::u16string_view text)
{
    if (m_inPieces) {
        // The last piece of a line that came in pieces.
        m_inPieces = false;
        if (m_started) {
            m_counter.feed(text.data(), text.data() + text.size());
            m_profiler.addShape(m_counter.finish());
        } else {
            m_firstLine.append(text);
            if (!start(m_firstLine))
                m_profiler.addRow(m_firstLine);
            m_firstLine.clear();
            m_firstLine.shrink_to_fit();
        }
        m_next->line(text);
        return;
    }
    if (m_started || !start(text))
        m_profiler.addRow(text);
    if (m_next)
        m_next->line(text);
}

bool ProfilingSink::takesUtf8() const
{
    if (m_next)
        return m_next->takesUtf8();
    return m_script.encoding == TextEncoding::Utf8 && TableProfiler::takesUtf8(m_script.separator);
}

void ProfilingSink::utf8Line(std::string_view bytes)
{
    if (m_inPieces) {
        m_inPieces = false;
        if (m_started) {
            m_byteCounter.feed(bytes.data(), bytes.data() + bytes.size());
            m_profiler.addShape(m_byteCounter.finish());
        } else {
            m_firstLineBytes.append(bytes);
            std::u16string first(m_firstLineBytes.size(), u'\0');
            const auto decoded = utf8::decode(reinterpret_cast<const unsigned char*>(m_firstLineBytes.data()),
                                              m_firstLineBytes.size(), first.data(), true);
            first.resize(decoded.written);
            if (!start(first))
                m_profiler.addRow(first);
            m_firstLineBytes.clear();
            m_firstLineBytes.shrink_to_fit();
        }
        m_next->utf8Line(bytes);
        return;
    }
    const bool direct = TableProfiler::takesUtf8(m_script.separator);
    if (!direct || !m_started) {
        if (m_scratch.size() < bytes.size())
            m_scratch.resize(bytes.size());
        const auto decoded =
            utf8::decode(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), m_scratch.data(), true);
        const std::u16string_view text(m_scratch.data(), decoded.written);
        if (m_started || !start(text)) {
            if (direct)
                m_profiler.addUtf8Row(bytes);
            else
                m_profiler.addRow(text);
        }
    } else {
        m_profiler.addUtf8Row(bytes);
    }
    if (m_next)
        m_next->utf8Line(bytes);
}

void warnAboutStructure(const TableProfile& profile, std::size_t columns, std::ostream& err)
{
    std::istringstream lines(describeStructure(profile, columns));
    for (std::string line; std::getline(lines, line);)
        err << "quarrow-cli: warning: " << line << "\n";
}

std::optional<int> profileBeforeWriting(const ConverterOptions& options, std::optional<TypeList>& types,
                                        std::ostream& err)
{
    ProfilingSink sink(options.script, false);
    for (const auto& path : options.inputs) {
        sink.startFile(pathText(path));
        try {
            readLines(path, options.script.encoding, sink, nullptr,
                      {options.script.exactQuoting, options.script.separator});
        } catch (const ReadError& e) {
            err << "quarrow-cli: File load error! " << e.what() << "\n";
            return kExitFailure;
        }
    }
    if (!sink.started())
        return std::nullopt; // the writing pass says "No input!"

    const TableProfile& profile = sink.profile();
    const std::size_t columns = sink.columns().names.size();
    const auto suggestions = suggestTypes(profile, options.script.dialect, options.script.nullEmpty);
    if (options.explain)
        err << explainProfile(profile, sink.columns().names, suggestions);
    if (options.strict && profile.longRows() + profile.shortRows() > 0) {
        std::istringstream lines(describeStructure(profile, columns));
        for (std::string line; std::getline(lines, line);)
            err << "quarrow-cli: " << line << "\n";
        err << "quarrow-cli: nothing written (--strict)\n";
        return kExitFailure;
    }
    warnAboutStructure(profile, columns, err);
    if (options.suggestTypes) {
        TypeList suggested;
        suggested.reserve(suggestions.size());
        for (const auto& s : suggestions)
            suggested.push_back(s.type);
        if (types)
            ApplyTypeList(*types, suggested);
        types = std::move(suggested);
    }
    return std::nullopt;
}

} // namespace quarrow::cli
