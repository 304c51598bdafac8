// The README's demo: a tour of what the library does for an application.
#include <commonvcqx/CommonVcQx.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int main() {
    std::printf("CommonVcQx %s\n\n", GetCommonLibraryVersion());

    // Every allocation of the process comes from the library's heaps.
    void* block = std::malloc(100);
    std::printf("malloc(100) gave a %zu-byte block of a library heap: %s\n",
                NH_Heap::GetBlockSize(block), IsDynamicMemory(block) ? "yes" : "no");
    std::free(block);
    NH_Heap scratch(1, "Scratch");
    char* kept = scratch.StoreString("kept in a heap of its own");
    std::printf("a private heap holds \"%s\"\n\n", kept);
    NH_Heap::FreeMem(kept);

    // Strings share their text until one of them changes.
    TString title("song");
    TString copy = title;
    copy += ".wav";
    copy.MakeUpper();
    std::printf("\"%s\" and \"%s\"; %s\n", title.c_str(), copy.c_str(),
                IntToString(-1234567, 0, kIntGroupDigits).c_str());

    // Numbers and text in a memory stream, in either byte order.
    TOutputMemoryStream out(256);
    out.Write(int32_t(0x01020304));
    out.WriteStringThenAlign("takes");
    std::printf("a stream of %u bytes, starting %02x %02x\n\n", out.GetCurrentPosition(),
                static_cast<unsigned char>(out.GetStart()[0]),
                static_cast<unsigned char>(out.GetStart()[1]));

    // File names keep their Windows form; drive letters map to directories.
    MapDrive('D', "/tmp");
    std::string native;
    NativePathFromFileName("D:\\takes\\..\\song.wav", native);
    std::printf("D:\\takes\\..\\song.wav is %s here\n", native.c_str());
    std::printf("/home/ann is %s in the library\n", FileNameFromNativePath("/home/ann").c_str());
    return 0;
}
