// The saving child of the crash test: saves a tagged document, a configuration and a
// registry value over and over, each version told apart by its number, and reports
// every save that returned on standard output ("d 12", "c 12", "r 12") until it is
// killed. Arguments: the native scratch folder and the first version number.
#include <commonvcqx/config/Config.h>
#include <commonvcqx/config/Registry.h>
#include <commonvcqx/frame/Exception.h>
#include <commonvcqx/platform/Drives.h>
#include <commonvcqx/streams/TaggedOutputStream.h>

#include "CrashVersions.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

void Report(char kind, uint32_t version) {
    char line[32];
    int n = std::snprintf(line, sizeof line, "%c %u\n", kind, version);
    if (::write(1, line, size_t(n)) != n) std::_Exit(3);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    const std::string folder = argv[1];
    const TString library(FileNameFromNativePath(folder).c_str());
    const TFileName document(TString(library + "\\song.doc"));
    const TFileName config(TString(library + "\\prefs.cfg"));
    SetRegistryDirectory((folder + "/registry").c_str());
    try {
        for (uint32_t version = uint32_t(std::strtoul(argv[2], nullptr, 10));; ++version) {
            const std::string body = cvq::reliability::VersionBody(version);
            {
                TTaggedOutputStream out(1, "song", 1);
                out.SetValue(int32_t(version), "Version", 0);
                out.SetBinary(body.data(), int32_t(body.size()), "Body", 0);
                out.SaveAs(document, 0);
            }
            Report('d', version);
            {
                TConfig prefs("Prefs", TConfig::EMode(0));
                prefs.SetValue(int32_t(version), "Version", 0);
                prefs.SetValue(body.c_str(), "Body", 0);
                prefs.Save(config, 1);
            }
            Report('c', version);
            EnsureRegistryString(HKEY_CURRENT_USER, "Software\\Crash", "Value",
                                 cvq::reliability::RegistryText(version).c_str(), 1);
            Report('r', version);
        }
    } catch (const TException& e) {
        std::fprintf(stderr, "save failed: %s\n", e.GetMessage() ? e.GetMessage()->c_str() : "");
    } catch (int) {
        std::fprintf(stderr, "registry write failed\n");
    }
    return 1;
}
