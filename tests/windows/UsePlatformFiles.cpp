// Linked into the test programs that run the converter in-process on
// Windows: they open files as quarrow-cli.exe does.
#include "files/FileOpen.h"
#include "platform/windows/WindowsFiles.h"

namespace {

const bool g_installed = [] {
    quarrow::setFileOpener(quarrow::windows::openFile);
    return true;
}();

} // namespace
