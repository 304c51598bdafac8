// Modules: a plug-in loaded with the dynamic loader, its texts and version from the
// files beside it, and the Windows resources that are never found on Linux.
#include <commonvcqx/system/Module.h>
#include <commonvcqx/system/ModuleVersionInfo.h>
#include <commonvcqx/text/StaticStrings.h>

#include <cstdio>
#include <cstring>

int main() {
    try {
        // guide: module
        TModule plugin("libporting_plugin.so", 1, 1);  // beside the executable first
        TModuleProc entry(plugin, "PluginAnswer");     // extern "C", visible
        auto* answer = reinterpret_cast<int (*)()>(FARPROC(entry));
        TString name = plugin.LoadStringA(20001);     // "libporting_plugin.so.strings"
        TModuleVersionInfo info(plugin.GetHandle());  // "libporting_plugin.so.version"
        const char* version = "";
        info.GetFileVersion(version);                      // "1.2.0.7"
        const char* programText = GetStaticString(20100);  // "<executable>.strings"
        // guide: end

        // guide: no-resources
        HBITMAP bitmap = plugin.LoadBitmapA(100);        // null
        HMENU menu = plugin.LoadMenuA(101);              // null
        HICON icon = plugin.LoadIconA("APPICON");        // null
        HRSRC data = plugin.FindResourceA(102, "DATA");  // null
        // guide: end

        const bool ok =
            answer && answer() == 42 && name == "Echo plug-in" &&
            std::strcmp(version, "1.2.0.7") == 0 && info.GetFileVersionMS() == 0x00010002 &&
            plugin.LoadStringA(20002) == "Feedback\tDelay" &&
            std::strcmp(programText, "Takes") == 0 && !bitmap && !menu && !icon && !data;
        std::printf("%s %s answers %d; resources %s\n", name.c_str(), version,
                    answer ? answer() : -1, bitmap || menu || icon || data ? "FOUND" : "none");
        return ok ? 0 : 1;
    } catch (const TException& e) {
        std::printf("%s\n", e.GetMessage() ? e.GetMessage()->c_str() : "no module");
        return 1;
    }
}
