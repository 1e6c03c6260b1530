#include "update/windows/WindowsIdentity.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>
#include <string>

namespace quarrow::test::windows {
namespace {

using quarrow::windows::describeWindows;
using quarrow::windows::WindowsVersion;

std::string narrow(const std::u16string& text)
{
    return {text.begin(), text.end()};
}

TEST(WindowsIdentity, DescriptionNamesTheRelease)
{
    const struct {
        WindowsVersion version;
        const char* description;
    } cases[] = {
        {{5, 0, 2195, 4, true, false, false}, "Windows 2000 Service Pack 4 (Version 5.0, Build 2195, 32-bit Edition)"},
        {{5, 1, 2600, 3, true, false, false}, "Windows XP Service Pack 3 (Version 5.1, Build 2600, 32-bit Edition)"},
        {{5, 2, 3790, 2, false, true, true},
         "Windows Server 2003 R2 Service Pack 2 (Version 5.2, Build 3790, 64-bit Edition)"},
        {{5, 2, 3790, 0, false, false, false}, "Windows Server 2003 (Version 5.2, Build 3790, 32-bit Edition)"},
        {{6, 0, 6002, 2, true, false, true}, "Windows Vista Service Pack 2 (Version 6.0, Build 6002, 64-bit Edition)"},
        {{6, 1, 7601, 1, false, false, true},
         "Windows Server 2008 R2 Service Pack 1 (Version 6.1, Build 7601, 64-bit Edition)"},
        {{6, 1, 7601, 1, true, false, true}, "Windows 7 Service Pack 1 (Version 6.1, Build 7601, 64-bit Edition)"},
        {{6, 3, 9600, 0, true, false, true}, "Windows 8.1 (Version 6.3, Build 9600, 64-bit Edition)"},
        {{6, 3, 9600, 0, false, false, true}, "Windows Server 2012 R2 (Version 6.3, Build 9600, 64-bit Edition)"},
        {{10, 0, 19045, 0, true, false, true}, "Windows 10 (Version 10.0, Build 19045, 64-bit Edition)"},
        {{10, 0, 14393, 0, false, false, true}, "Windows Server 2016 (Version 10.0, Build 14393, 64-bit Edition)"},
        {{10, 0, 22631, 0, true, false, true}, "Windows (Version 10.0, Build 22631, 64-bit Edition)"},
        {{0, 0, 0, 0, true, false, false}, "Windows (Version 0.0, Build 0, 32-bit Edition)"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(narrow(describeWindows(c.version)), c.description);
}

// The running system, as Wine reports it: the locale the test command set
// and the MachineGuid of the prefix.
TEST(WindowsIdentity, RunningSystem)
{
    quarrow::windows::WindowsIdentity identity;
    const std::string system = narrow(identity.operatingSystem());
    EXPECT_TRUE(std::regex_match(
        system, std::regex(R"(Windows[ 0-9.A-Za-z]* \(Version \d+\.\d+, Build \d+, 64-bit Edition\))")))
        << system;

    const std::string guid = narrow(identity.machineIdentifier());
    EXPECT_TRUE(std::regex_match(guid, std::regex("[0-9a-fA-F]{8}(-[0-9a-fA-F]{4}){3}-[0-9a-fA-F]{12}"))) << guid;

    if (const char* locale = std::getenv("QUARROW_EXPECTED_LOCALE")) {
        EXPECT_EQ(narrow(identity.localeName()), locale);
    }
}

} // namespace
} // namespace quarrow::test::windows
