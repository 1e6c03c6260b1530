#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quarrow {

// The server answers with one value per line, each wrapped in a tag.

// Splits at every CR LF, lone CR and lone LF; a break at the very end adds
// no empty line.
std::vector<std::u16string> replyLines(std::u16string_view reply);

// The value of <name>...</name> when the line, exactly as received, starts
// with the opening tag and ends with the closing tag; otherwise, or when the
// line or the name is empty, the empty text. The tag is looked for in lower
// case whatever case `name` has.
std::u16string tagValue(std::u16string_view line, std::u16string_view name);

// A reply whose text begins with "ERROR" (case-sensitive).
bool isErrorReply(std::u16string_view reply) noexcept;

// The line at 1-based `number`, or the empty text when the reply is shorter.
std::u16string_view replyLine(const std::vector<std::u16string>& lines, std::size_t number) noexcept;

} // namespace quarrow
