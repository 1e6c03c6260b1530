#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace quarrow {

// How an update request names the system and the machine it comes from.
class SystemIdentity {
public:
    virtual ~SystemIdentity() = default;
    virtual std::u16string operatingSystem() = 0;
    // language-COUNTRY, or "xx" when the user's locale cannot be named.
    virtual std::u16string localeName() = 0;
    // The empty text when the machine has no readable identifier.
    virtual std::u16string machineIdentifier() = 0;
};

// A 128-bit id, its bytes in the order they are written.
using Id128 = std::array<std::uint8_t, 16>;

// This program's own application id. The machine id itself must never leave
// the machine (machine-id(5)); requests carry the id libsystemd derives from
// it for this application instead, a keyed hash that names the machine to
// us alone and cannot be turned back into the machine id.
inline constexpr Id128 kApplicationId{0x70, 0xd6, 0xe8, 0x00, 0xf9, 0x46, 0x42, 0xa3,
                                      0x8e, 0xc2, 0x51, 0x61, 0x85, 0x6b, 0x03, 0x34};

// The machine's id for `application` (sd_id128_get_machine_app_specific);
// nullopt when the machine has no readable id.
std::optional<Id128> machineIdFor(const Id128& application);

// "8-4-4-4-12" lower-case hexadecimal digits, the shape of a GUID.
std::u16string guidText(const Id128& id);

// This machine: os-release and the kernel for the system, the user's locale
// as the environment named it when the object was made, and the machine's
// id for this program.
class HostIdentity final : public SystemIdentity {
public:
    struct Sources {
        std::string osRelease = "/etc/os-release";
        std::string osReleaseFallback = "/usr/lib/os-release";
        std::function<std::optional<Id128>(const Id128& application)> machineId = machineIdFor;
    };

    HostIdentity();
    explicit HostIdentity(Sources sources);

    std::u16string operatingSystem() override;
    std::u16string localeName() override;
    std::u16string machineIdentifier() override;

private:
    Sources m_sources;
    std::string m_userLocale;
};

// "<product> (Version <major>.<minor>, Build <build>, <edition>)", with the
// numbers taken from the kernel release ("6.1.0-18-amd64" gives 6, 1 and 0)
// and the edition "64-bit Edition" on a 64-bit machine, "32-bit Edition"
// otherwise. An empty product name becomes the kernel's name.
std::u16string describeOperatingSystem(std::string_view productName, std::string_view kernelName,
                                       std::string_view kernelRelease, std::string_view machine);

// PRETTY_NAME of an os-release file's text, else NAME, else empty; shell
// quoting and escapes undone.
std::string osReleaseName(std::string_view osReleaseText);

// The user's locale for formats (LC_ALL, else LC_TIME, else LANG).
std::string userLocaleFromEnvironment();

// "en_US.UTF-8" gives "en-US". The C and POSIX locales, a name without a
// country, a malformed name or one that `installed` rejects give "xx".
std::u16string localeNameFor(std::string_view posixName, const std::function<bool(const std::string&)>& installed);

// Whether the C library can load the locale of that name.
bool localeInstalled(const std::string& posixName);

} // namespace quarrow
