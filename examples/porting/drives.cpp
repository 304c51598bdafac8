// Drive letters: the program keeps its Windows file names; the host maps the letters.
#include "ScratchFolder.h"

#include <commonvcqx/files/File.h>
#include <commonvcqx/platform/Drives.h>

#include <cstdio>
#include <string>

int main() {
    TScratchFolder scratch;
    const std::string dataFolder = scratch.Path();
    if (dataFolder.empty()) return 1;

    // guide: map-drive
    // At start-up, before any file is named: C: is "/" already, D: is the data folder.
    if (!MapDrive('D', dataFolder)) return 1;  // an absolute native folder, else false
    TFile::EnsureDirectory("D:\\takes");
    TFile::SaveFile("D:\\takes\\one.raw", "RIFF", 4);

    std::string native;  // dataFolder + "/takes/one.raw"; ".." stays inside the drive
    NativePathFromFileName("D:\\takes\\..\\takes\\one.raw", native);
    std::string name = FileNameFromNativePath(native);        // "D:\takes\one.raw"
    std::string same = FileNameFromNativePath("/etc/hosts");  // "C:\etc\hosts"
    // guide: end

    // guide: unmapped
    UnmapDrive('D');
    bool exists = TFile::ExistDrive("D:\\");  // false: an unmapped letter is no drive
    // guide: end

    const bool ok = native == dataFolder + "/takes/one.raw" && name == "D:\\takes\\one.raw" &&
                    same == "C:\\etc\\hosts" && !exists;
    std::printf("%s is %s; drive letters %s\n", name.c_str(), native.c_str(),
                ok ? "map as expected" : "DO NOT map as expected");
    return ok ? 0 : 1;
}
