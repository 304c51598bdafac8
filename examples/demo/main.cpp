// The README's demo: one session of a small audio application. Its settings go into a
// configuration file and the registry, a folder of take files is scanned, a song
// document is edited through an undo history that logs what was done, the takes are
// shown as an audio application shows them, and the song is saved, reloaded and
// dumped. Everything is written into a scratch folder, mapped as drive T: and
// removed at the end.
#include <commonvcqx/CommonVcQx.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

// A recorded take: its name, length and peak, in 16-bit samples.
class TTake : public TListElement {
public:
    TTake() = default;
    TTake(const TString& name, int32_t length, int32_t peak)
        : m_name(name), m_length(length), m_peak(peak) {}

    int Compare(const TObject& other, int) const override {
        const TTake& o = static_cast<const TTake&>(other);
        if (int r = std::strcmp(m_name.c_str(), o.m_name.c_str())) return r;
        if (m_length != o.m_length) return m_length < o.m_length ? -1 : 1;
        return m_peak < o.m_peak ? -1 : (m_peak > o.m_peak ? 1 : 0);
    }
    void WriteState(TTaggedOutputStream& out, int32_t, const char* name, int index) const override {
        out.MoveDown(name, index);
        out.SetValue(m_name.c_str(), "Nm", 0);
        out.SetValue(m_length, "Len", 0);
        out.SetValue(m_peak, "Pk", 0);
        out.MoveUp();
    }
    char RestoreState(TTaggedInputStream& in, int32_t, const char* name, int index) override {
        if (!in.MoveDown(name, index)) return 0;
        m_name = in.GetValue("", "Nm", 0);
        m_length = in.GetValue(int32_t(0), "Len", 0);
        m_peak = in.GetValue(int32_t(0), "Pk", 0);
        in.MoveUp();
        return 1;
    }
    static TObject* Make(int32_t) { return new TTake; }

    TString m_name;
    int32_t m_length = 0;
    int32_t m_peak = 0;
};

// The document: a title, the sample rate of its takes and the takes in order.
class TSong : public TObject {
public:
    TSong() : m_takes(1, TTake::Make) {}

    void WriteState(TTaggedOutputStream& out, int32_t context, const char* name,
                    int index) const override {
        out.MoveDown(name, index);
        out.SetValue(m_title.c_str(), "Title", 0);
        out.SetValue(m_sampleRate, "Rate", 0);
        m_takes.WriteState(out, context, "Takes", 0);
        out.MoveUp();
    }
    char RestoreState(TTaggedInputStream& in, int32_t context, const char* name,
                      int index) override {
        if (!in.MoveDown(name, index)) return 0;
        m_title = in.GetValue("untitled", "Title", 0);
        m_sampleRate = in.GetValue(int32_t(0), "Rate", 0);
        m_takes.RestoreState(in, context, "Takes", 0);
        in.MoveUp();
        return 1;
    }
    bool SameAs(const TSong& o) const {
        return m_title == o.m_title && m_sampleRate == o.m_sampleRate &&
               AreEqual(m_takes, o.m_takes, 0);
    }
    TString TakeNames() const {
        TString names;
        for (const TTake& take : m_takes) {
            if (!names.IsEmpty()) names += ", ";
            names += take.m_name;
        }
        return names.IsEmpty() ? TString("(none)") : names;
    }

    TString m_title;
    int32_t m_sampleRate = 0;
    TFlexList<TTake> m_takes;
};

// The operations of the history. Each owns its take exactly while its effect keeps the
// take out of the song, so nothing leaks and nothing is deleted twice.
const char* g_addText = "Add take";
const char* g_renameText = "Rename take";
const char* g_deleteText = "Delete take";
const TOperation::TTemplate g_addTake("AddTake", TOperation::kUndoable, &g_addText, nullptr);
const TOperation::TTemplate g_renameTake("RenameTake", TOperation::kUndoable, &g_renameText,
                                         nullptr);
const TOperation::TTemplate g_deleteTake("DeleteTake", TOperation::kUndoable, &g_deleteText,
                                         nullptr);

