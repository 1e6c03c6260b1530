#pragma once

#include <string>
#include <string_view>

namespace quarrow {

// What went wrong during an update check, oldest first. Nothing shows the
// text; the check only asks whether anything failed since the last clearing.
class FailureRecord {
public:
    // A message that is empty once characters of code 32 or less are
    // trimmed from both ends records nothing; otherwise the message is kept
    // as given, after two carriage returns when others came before it.
    void record(std::u16string_view message);
    void clear() noexcept;

    bool failed() const noexcept { return m_failed; }
    const std::u16string& text() const noexcept { return m_text; }

private:
    bool m_failed = false;
    std::u16string m_text;
};

} // namespace quarrow
