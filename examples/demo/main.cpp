// The README's demo: a tour of what the library does for an application.
#include <commonvcqx/CommonVcQx.h>

#include <cstdio>
#include <string>

int main() {
    std::printf("CommonVcQx %s\n", GetCommonLibraryVersion());

    MapDrive('D', "/tmp");
    std::string native;
    NativePathFromFileName("D:\\takes\\..\\song.wav", native);
    std::printf("D:\\takes\\..\\song.wav is %s here\n", native.c_str());
    std::printf("%s is %s in the library\n", "/home/ann", FileNameFromNativePath("/home/ann").c_str());
    return 0;
}