class TAddTakeOperation : public TOperation {
public:
    TAddTakeOperation(TChiefOperator* chief, TSong& song, TTake* take)
        : TOperation(g_addTake, chief, 0, 0), m_song(song), m_take(take), m_detached(take) {}
    char Execute(int32_t) override {
        m_song.m_takes.Append(m_detached.release());
        return 1;
    }
    void Unexecute(int32_t) override { m_detached.reset(m_song.m_takes.Detach(m_take)); }
    TString GetDetailedDescription() const override {
        return TString("add take ") + m_take->m_name;
    }

private:
    TSong& m_song;
    TTake* m_take;
    std::unique_ptr<TTake> m_detached;
};

class TDeleteTakeOperation : public TOperation {
public:
    TDeleteTakeOperation(TChiefOperator* chief, TSong& song, TTake* take)
        : TOperation(g_deleteTake, chief, 0, 0), m_song(song), m_take(take) {}
    char Execute(int32_t) override {
        m_index = m_song.m_takes.FindIndexOfElement(m_take);
        if (m_index < 0) return 0;
        m_detached.reset(m_song.m_takes.Detach(m_take));
        return 1;
    }
    void Unexecute(int32_t) override {
        if (TTake* next = m_song.m_takes.Element(m_index))
            m_song.m_takes.InsertBefore(m_detached.release(), next);
        else
            m_song.m_takes.Append(m_detached.release());
    }
    TString GetDetailedDescription() const override {
        return TString("delete take ") + m_take->m_name;
    }

private:
    TSong& m_song;
    TTake* m_take;
    int32_t m_index = -1;
    std::unique_ptr<TTake> m_detached;
};

// Undo and redo swap the old and the new name; the log line comes from text 18033.
class TRenameTakeOperation : public TStringOperation {
public:
    TRenameTakeOperation(TChiefOperator* chief, TTake* take, const TString& name)
        : TStringOperation(g_renameTake, chief, 0, 0, name), m_take(take) {}
    TString GetCurrentValue() const override { return m_take->m_name; }
    void SetCurrentValue(const TString& value) override { m_take->m_name = value; }
    void OnValueChanged(int32_t) override {}

private:
    TTake* m_take;
};

