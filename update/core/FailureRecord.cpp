#include "update/core/FailureRecord.h"

#include "engine/text/UnicodeText.h"

namespace quarrow {

void FailureRecord::record(std::u16string_view message)
{
    if (trimControls(message).empty())
        return;
    m_failed = true;
    if (!m_text.empty())
        m_text += u"\r\r";
    m_text += message;
}

void FailureRecord::clear() noexcept
{
    m_failed = false;
    m_text.clear();
}

} // namespace quarrow
