#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <string_view>

namespace quarrow::windows {

// The twelve texts of an executable's version block, in the order the
// program's version record keeps them.
inline constexpr std::array<std::wstring_view, 12> kVersionKeys = {
    L"CompanyName",      L"FileDescription", L"FileVersion",    L"InternalName", L"LegalCopyright", L"LegalTrademarks",
    L"OriginalFileName", L"ProductName",     L"ProductVersion", L"Comments",     L"PrivateBuild",   L"SpecialBuild",
};

struct VersionTexts {
    std::array<std::wstring, kVersionKeys.size()> values; // empty where the table lacks the key

    const std::wstring& operator[](std::wstring_view key) const;
};

// Reads the string table of the first translation of the executable's
// VERSIONINFO resource. Throws std::system_error with the system's error
// when the file has no version resource or it cannot be read; never returns
// a partly filled record.
VersionTexts readVersionResource(const std::filesystem::path& executable);

// "major.minor" of the fixed file version; "65535.65535" when there is none.
std::wstring fileVersionText(const std::filesystem::path& executable);

} // namespace quarrow::windows
