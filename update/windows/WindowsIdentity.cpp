#include "update/windows/WindowsIdentity.h"

#include <windows.h>

#include <string_view>

namespace quarrow::windows {

namespace {

std::u16string fromWide(std::wstring_view text)
{
    return {text.begin(), text.end()};
}

std::u16string number(unsigned value)
{
    const std::string digits = std::to_string(value);
    return {digits.begin(), digits.end()};
}

// The releases have kept their version numbers since Windows 10, which is
// 10.0 with builds below 22000; its server is Windows Server 2016, build 14393.
std::u16string productName(const WindowsVersion& v)
{
    const bool server = !v.workstation;
    switch (v.major * 100 + v.minor) {
    case 500: return u"Windows 2000";
    case 501: return u"Windows XP";
    case 502:
        if (v.workstation)
            return u"Windows XP"; // the x64 edition of XP
        return v.serverR2 ? u"Windows Server 2003 R2" : u"Windows Server 2003";
    case 600: return server ? u"Windows Server 2008" : u"Windows Vista";
    case 601: return server ? u"Windows Server 2008 R2" : u"Windows 7";
    case 602: return server ? u"Windows Server 2012" : u"Windows 8";
    case 603: return server ? u"Windows Server 2012 R2" : u"Windows 8.1";
    case 1000:
        if (server)
            return v.build == 14393 ? u"Windows Server 2016" : u"Windows";
        return v.build < 22000 ? u"Windows 10" : u"Windows";
    default: return u"Windows";
    }
}

} // namespace

std::u16string describeWindows(const WindowsVersion& v)
{
    std::u16string text = productName(v);
    if (v.servicePack != 0)
        text += u" Service Pack " + number(v.servicePack);
    text += u" (Version " + number(v.major) + u"." + number(v.minor) + u", Build " + number(v.build) + u", ";
    text += v.x64 ? u"64-bit Edition)" : u"32-bit Edition)";
    return text;
}

WindowsVersion runningWindowsVersion()
{
    WindowsVersion version;
    // https://learn.microsoft.com/windows/win32/api/wdm/nf-wdm-rtlgetversion:
    // unlike GetVersionEx, not shimmed to an older release for programs
    // without a manifest. It lives in ntdll, which has no import library in
    // every toolchain, so it is looked up.
    using RtlGetVersion = LONG(WINAPI*)(OSVERSIONINFOEXW*);
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    const auto get =
        ntdll != nullptr
            ? reinterpret_cast<RtlGetVersion>(reinterpret_cast<void*>(::GetProcAddress(ntdll, "RtlGetVersion")))
            : nullptr;
    OSVERSIONINFOEXW info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (get != nullptr && get(&info) == 0) {
        version.major = info.dwMajorVersion;
        version.minor = info.dwMinorVersion;
        version.build = info.dwBuildNumber;
        version.servicePack = info.wServicePackMajor;
        version.workstation = info.wProductType == VER_NT_WORKSTATION;
    }
    // https://learn.microsoft.com/windows/win32/api/winuser/nf-winuser-getsystemmetrics
    version.serverR2 = ::GetSystemMetrics(SM_SERVERR2) != 0;
    // https://learn.microsoft.com/windows/win32/api/sysinfoapi/nf-sysinfoapi-getnativesysteminfo:
    // the machine's processor, also for a 32-bit program under WOW64.
    SYSTEM_INFO system{};
    ::GetNativeSystemInfo(&system);
    version.x64 = system.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64;
    return version;
}

WindowsIdentity::WindowsIdentity() : m_localeName(u"xx")
{
    // https://learn.microsoft.com/windows/win32/api/winnls/nf-winnls-getuserdefaultlocalename,
    // IsValidLocaleName (installed and supported) and GetLocaleInfoEx with
    // LOCALE_SISO639LANGNAME and LOCALE_SISO3166CTRYNAME.
    wchar_t locale[LOCALE_NAME_MAX_LENGTH];
    if (::GetUserDefaultLocaleName(locale, LOCALE_NAME_MAX_LENGTH) == 0 || !::IsValidLocaleName(locale))
        return;
    wchar_t language[16];
    wchar_t country[16];
    if (::GetLocaleInfoEx(locale, LOCALE_SISO639LANGNAME, language, 16) == 0
        || ::GetLocaleInfoEx(locale, LOCALE_SISO3166CTRYNAME, country, 16) == 0 || language[0] == L'\0'
        || country[0] == L'\0')
        return;
    m_localeName = fromWide(language) + u"-" + fromWide(country);
}

std::u16string WindowsIdentity::operatingSystem()
{
    return describeWindows(runningWindowsVersion());
}

std::u16string WindowsIdentity::localeName()
{
    return m_localeName;
}

std::u16string WindowsIdentity::machineIdentifier()
{
    // https://learn.microsoft.com/windows/win32/winprog64/accessing-an-alternate-registry-view:
    // KEY_WOW64_64KEY reads the 64-bit view also from a 32-bit program,
    // where the value lives; KEY_READ opens it read-only.
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Cryptography", 0, KEY_READ | KEY_WOW64_64KEY, &key)
        != ERROR_SUCCESS)
        return {};
    // https://learn.microsoft.com/windows/win32/api/winreg/nf-winreg-reggetvaluew:
    // RRF_RT_REG_SZ takes a string value only and ends it with a NUL.
    wchar_t value[128];
    DWORD size = sizeof value;
    const LSTATUS status = ::RegGetValueW(key, nullptr, L"MachineGuid", RRF_RT_REG_SZ, nullptr, value, &size);
    ::RegCloseKey(key);
    if (status != ERROR_SUCCESS || size < sizeof(wchar_t))
        return {};
    return fromWide(std::wstring_view(value, size / sizeof(wchar_t) - 1));
}

} // namespace quarrow::windows
