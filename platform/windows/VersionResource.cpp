#include "platform/windows/VersionResource.h"

#include <windows.h>

#include <cstdint>
#include <cwchar>
#include <system_error>
#include <vector>

namespace quarrow::windows {

namespace {

[[noreturn]] void failWithSystemError(const char* what)
{
    throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(), what);
}

// https://learn.microsoft.com/windows/win32/api/winver/nf-winver-getfileversioninfosizew
// and GetFileVersionInfoW: the size is 0 when the file has no version
// resource, with the reason in GetLastError.
std::vector<unsigned char> versionInfo(const std::filesystem::path& executable)
{
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(executable.c_str(), &ignored);
    if (size == 0)
        failWithSystemError("GetFileVersionInfoSizeW");
    std::vector<unsigned char> info(size);
    if (!::GetFileVersionInfoW(executable.c_str(), 0, size, info.data()))
        failWithSystemError("GetFileVersionInfoW");
    return info;
}

} // namespace

const std::wstring& VersionTexts::operator[](std::wstring_view key) const
{
    static const std::wstring kNone;
    for (std::size_t i = 0; i < kVersionKeys.size(); ++i) {
        if (kVersionKeys[i] == key)
            return values[i];
    }
    return kNone;
}

VersionTexts readVersionResource(const std::filesystem::path& executable)
{
    std::vector<unsigned char> info = versionInfo(executable);

    // https://learn.microsoft.com/windows/win32/api/winver/nf-winver-verqueryvaluew:
    // "\VarFileInfo\Translation" is an array of (language, code page) pairs;
    // the first names the string table, "\StringFileInfo\040904E4\Key".
    void* translation = nullptr;
    UINT translationSize = 0;
    if (!::VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation\\", &translation, &translationSize)
        || translationSize < 2 * sizeof(std::uint16_t))
        failWithSystemError("VerQueryValueW");
    const auto* pair = static_cast<const std::uint16_t*>(translation);
    wchar_t table[9];
    std::swprintf(table, 9, L"%04X%04X", static_cast<unsigned>(pair[0]), static_cast<unsigned>(pair[1]));

    VersionTexts texts;
    for (std::size_t i = 0; i < kVersionKeys.size(); ++i) {
        const std::wstring query = L"\\StringFileInfo\\" + std::wstring(table) + L"\\" + std::wstring(kVersionKeys[i]);
        void* value = nullptr;
        UINT length = 0; // characters, the terminating NUL included
        if (::VerQueryValueW(info.data(), query.c_str(), &value, &length) && value != nullptr && length > 0) {
            const auto* text = static_cast<const wchar_t*>(value);
            texts.values[i].assign(text, ::wcsnlen(text, length));
        }
    }
    return texts;
}

std::wstring fileVersionText(const std::filesystem::path& executable)
{
    DWORD mostSignificant = 0xFFFFFFFF;
    try {
        std::vector<unsigned char> info = versionInfo(executable);
        void* fixed = nullptr;
        UINT size = 0;
        if (::VerQueryValueW(info.data(), L"\\", &fixed, &size) && size >= sizeof(VS_FIXEDFILEINFO))
            mostSignificant = static_cast<const VS_FIXEDFILEINFO*>(fixed)->dwFileVersionMS;
    } catch (const std::system_error&) {
    }
    return std::to_wstring(mostSignificant >> 16) + L"." + std::to_wstring(mostSignificant & 0xFFFF);
}

} // namespace quarrow::windows
