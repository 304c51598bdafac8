#include <commonvcqx/CommonVcQx.h>

#include <cstdio>
#include <string>

int main() {
    std::string native;
    if (!NativePathFromFileName("C:\\home", native) || native != "/home") return 1;
    std::printf("CommonVcQx %s\n", GetCommonLibraryVersion());
    return 0;
}
