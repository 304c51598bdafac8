#include <commonvcqx/CommonVcQx.h>

#include <cstdio>
#include <string>

// With a file name: also writes a small tagged document there, for the installed cvq.
int main(int argc, char** argv) {
    std::string native;
    if (!NativePathFromFileName("C:\\home", native) || native != "/home") return 1;
    if (argc > 1) {
        TTaggedOutputStream out(1, "consumer", 1);
        out.SetValue("installed", "Origin", 0);
        out.SetValue(int32_t(7), "Count", 0);
        out.CloseWriting();
        FILE* file = std::fopen(argv[1], "wb");
        if (!file) return 1;
        const bool written = std::fwrite(out.GetStart(), 1, out.GetSize(), file) == out.GetSize();
        if (std::fclose(file) != 0 || !written) return 1;
    }
    std::printf("CommonVcQx %s\n", GetCommonLibraryVersion());
    return 0;
}
