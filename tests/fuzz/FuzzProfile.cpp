// Fuzz target: a profile's text is either refused with a ProfileError or
// read to a profile whose written text reads back to the same text.

#include "engine/settings/ConversionProfile.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace quarrow;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    ConversionProfile profile;
    try {
        profile = parseProfile(text, "fuzz.toml");
    } catch (const ProfileError&) {
        return 0;
    }
    const std::string written = profileText(profile);
    try {
        if (profileText(parseProfile(written, "written.toml")) != written)
            std::abort();
    } catch (const ProfileError&) {
        std::abort(); // what this program writes, it reads
    }
    return 0;
}
