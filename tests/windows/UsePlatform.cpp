// Linked into the test programs that run the converter in-process on
// Windows: they open files and convert ANSI as quarrow-cli.exe does.
#include "engine/files/FileOpen.h"
#include "platform/windows/SystemCodePage.h"
#include "platform/windows/WindowsFiles.h"

#include <memory>

namespace {

const std::unique_ptr<quarrow::windows::SystemCodePage> g_ansi = [] {
    quarrow::setFileOpener(quarrow::windows::openFile);
    auto ansi = quarrow::windows::SystemCodePage::forSystem();
    quarrow::setAnsiCodePage(ansi.get());
    return ansi;
}();

} // namespace
