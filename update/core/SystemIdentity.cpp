#include "update/core/SystemIdentity.h"

#include "engine/text/UnicodeText.h"

#include <sys/utsname.h>
#include <systemd/sd-id128.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <locale.h>
#include <sstream>
#include <utility>

namespace quarrow {

namespace {

std::u16string widen(std::string_view ascii)
{
    return std::u16string(ascii.begin(), ascii.end());
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return {};
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Leading run of digits of `text` from `pos`, as a number; advances `pos`.
unsigned long leadingNumber(std::string_view text, std::size_t& pos)
{
    unsigned long value = 0;
    bool any = false;
    while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos]))) {
        if (value < 100000000)
            value = value * 10 + static_cast<unsigned long>(text[pos] - '0');
        ++pos;
        any = true;
    }
    return any ? value : 0;
}

bool sixtyFourBitMachine(std::string_view machine)
{
    for (std::string_view known : {"x86_64", "amd64", "aarch64", "arm64", "ppc64", "ppc64le", "s390x", "riscv64",
                                   "mips64", "loongarch64", "sparc64", "alpha", "ia64"}) {
        if (machine == known)
            return true;
    }
    return false;
}

std::string unquoteShellValue(std::string_view value)
{
    std::string out;
    char quote = 0;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (quote == 0 && (c == '"' || c == '\'')) {
            quote = c;
        } else if (quote != 0 && c == quote) {
            quote = 0;
        } else if (c == '\\' && quote != '\'' && i + 1 < value.size()) {
            out += value[++i];
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace

std::u16string describeOperatingSystem(std::string_view productName, std::string_view kernelName,
                                       std::string_view kernelRelease, std::string_view machine)
{
    std::size_t pos = 0;
    const unsigned long major = leadingNumber(kernelRelease, pos);
    unsigned long minor = 0;
    unsigned long build = 0;
    if (pos < kernelRelease.size() && kernelRelease[pos] == '.') {
        ++pos;
        minor = leadingNumber(kernelRelease, pos);
        if (pos < kernelRelease.size() && kernelRelease[pos] == '.') {
            ++pos;
            build = leadingNumber(kernelRelease, pos);
        }
    }
    std::string text(productName.empty() ? kernelName : productName);
    if (text.empty())
        text = "Linux";
    text += " (Version " + std::to_string(major) + "." + std::to_string(minor) + ", Build " + std::to_string(build)
            + ", " + (sixtyFourBitMachine(machine) ? "64-bit Edition" : "32-bit Edition") + ")";
    return fromUtf8(text);
}

std::string osReleaseName(std::string_view osReleaseText)
{
    std::string pretty;
    std::string name;
    std::istringstream lines{std::string(osReleaseText)};
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const auto eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        const std::string_view key = std::string_view(line).substr(0, eq);
        const std::string_view value = std::string_view(line).substr(eq + 1);
        if (key == "PRETTY_NAME")
            pretty = unquoteShellValue(value);
        else if (key == "NAME")
            name = unquoteShellValue(value);
    }
    return pretty.empty() ? name : pretty;
}

std::string userLocaleFromEnvironment()
{
    for (const char* variable : {"LC_ALL", "LC_TIME", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && *value != '\0')
            return value;
    }
    return "C";
}

bool localeInstalled(const std::string& posixName)
{
    locale_t loaded = newlocale(LC_ALL_MASK, posixName.c_str(), static_cast<locale_t>(nullptr));
    if (loaded == static_cast<locale_t>(nullptr))
        return false;
    freelocale(loaded);
    return true;
}

std::u16string localeNameFor(std::string_view posixName, const std::function<bool(const std::string&)>& installed)
{
    // language[_TERRITORY][.codeset][@modifier]
    const std::string_view base = posixName.substr(0, posixName.find_first_of(".@"));
    const auto underscore = base.find('_');
    if (underscore == std::string_view::npos)
        return u"xx";
    const std::string_view language = base.substr(0, underscore);
    const std::string_view country = base.substr(underscore + 1);
    const auto letters = [](std::string_view part, std::size_t min, std::size_t max) {
        if (part.size() < min || part.size() > max)
            return false;
        for (const char c : part) {
            if (!std::isalpha(static_cast<unsigned char>(c)))
                return false;
        }
        return true;
    };
    if (!letters(language, 2, 3) || !(letters(country, 2, 2) || (country.size() == 3 && std::isdigit(country[0]))))
        return u"xx";
    if (!installed(std::string(posixName)))
        return u"xx";
    return widen(language) + u"-" + widen(country);
}

std::optional<Id128> machineIdFor(const Id128& application)
{
    sd_id128_t app{};
    static_assert(sizeof(app.bytes) == std::tuple_size_v<Id128>);
    std::copy(application.begin(), application.end(), app.bytes);
    sd_id128_t derived{};
    if (sd_id128_get_machine_app_specific(app, &derived) < 0)
        return std::nullopt;
    Id128 id{};
    std::copy(std::begin(derived.bytes), std::end(derived.bytes), id.begin());
    return id;
}

std::u16string guidText(const Id128& id)
{
    static constexpr char16_t kDigits[] = u"0123456789abcdef";
    std::u16string text;
    text.reserve(36);
    for (std::size_t i = 0; i < id.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10)
            text += u'-';
        text += kDigits[id[i] >> 4];
        text += kDigits[id[i] & 0x0f];
    }
    return text;
}

HostIdentity::HostIdentity() : HostIdentity(Sources{}) {}

HostIdentity::HostIdentity(Sources sources) : m_sources(std::move(sources)), m_userLocale(userLocaleFromEnvironment())
{
}

std::u16string HostIdentity::operatingSystem()
{
    std::string name = osReleaseName(readFile(m_sources.osRelease));
    if (name.empty())
        name = osReleaseName(readFile(m_sources.osReleaseFallback));
    utsname system{};
    if (uname(&system) != 0)
        return describeOperatingSystem(name, "Linux", "", "");
    return describeOperatingSystem(name, system.sysname, system.release, system.machine);
}

std::u16string HostIdentity::localeName()
{
    return localeNameFor(m_userLocale, localeInstalled);
}

std::u16string HostIdentity::machineIdentifier()
{
    const std::optional<Id128> id = m_sources.machineId(kApplicationId);
    return id ? guidText(*id) : std::u16string();
}

} // namespace quarrow
