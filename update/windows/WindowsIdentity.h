#pragma once

#include "update/core/SystemIdentity.h"

#include <string>

namespace quarrow::windows {

// What RtlGetVersion and the processor report about the running system.
struct WindowsVersion {
    unsigned major = 0;
    unsigned minor = 0;
    unsigned build = 0;
    unsigned servicePack = 0;
    bool workstation = true; // not a server release
    bool serverR2 = false;   // Windows Server 2003 R2
    bool x64 = false;        // a 64-bit x86 system
};

// "Windows 10 (Version 10.0, Build 19045, 64-bit Edition)", with
// " Service Pack <n>" after the product name when there is one; a release
// that has none of the known product names is "Windows".
std::u16string describeWindows(const WindowsVersion& version);

// The running system's version, or all zeros when it cannot be read.
WindowsVersion runningWindowsVersion();

// This machine as update requests name it: the system's description, the
// user's locale as it was when the object was made, and the registry's
// MachineGuid.
class WindowsIdentity final : public SystemIdentity {
public:
    WindowsIdentity();

    std::u16string operatingSystem() override;
    std::u16string localeName() override;
    std::u16string machineIdentifier() override;

private:
    std::u16string m_localeName;
};

} // namespace quarrow::windows