// The scratch folder: a new folder under $TMPDIR, mapped as drive T: until the end.
class TScratchDrive {
public:
    TScratchDrive() {
        std::string pattern = (std::filesystem::temp_directory_path() / "cvq_demo_XXXXXX").string();
        if (mkdtemp(pattern.data())) m_path = pattern;
        if (!m_path.empty() && !MapDrive('T', m_path)) m_path.clear();
    }
    ~TScratchDrive() {
        if (m_path.empty()) return;
        UnmapDrive('T');
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    TScratchDrive(const TScratchDrive&) = delete;
    TScratchDrive& operator=(const TScratchDrive&) = delete;
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

void PrintTextFile(const TFileName& name) {
    TArray<TString> lines;
    TFile::ReadLines(name, lines, 0, 1);
    for (int32_t i = 0; i < lines.GetCount(); ++i) {
        std::string line = lines[i].c_str();
        const size_t tabs = line.find_first_not_of('\t');
        line.replace(0, tabs, 2 * tabs, ' ');
        std::printf("  %s\n", line.c_str());
    }
}

// The application's settings: written once, then read back as a new session would.
TConfig WriteSettings() {
    const TFileName file("T:\\demo.cfg");
    {
        TConfig settings("Demo", TConfig::kNoMode);
        settings.SetValue(int32_t(48000), "SampleRate", 0);
        settings.SetValue(int32_t(25), "FrameRate", 0);
        settings.SetValue(int32_t(100), "UndoSteps", 0);
        settings.MoveDown("Takes", 0);
        settings.SetValue("T:\\takes", "Folder", 0);
        settings.SetValue("*.raw", "Types", 0);
        settings.Save(file, 1);
    }
    std::printf("settings saved in %s:\n", file.c_str());
    PrintTextFile(file);
    return TConfig("Demo", file, 0, TConfig::kNoMode);
}

// Where the settings are, kept in the registry as a Windows application keeps it.
void RegisterSettings(const TConfig& settings) {
    SetRegistryDirectory("T:\\registry");
    const char* key = "Software\\CommonVcQx\\Demo";
    EnsureRegistryString(HKEY_CURRENT_USER, key, "Settings", settings.GetFileName().c_str(), 0);
    char found = 0;
    const int32_t runs = GetRegistryLong(HKEY_CURRENT_USER, key, "Runs", &found);
    EnsureRegistryLong(HKEY_CURRENT_USER, key, "Runs", runs + 1);
    const TString where = GetRegistryString(HKEY_CURRENT_USER, key, "Settings", &found);
    std::printf("registry HKEY_CURRENT_USER\\%s: Settings = %s, Runs = %d\n  kept in %s\n\n", key,
                where.c_str(), GetRegistryLong(HKEY_CURRENT_USER, key, "Runs", nullptr),
                TString(GetRegistryDirectory() + "\\HKEY_CURRENT_USER.reg").c_str());
}

// Takes as a recorder leaves them: 16-bit mono samples, a square wave of some level.
void RecordTakes(const TString& folder) {
    struct TRecording {
        const char* name;
        double seconds;
        double level;
    };
    const TRecording recordings[] = {{"intro.raw", 1.5, 0.5},
                                     {"verse.raw", 12.25, 0.25},
                                     {"old\\chorus.raw", 62.0, 1.0},
                                     {"notes.txt", 0.01, 1.0}};
    TFile::EnsureDirectory(TString(folder + "\\old"));
    for (const TRecording& r : recordings) {
        std::vector<int16_t> samples(size_t(r.seconds * 48000));
        const auto top = int16_t(std::lround(r.level * 32767));
        for (size_t i = 0; i < samples.size(); ++i) samples[i] = (i / 50) % 2 ? top : int16_t(-top);
        TFile::SaveFile(TString(folder + "\\") + r.name, samples.data(),
                        uint32_t(samples.size() * sizeof(int16_t)));
    }
}

int32_t PeakOf(const TFileName& name) {
    uint32_t size = 0;
    void* data = TFile::LoadFile(name, &size);
    int32_t peak = 0;
    for (uint32_t i = 0; i + 1 < size; i += 2) {
        int16_t sample;
        std::memcpy(&sample, static_cast<char*>(data) + i, sizeof sample);
        peak = std::max(peak, int32_t(std::abs(int(sample))));
    }
    NH_Heap::FreeMem(data);
    return peak;
}

// Every take file of the folder and its subfolders, in the library's file-name order.
std::vector<std::unique_ptr<TTake>> ScanTakes(TConfig& settings) {
    settings.MoveToRoot();
    settings.MoveDown("Takes", 0);
    const TString folder = settings.GetValue("C:\\", "Folder", 0);
    const TString types = settings.GetValue("*.*", "Types", 0);
    RecordTakes(folder);

    TDirectoryScanner scanner(TFileName(folder), &types, 1, 1);
    scanner.Run();
    std::printf("%s scanned for %s: %d takes, %s\n", folder.c_str(), types.c_str(),
                scanner.GetNumFile(),
                FileSizeToString(int64_t(scanner.GetTotalSize()), kNumDecimalUnits | 1).c_str());
    std::vector<std::unique_ptr<TTake>> takes;
    for (const TFoundFile& file : scanner.GetFoundFiles()) {
        const TString title = file.GetName().GetTitle(0);
        takes.push_back(
            std::make_unique<TTake>(title, int32_t(file.GetSize() / 2), PeakOf(file.GetName())));
        std::printf("  %s\n",
                    TString(TString::GetRelativeFileName(folder, file.GetName())).c_str());
    }
    std::printf("\n");
    return takes;
}

void Show(const char* step, const TSong& song) {
    std::printf("  %-26s %s\n", step, song.TakeNames().c_str());
}

// Edits through the history: adds, a rename, a delete, two undos and a redo.
void EditSong(TSong& song, std::vector<std::unique_ptr<TTake>>& takes, int32_t steps) {
    const TFileName log("T:\\song.log");
    {
        TChiefOperator history("Song", &log, steps, TTimeSpan(0));
        std::printf("edited through the undo history (%d steps):\n", history.GetMaximumCount());
        std::vector<TTake*> added;
        for (auto& take : takes) {
            added.push_back(take.get());
            (new TAddTakeOperation(&history, song, take.release()))->Launch();
        }
        Show("add the takes", song);
        (new TRenameTakeOperation(&history, added[1], "bridge"))->Launch();
        Show("rename verse to bridge", song);
        (new TDeleteTakeOperation(&history, song, added[0]))->Launch();
        Show("delete intro", song);
        for (int i = 0; i < 2; ++i) {
            const TString what = "undo " + history.GetUndoDescription(0);
            history.UndoOperation(0, nullptr);
            Show(what.c_str(), song);
        }
        const TString what = "redo " + history.GetRedoDescription(0);
        history.RedoOperation(0, nullptr);
        Show(what.c_str(), song);
        std::printf("  %d undoable, %d redoable\n", history.GetNumUndoableOperations(),
                    history.GetNumRedoableOperations());
    }  // closing the history writes its log
    std::printf("%s, what was done:\n", log.c_str());
    PrintTextFile(log);
    std::printf("\n");
}

// Lengths and levels as the application shows them, at the rates of the settings.
void ShowTakes(const TSong& song, int32_t frameRate) {
    TTimeMetrics metrics(song.m_sampleRate);
    metrics.frameRate = frameRate;
    std::printf("takes at %d Hz and %d frames per second:\n", song.m_sampleRate, frameRate);
    for (const TTake& take : song.m_takes) {
        const double length = take.m_length;
        std::printf(
            "  %-8s %s  %-11s %s\n", take.m_name.c_str(),
            TimeToString(length, kTimeTimecode, metrics, 0).c_str(),
            TimeToString(length, kTimeUnits | kTimeMinutes | kTimeSeconds | kTimeMilliseconds,
                         metrics, 0)
                .c_str(),
            AudioLevelToString(float(take.m_peak) / 32768.0f, kLevelDecibels, 2).c_str());
    }
    std::printf("\n");
}

// The song into a sealed tagged file, loaded back, compared and dumped.
void SaveAndReload(const TSong& song) {
    const TFileName name("T:\\song.cvq");
    TTaggedOutputStream out(1, "song", 1);
    song.WriteState(out, 0, "Song", 0);
    out.SaveAs(name, 1);  // checks the free space first

    TSong loaded;
    TTaggedInputStream in(1, name, 1);
    const bool found = loaded.RestoreState(in, 0, "Song", 0);
    uint32_t size = 0;
    void* bytes = TFile::LoadFile(name, &size);
    std::string reason;
    const bool intact = VerifyTaggedStream(static_cast<char*>(bytes), int32_t(size), &reason);
    std::printf("saved in %s (%u bytes, %s) and reloaded: %s\n", name.c_str(), size,
                intact ? "intact" : reason.c_str(),
                found && loaded.SameAs(song) ? "the same" : "different");
    std::fputs(DumpTaggedStream(static_cast<char*>(bytes), int32_t(size)).c_str(), stdout);
    NH_Heap::FreeMem(bytes);
}

// One session; false when something failed.
bool RunSession() {
    try {
        TConfig settings = WriteSettings();
        RegisterSettings(settings);
        std::vector<std::unique_ptr<TTake>> takes = ScanTakes(settings);
        if (takes.size() < 3) {
            std::fprintf(stderr, "the scan found %zu takes, not 3\n", takes.size());
            return false;
        }
        settings.MoveToRoot();
        TSong song;
        song.m_title = "Night drive";
        song.m_sampleRate = settings.GetValue(int32_t(44100), "SampleRate", 0);
        EditSong(song, takes, settings.GetValue(int32_t(20), "UndoSteps", 0));
        ShowTakes(song, settings.GetValue(int32_t(24), "FrameRate", 0));
        SaveAndReload(song);
    } catch (const TException& e) {
        std::fprintf(stderr, "failed: %s\n", e.GetMessage() ? e.GetMessage()->c_str() : "");
        return false;
    }
    SetRegistryDirectory(nullptr);
    return true;
}

}  // namespace

int main() {
    std::printf("CommonVcQx %s\n", GetCommonLibraryVersion());
    void* block = std::malloc(100);
    TString title("night drive");
    TString shared = title;  // one text until one of them changes
    shared.MakeUpper();
    std::printf("malloc served by %s; \"%s\" and \"%s\"\n",
                IsDynamicMemory(block) ? "a library heap" : "the C library (no heap override)",
                title.c_str(), shared.c_str());
    std::free(block);

    {
        TScratchDrive scratch;
        if (scratch.Path().empty()) {
            std::fprintf(stderr, "no scratch folder could be made in %s\n",
                         std::filesystem::temp_directory_path().c_str());
            return 1;
        }
        std::string native;
        NativePathFromFileName("T:\\song.cvq", native);
        std::printf("T:\\song.cvq is %s (MapDrive)\n\n", native.c_str());
        if (!RunSession()) return 1;
    }
    std::printf("\nscratch folder removed\n");
    return 0;
}
