#pragma once

// Reads back the value lines of a script the way a database would: each
// item an expression of string literals, character calls, large-object
// casts, joiners and parentheses, evaluated to its bytes, with the depth of
// the tree a parser builds for it. Only what the writer produces is known;
// anything else is a failure with the place where it was met.

#include "engine/workspace/Dialect.h"

#include <algorithm>
#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace quarrow::test {

struct ReadValue {
    std::string bytes;
    bool null = false;
    std::size_t depth = 0; // operator and function nodes on the longest path
};

class ValueExpressionReader {
public:
    ValueExpressionReader(std::string_view text, Dialect dialect) : m_s(text), m_dialect(dialect) {}

    // The rows of every INSERT statement in the script, line ends between
    // tokens ignored (a line never breaks inside a literal).
    std::vector<std::vector<ReadValue>> rows()
    {
        std::vector<std::vector<ReadValue>> out;
        for (std::size_t at = m_s.find("VALUES"); at != std::string_view::npos; at = m_s.find("VALUES", m_i)) {
            m_i = at + 6;
            for (;;) {
                expect("(");
                std::vector<ReadValue> row;
                for (;;) {
                    row.push_back(item());
                    if (take(","))
                        continue;
                    expect(")");
                    break;
                }
                out.push_back(std::move(row));
                if (take(","))
                    continue;
                expect(";");
                break;
            }
        }
        return out;
    }

private:
    void blanks()
    {
        while (m_i < m_s.size() && (m_s[m_i] == '\r' || m_s[m_i] == '\n'))
            ++m_i;
    }
    bool take(std::string_view token)
    {
        blanks();
        if (m_s.substr(m_i, token.size()) != token)
            return false;
        m_i += token.size();
        return true;
    }
    [[noreturn]] void fail(std::string_view what) const
    {
        throw std::runtime_error(std::string(what) + " at byte " + std::to_string(m_i) + ": "
                                 + std::string(m_s.substr(m_i, 40)));
    }
    void expect(std::string_view token)
    {
        if (!take(token))
            fail("expected " + std::string(token));
    }
    std::string_view joiner() const
    {
        switch (m_dialect) {
        case Dialect::MsSql: return "+";
        case Dialect::Access: return "&";
        case Dialect::MySql: return ",";
        default: return "||";
        }
    }
    ReadValue item()
    {
        if (take("NULL"))
            return {{}, true, 0};
        return expression();
    }
    // A chain t0 j t1 j ... tk, left-deep: t0 lies under k joiners, ti under k - i + 1.
    ReadValue expression()
    {
        std::vector<ReadValue> terms{term()};
        while (m_dialect != Dialect::MySql && take(joiner()))
            terms.push_back(term());
        ReadValue out;
        const std::size_t k = terms.size() - 1;
        for (std::size_t i = 0; i < terms.size(); ++i) {
            out.bytes += terms[i].bytes;
            out.depth = std::max(out.depth, terms[i].depth + (i == 0 ? k : k - i + 1));
        }
        return out;
    }
    std::size_t number()
    {
        std::size_t n = 0;
        const std::size_t from = m_i;
        while (m_i < m_s.size() && m_s[m_i] >= '0' && m_s[m_i] <= '9')
            n = n * 10 + static_cast<std::size_t>(m_s[m_i++] - '0');
        if (m_i == from)
            fail("expected a number");
        return n;
    }
    ReadValue character(std::string_view rest)
    {
        const std::size_t code = number();
        expect(rest);
        if (code > 0x7F)
            fail("a character call past ASCII");
        return {std::string(1, static_cast<char>(code)), false, 1};
    }
    ReadValue term()
    {
        blanks();
        if (take("(")) {
            ReadValue inner = expression();
            expect(")");
            return inner;
        }
        if (m_dialect == Dialect::MsSql && m_s.substr(m_i, 2) == "N'")
            ++m_i;
        if (m_i < m_s.size() && m_s[m_i] == '\'') {
            ReadValue out;
            for (++m_i;; ++m_i) {
                if (m_i >= m_s.size())
                    fail("unclosed literal");
                const char c = m_s[m_i];
                if (c == '\r' || c == '\n')
                    fail("a line break inside a literal");
                if (c == '\'') {
                    if (m_i + 1 < m_s.size() && m_s[m_i + 1] == '\'') {
                        out.bytes += '\'';
                        ++m_i;
                        continue;
                    }
                    ++m_i;
                    return out;
                }
                out.bytes += c;
            }
        }
        for (const std::string_view call : {"char(", "CHR(", "NCHAR(", "Chr("}) {
            if (take(call))
                return character(")");
        }
        if (take("CHAR("))
            return character(" USING utf8mb4)");
        for (const std::string_view cast : {"TO_CLOB(", "CLOB(", "CONCAT("}) {
            if (take(cast)) {
                ReadValue inner = expression();
                if (cast == "CONCAT(") {
                    while (take(",")) {
                        const ReadValue next = expression();
                        inner.bytes += next.bytes;
                        inner.depth = std::max(inner.depth, next.depth);
                    }
                }
                expect(")");
                ++inner.depth;
                return inner;
            }
        }
        if (take("CAST(")) {
            ReadValue inner = expression();
            expect(" AS nvarchar(max))");
            ++inner.depth;
            return inner;
        }
        fail("unknown term");
    }

    std::string_view m_s;
    Dialect m_dialect;
    std::size_t m_i = 0;
};

// The lines of a text ended by CR LF, without their ends.
inline std::vector<std::string_view> linesOf(std::string_view text)
{
    std::vector<std::string_view> lines;
    std::size_t from = 0;
    for (std::size_t at = text.find("\r\n"); at != std::string_view::npos; at = text.find("\r\n", from)) {
        lines.push_back(text.substr(from, at - from));
        from = at + 2;
    }
    if (from < text.size())
        lines.push_back(text.substr(from));
    return lines;
}

} // namespace quarrow::test
