// The registry: a file per root key, in the configuration text form.
#include "ScratchFolder.h"

#include <commonvcqx/config/Registry.h>
#include <commonvcqx/files/File.h>

#include <cstdio>
#include <string>

int main() {
    TScratchFolder scratch;
    if (scratch.Path().empty()) return 1;
    const std::string folder = scratch.Path() + "/registry";

    // guide: registry
    // Before the first registry call; null goes back to
    // $XDG_CONFIG_HOME/CommonVcQx/registry (else ~/.config/CommonVcQx/registry).
    SetRegistryDirectory(folder.c_str());
    const char* key = "Software\\Maker\\Editor";
    EnsureRegistryString(HKEY_CURRENT_USER, key, "Skin", "dark", 0);  // throws 0 on failure
    EnsureRegistryLong(HKEY_CURRENT_USER, key, "Width", 800);
    char found = 0;
    TString skin = GetRegistryString(HKEY_CURRENT_USER, key, "skin", &found);  // any case
    int32_t width = GetRegistryLong(HKEY_CURRENT_USER, key, "Width", nullptr);
    // Written to folder + "/HKEY_CURRENT_USER.reg" (locked through "HKEY_CURRENT_USER.lock").
    // guide: end

    const bool filed = TFile::Exist(TFileName((folder + "/HKEY_CURRENT_USER.reg").c_str()));
    SetRegistryDirectory(nullptr);
    const TString standard = GetRegistryDirectory();
    const bool ok =
        found && skin == "dark" && width == 800 && filed &&
        (standard.IsEmpty() || std::string(standard.c_str()).ends_with("/CommonVcQx/registry"));
    std::printf("Skin=%s Width=%d in %s; default folder %s\n", skin.c_str(), width, folder.c_str(),
                standard.IsEmpty() ? "(none)" : standard.c_str());
    return ok ? 0 : 1;
}
