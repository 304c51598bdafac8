// The README's demo: a tour of what the library does for an application.
#include <commonvcqx/CommonVcQx.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// A take of a song: a list element stored as a group of two values.
class TTake : public TListElement {
public:
    TTake() = default;
    TTake(const char* name, int32_t length) : m_name(name), m_length(length) {}

    int Compare(const TObject& other, int) const override {
        const TTake& o = static_cast<const TTake&>(other);
        if (int r = std::strcmp(m_name.c_str(), o.m_name.c_str())) return r;
        return m_length < o.m_length ? -1 : (m_length > o.m_length ? 1 : 0);
    }
    void WriteState(TTaggedOutputStream& out, int32_t, const char* name, int index) const override {
        out.MoveDown(name, index);
        out.SetValue(m_name.c_str(), "Nm", 0);
        out.SetValue(m_length, "Len", 0);
        out.MoveUp();
    }
    char RestoreState(TTaggedInputStream& in, int32_t, const char* name, int index) override {
        if (!in.MoveDown(name, index)) return 0;
        m_name = in.GetValue("", "Nm", 0);
        m_length = in.GetValue(int32_t(0), "Len", 0);
        in.MoveUp();
        return 1;
    }
    static TObject* Make(int32_t) { return new TTake; }

private:
    TString m_name;
    int32_t m_length = 0;
};

// A marker position: an array element stored as one value.
class TMark : public TObject {
public:
    explicit TMark(int32_t at = 0) : m_at(at) {}
    int Compare(const TObject& other, int) const override {
        const int32_t o = static_cast<const TMark&>(other).m_at;
        return m_at < o ? -1 : (m_at > o ? 1 : 0);
    }
    void WriteState(TTaggedOutputStream& out, int32_t, const char* name, int index) const override {
        out.SetValue(m_at, name, index);
    }
    char RestoreState(TTaggedInputStream& in, int32_t, const char* name, int index) override {
        m_at = in.GetValue(int32_t(-1), name, index);
        return m_at >= 0;
    }
    static TObject* Make(int32_t) { return new TMark; }

private:
    int32_t m_at;
};

// The document: a title, a list of takes and an array of markers.
class TSongDocument : public TObject {
public:
    TSongDocument() : m_takes(1, TTake::Make), m_marks(20, 20, 1, TMark::Make) {}

    void WriteState(TTaggedOutputStream& out, int32_t context, const char* name,
                    int index) const override {
        out.MoveDown(name, index);
        out.SetValue(m_title.c_str(), "Title", 0);
        m_takes.WriteState(out, context, "Takes", 0);
        m_marks.WriteState(out, context, "Marks", 0);
        out.MoveUp();
    }
    char RestoreState(TTaggedInputStream& in, int32_t context, const char* name,
                      int index) override {
        if (!in.MoveDown(name, index)) return 0;
        m_title = in.GetValue("untitled", "Title", 0);
        m_takes.RestoreState(in, context, "Takes", 0);
        m_marks.RestoreState(in, context, "Marks", 0);
        in.MoveUp();
        return 1;
    }
    bool SameAs(const TSongDocument& o) const {
        return m_title == o.m_title && AreEqual(m_takes, o.m_takes, 0) &&
               AreEqual(m_marks, o.m_marks, 0);
    }

    TString m_title;
    TFlexList<TTake> m_takes;
    TArrayBase m_marks;
};

void MakeSong(TSongDocument& song) {
    song.m_title = "Night drive";
    song.m_takes.Append(new TTake("intro", 48000));
    song.m_takes.Append(new TTake("verse", 96000));
    song.m_marks.Add(new TMark(0));
    song.m_marks.Add(new TMark(44100));
}

// A document saved into a sealed tagged block, loaded back, compared and shown.
void SaveAndLoadDocument() {
    TSongDocument song;
    MakeSong(song);

    TTaggedOutputStream out(1, "song", 1);
    song.WriteState(out, 0, "Song", 0);
    out.CloseWriting();  // CRC-32 and length in the header

    std::string reason;
    const bool intact = VerifyTaggedStream(out.GetStart(), int32_t(out.GetSize()), &reason);
    TTaggedInputStream in(1, const_cast<char*>(out.GetStart()), int32_t(out.GetSize()), 0);
    TSongDocument loaded;
    const bool found = loaded.RestoreState(in, 0, "Song", 0);
    std::printf("a document saved in %u bytes (%s) and loaded back: %s\n", out.GetSize(),
                intact ? "intact" : reason.c_str(),
                found && loaded.SameAs(song) ? "the same" : "different");
    std::fputs(DumpTaggedStream(out.GetStart(), int32_t(out.GetSize())).c_str(), stdout);
}

// The same document through a file: an atomic save, a CRC-checked load, a delete.
void SaveAndLoadDocumentFile() {
    if (!TFile::Exist("C:\\tmp", TFile::kDirectory)) {
        std::printf("no C:\\tmp folder: the document is not saved to a file\n");
        return;
    }
    const TString name = TFile::GetNonExistingName("C:\\tmp", "cvq_demo_song.doc", '_');
    TSongDocument song;
    MakeSong(song);
    TTaggedOutputStream out(1, "song", 1);
    song.WriteState(out, 0, "Song", 0);
    try {
        out.SaveAs(name.c_str(), 1);  // checks the free space first
        TTaggedInputStream in(1, TFileName(name.c_str()), 1);
        TSongDocument loaded;
        const bool found = loaded.RestoreState(in, 0, "Song", 0);
        std::printf("saved to a %d-byte file in C:\\tmp and loaded back: %s\n",
                    TFile::GetSize(name), found && loaded.SameAs(song) ? "the same" : "different");
    } catch (const TException& e) {
        std::printf("saving to a file failed: %s\n", e.GetMessage() ? e.GetMessage()->c_str() : "");
    }
    TFile::Delete(name, 0);
}

// A playlist as a text file of lines, read back and seen through a mapping.
void WriteAndReadLines() {
    if (!TFile::Exist("C:\\tmp", TFile::kDirectory)) return;
    const TFileName name = TFile::GetNonExistingName("C:\\tmp", "cvq_demo_playlist.txt", '_');
    TArray<TString> takes;
    for (const char* take : {"intro.wav", "  verse.wav", "", "chorus.wav"})
        takes.Add(TString(take));
    try {
        TFile::WriteLines(name, takes, 0);
        TArray<TString> back;
        TFile::ReadLines(name, back, 1, 1);  // trimmed, empty lines skipped
        TMemoryMappedFile map(name, 0x2, 1, 0);
        std::printf("a playlist of %d lines in %d bytes, mapped: \"%.9s...\"\n", back.GetCount(),
                    map.GetFileSize(), static_cast<const char*>(map.GetStart()));
    } catch (const TException& e) {
        std::printf("the playlist failed: %s\n", e.GetMessage() ? e.GetMessage()->c_str() : "");
    }
    TFile::Delete(name, 0);
    double total = 0;
    const double free = TFile::GetDiskSpace(2, &total);
    std::printf("C: is a drive of type %d, %.1f of %.1f GB free\n", TFile::GetDriveTypeA("C:\\"),
                free / 1e9, total / 1e9);
}

}  // namespace

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
    std::printf("/home/ann is %s in the library\n\n", FileNameFromNativePath("/home/ann").c_str());

    SaveAndLoadDocument();
    SaveAndLoadDocumentFile();
    WriteAndReadLines();
    return 0;
}
