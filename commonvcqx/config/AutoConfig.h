// commonvcqx/config/AutoConfig.h
//
// TAutoConfig: a module's declaration of how its settings are loaded and saved,
// normally a static object. A tree-kind registration enters a group path of the
// application's configuration and calls its functions there; a file-kind registration
// hands its own file name and text to its functions. LoadAllRegisteredConfig and
// SaveAllRegisteredConfig run every registration of one category, the most recently
// constructed first.
//
//   void LoadMixer(TConfig& config, void*) { g_volume = config.GetValue(80, "Volume"); }
//   void SaveMixer(TConfig& config, int, void*) { config.SetValue(g_volume, "Volume"); }
//   static TAutoConfig g_mixerConfig("/Mixer", LoadMixer, SaveMixer, 1, nullptr);
//   ...
//   LoadAllRegisteredConfig(appConfig, 1);
//
// A registration leaves the chain when it is destroyed, so a module that is unloaded
// takes its registrations with it. The chain is locked: registrations may come and go
// (a module loaded or unloaded on another thread) while a walk runs; a walk holds the
// lock, so a module loaded from within a callback registers without deadlock but is not
// visited by that walk.
#pragma once

#include <commonvcqx/config/Config.h>
#include <commonvcqx/files/FileName.h>

#include <cstdint>

class TAutoConfig {
public:
    using TTreeLoad = void (*)(TConfig& config, void* userData);
    using TTreeSave = void (*)(TConfig& config, int saveArgument, void* userData);
    using TFileLoad = void (*)(const TFileName& fileName, const char* text, void* userData);
    using TFileSave = void (*)(const TFileName& fileName, const char* text, void* userData);

    /// Tree kind: `groupPath` (null or empty: the current key) is entered with
    /// MoveDown before the functions run.
    TAutoConfig(const char* const groupPath, TTreeLoad load, TTreeSave save, int category,
                void* userData);
    /// File kind.
    TAutoConfig(TFileLoad load, TFileSave save, const char* fileName, const char* text,
                int category, void* userData);
    /// Copies every field, the chain link included; the copy itself is not in the chain.
    TAutoConfig(const TAutoConfig& other);
    /// Copies every field but the chain link, which would cut the chain.
    TAutoConfig& operator=(const TAutoConfig& other);
    /// Leaves the chain.
    ~TAutoConfig();

    const char* GetText() const noexcept { return m_text; }
    int GetCategory() const noexcept { return m_category; }
    void* GetUserData() const noexcept { return m_userData; }
    const TAutoConfig* GetNext() const noexcept { return m_next; }
    const TFileName& GetFileName() const noexcept { return m_fileName; }
    /// 0 tree kind, 1 file kind.
    char IsFileKind() const noexcept { return m_fileKind; }

private:
    friend struct TAutoConfigWalk;

    const char* m_text;
    union {
        TTreeLoad tree;
        TFileLoad file;
    } m_load;
    union {
        TTreeSave tree;
        TFileSave file;
    } m_save;
    int32_t m_category;
    void* m_userData;
    TAutoConfig* m_next;
    TFileName m_fileName;
    char m_fileKind;
};

/// Every registration of `category` loads: file kind with its file name, text and user
/// data; tree kind in its group (skipped when the group cannot be entered), the current
/// key restored afterwards. Exceptions of the functions are swallowed.
void LoadAllRegisteredConfig(TConfig& config, int category);
/// The same with the save functions; tree kind gets `saveArgument`.
void SaveAllRegisteredConfig(TConfig& config, int saveArgument, int category);
