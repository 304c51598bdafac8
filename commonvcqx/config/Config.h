// commonvcqx/config/Config.h
//
// TConfig: a hierarchical settings store. A tree of TConfigKeys (groups and text
// values) is navigated through a current-key cursor and addressed by names, indices
// and "/" paths; every typed value is stored as text. The tree is saved to and
// loaded from an indented text file, can stamp that file with its own time to notice
// outside edits, and can be flattened into and rebuilt from backslash key paths.
//
//   TConfig config("Prefs", TConfig::EMode(0));
//   config.SetValue(640, "Width", 0);
//   config.MoveDown("/Paths", 0);
//   config.SetValue("c:\\x", "Last", 0);
//   config.Save("C:\\home\\ann\\prefs.cfg", 1);
//   int32_t width = config.GetValue(800, "Width", 0);   // after MoveToRoot: 640
//
// Text form (Save, GetAsBlock): lines end with CR LF, one tab per level; a group is
// its name, "{", its children one level deeper, "}"; a value is name=value (the name
// alone when empty); groups without children are not written.
//
// Names and values the text form cannot carry back are refused with a TException
// when a key is made from caller text: line breaks in names or values, names that
// are empty or "{" or "}" once trimmed of blanks, and value names holding "=" after
// their first character. Blanks at the start of names, at the end of values and at the
// end of a name whose value is empty do not survive the text.
//
// Reading is lenient with damaged text: a "{" line that follows no header is skipped
// (the first one opens the root when the root's name line was empty), a "}" line
// always ends a group, and one outside every group ends the reading.
//
// A read of an absent key returns the caller's default unchanged. A configuration is
// not locked; one thread uses it at a time.
#pragma once

#include <commonvcqx/config/ConfigKey.h>
#include <commonvcqx/containers/StringItem.h>
#include <commonvcqx/files/FileName.h>
#include <commonvcqx/text/String.h>

#include <cstdint>
#include <string_view>

class TConfig {
public:
    /// Bits of the mode.
    enum EMode : int32_t {
        kNoMode = 0,
        /// MoveDown of a single name always adds a new group.
        kAlwaysNewGroup = 1,
        /// New keys are inserted sorted instead of appended.
        kSorted = 2,
        /// Sorted, groups before values.
        kSortedGroupsFirst = 4,
        /// Load throws when the file is missing or cannot be read.
        kThrowIfNotLoaded = 8,
        /// Save stamps the file's time into the tree ("/__System" "config"); Load checks it.
        kFileTimeStamp = 16,
    };

    /// Walks the children of the current key, optionally only from a name on.
    class TKeyFinder {
    public:
        explicit TKeyFinder(const TConfig& config) noexcept;
        /// Null: from the current key's first child; a name: from its first child of
        /// that exact name (the candidate stays as it was when none has it). Then as
        /// GetNext.
        TConfigKey* GetFirst(const char* name);
        /// The candidate, moving on to its next sibling whatever its name.
        TConfigKey* GetNext() noexcept;

    private:
        const TConfig* m_config;
        TConfigKey* m_next;
    };

    /// Where read text departs from the form Save writes.
    struct TTextProblem {
        /// The line (from 1) of the earliest departure; 0 when there is none.
        int32_t line = 0;
        TString reason;
    };

    using TKeyFunction = void (*)(TConfigKey& key, void* data);
    using TKeyTest = char (*)(const TConfigKey& key, const void* data);
    using TKeyCopiedHook = void (*)(TConfigKey* newKey, const TConfigKey* source);
    using TKeyDeletedHook = void (*)(TConfigKey* key);
    using TStringList = TFlexList<TStringItem<TListElement>>;

    /// An empty tree whose root is named `name`; a name that the text form cannot
    /// carry (a line break, "{" or "}") raises TException.
    TConfig(const char* name, EMode mode);
    /// As above with a file name and the auto-save flag, then Load of the file.
    TConfig(const char* name, const TFileName& fileName, char autoSave, EMode mode);
    /// Deep copy; the cursor goes to the root.
    TConfig(const TConfig& other);
    TConfig& operator=(const TConfig& other);
    /// With auto-save and a file name: Save. A failure goes to the trace sink.
    virtual ~TConfig();

    bool operator==(const TConfig& other) const { return m_root == other.m_root; }
    bool operator!=(const TConfig& other) const { return m_root != other.m_root; }

    /// `name` followed by `index` in decimal when it is not 0, cut to fit `out`'s 256
    /// bytes.
    static char* FormatName(char* out, const char* name, int index);

    // Navigation, relative to the current key.
    TConfigKey* MoveToRoot() noexcept { return m_current = &m_root; }
    TConfigKey* MoveTo(TConfigKey* key) noexcept { return m_current = key; }
    /// To the parent; the root stays the root.
    TConfigKey* MoveUp() noexcept;
    /// A name holding "/" is a path (from the root when it starts with "/"), split at
    /// "/" with each part trimmed and empty parts skipped; every part is entered with
    /// index 0 but the last, which takes `index`. A single name enters its first child
    /// group (or, with mode bit 1 or when there is none, creates one when auto-create
    /// is on; otherwise the cursor stays). Returns the current key.
    TConfigKey* MoveDown(const char* path, int index = 0);
    /// The child group of that name, or null (no change, no path handling).
    TConfigKey* MoveDownIfExist(const char* name, int index = 0);
    TConfigKey* GetCurrentKey() const noexcept { return m_current; }
    TConfigKey* GetRoot() noexcept { return &m_root; }
    TConfigKey* GetFirstKey() const noexcept { return m_current->FirstChild(); }
    /// Null when `index` is not below the count.
    TConfigKey* GetKey(int index) const noexcept;
    /// 0 for a value key.
    int GetNumKeys() const noexcept { return m_current->ChildCount(); }
    int GetNumGroups() const noexcept;
    int GetNumValues() const noexcept { return GetNumKeys() - GetNumGroups(); }
    char ExistKey(const char* name, int index = 0) const;
    char ExistValue(const char* name, int index = 0) const;
    char ExistGroup(const char* name, int index = 0) const;
    /// Empties `names` and fills it with the names of the value children; the count.
    int GetValueNames(TStringList& names, char sorted) const;
    /// Depth first over the current key's subtree: a group with children is visited
    /// before it is given to `fn`; each key's next sibling is fetched before the call.
    void ForEachKey(TKeyFunction fn, void* data) { ForEachKey(m_current, fn, data); }
    void ForEachKey(const TConfigKey* start, TKeyFunction fn, void* data);
    /// In ForEachKey's order from the root (or `start`): the first key passing `test`.
    TConfigKey* FindFirstThat(TKeyTest test, const void* data) const {
        return FindFirstThat(&m_root, test, data);
    }
    TConfigKey* FindFirstThat(const TConfigKey* start, TKeyTest test, const void* data) const;

    // Values.
    /// The first value child of that name gets `value`; without one a value key is made.
    void SetTheValue(const TString& value, const char* name);
    /// The first value child's text, else `defaultValue`.
    TString GetTheValue(const TString& defaultValue, const char* name) const;

    void SetValue(char value, const char* name, int index = 0);
    void SetValue(signed char value, const char* name, int index = 0);
    void SetValue(short value, const char* name, int index = 0);
    void SetValue(int32_t value, const char* name, int index = 0);
    void SetValue(unsigned char value, const char* name, int index = 0);
    void SetValue(unsigned short value, const char* name, int index = 0);
    void SetValue(uint32_t value, const char* name, int index = 0);
    /// "f" and the four bytes of the single in the ASCII encoding.
    void SetValue(float value, const char* name, int index = 0);
    /// "d" and the eight bytes of the double in the ASCII encoding.
    void SetValue(double value, const char* name, int index = 0);
    void SetValue(const TString& value, const char* name, int index = 0);
    void SetValue(const char* value, const char* name, int index = 0);
    /// "#" and the bytes in the ASCII encoding.
    void SetBinary(const void* data, int length, const char* name, int index = 0);

    // Numbers are read as the 32-bit run-time reads them (saturating); text that is
    // not a number gives 0. An absent key gives the default itself.
    char GetValue(char defaultValue, const char* name, int index = 0) const;
    signed char GetValue(signed char defaultValue, const char* name, int index = 0) const;
    short GetValue(short defaultValue, const char* name, int index = 0) const;
    int32_t GetValue(int32_t defaultValue, const char* name, int index = 0) const;
    unsigned char GetValue(unsigned char defaultValue, const char* name, int index = 0) const;
    unsigned short GetValue(unsigned short defaultValue, const char* name, int index = 0) const;
    uint32_t GetValue(uint32_t defaultValue, const char* name, int index = 0) const;
    /// An "f" value that does not decode to exactly four bytes gives the default;
    /// other text is read as a decimal number.
    float GetValue(float defaultValue, const char* name, int index = 0) const;
    /// Likewise with "d" and eight bytes.
    double GetValue(double defaultValue, const char* name, int index = 0) const;
    TString GetValue(const TString& defaultValue, const char* name, int index = 0) const;
    TString GetValue(const char* defaultValue, const char* name, int index = 0) const;

    /// GetValue, then held to [minimum, maximum].
    char GetSure(char d, char minimum, char maximum, const char* name, int index = 0) const;
    signed char GetSure(signed char d, signed char minimum, signed char maximum, const char* name,
                        int index = 0) const;
    short GetSure(short d, short minimum, short maximum, const char* name, int index = 0) const;
    int32_t GetSure(int32_t d, int32_t minimum, int32_t maximum, const char* name,
                    int index = 0) const;
    unsigned char GetSure(unsigned char d, unsigned char minimum, unsigned char maximum,
                          const char* name, int index = 0) const;
    unsigned short GetSure(unsigned short d, unsigned short minimum, unsigned short maximum,
                           const char* name, int index = 0) const;
    uint32_t GetSure(uint32_t d, uint32_t minimum, uint32_t maximum, const char* name,
                     int index = 0) const;
    float GetSure(float d, float minimum, float maximum, const char* name, int index = 0) const;
    double GetSure(double d, double minimum, double maximum, const char* name, int index = 0) const;

    /// At most `length` bytes into `dst`, whatever the stored text. Absent or empty:
    /// `defaultData`'s bytes (returns `length`), or zeros without it (returns 0). A
    /// "#" value: its decoded bytes. Other text: hexadecimal digit pairs after dst is
    /// zeroed. Returns the bytes made.
    int GetBinary(void* dst, const void* defaultData, int length, const char* name,
                  int index = 0) const;
    /// Decoded size of a "#" value, else half the (trimmed) text length.
    int GetBinarySize(const char* name, int index = 0) const;
    /// Always adds a value key with an empty value under the current key.
    TConfigKey* CreateKey(const TString& name);

    // Deleting. A deleted key holding the cursor sends it to the deleted key's parent.
    /// Cursor to the root; all the root's children deleted.
    void Clear();
    void DeleteAllChildKeys();
    /// The first child of that name, group or value; false when there is none.
    char DeleteChildKey(const char* name, int index = 0);
    void DeleteKey(TConfigKey* key);
    /// From the current key, depth first: every group left without children is
    /// deleted (never the root).
    void DeleteEmptyGroups();

    // Persistence.
    /// Nothing for an empty name. A file that is missing or cannot be read leaves the
    /// tree as it was and counts as not loaded; with mode bit 8 that raises a
    /// TException with empty text. With mode bit 16 the stamp is checked
    /// (HasWrongFileTime) and the cursor is left at "/__System".
    void Load(const TFileName& fileName);
    /// Replaces the file atomically (nothing for an empty name). A failure raises
    /// as it was raised with `rethrow`; otherwise it is posted (TExceptionThrower(1))
    /// as the file name, CR LF and static string 18012.
    void Save(const TFileName& fileName, char rethrow);
    /// Replaces the tree by the text; the cursor goes to the root. Nesting deeper than
    /// kMaxTextDepth raises TException and leaves the tree empty.
    void BuildFromTextBlock(const char* text, unsigned size);
    /// As above, reading just as leniently, and telling in `problem` (when not null) the
    /// earliest line where the text departs from the form Save writes: a stray brace,
    /// a group left open, text outside or after the root group, a value set twice in
    /// one group, a NUL byte, no group at all, or nesting too deep (which still throws).
    void BuildFromTextBlock(const char* text, unsigned size, TTextProblem* problem);
    /// The text form in a block of the default NH_Heap (not NUL-terminated) that the
    /// caller frees with NH_Heap::FreeMem; empty groups below the current key are
    /// deleted first and the cursor goes to the root.
    char* GetAsBlock(unsigned* size);
    /// One line per value key ("A\B" for B in group A); returns the count.
    int GetAsPathList(TStringList& lines) const;
    void SaveAsPathList(const TFileName& fileName) const;
    void LoadFromPathList(const TFileName& fileName);
    /// Replaces the tree by value keys (empty values) at the given paths.
    void BuildFromPathList(const TStringList& lines);

    const TString& GetName() const noexcept { return m_root.Name(); }
    const TFileName& GetFileName() const noexcept { return m_fileName; }
    void SetFileName(const TFileName& fileName) { m_fileName = fileName; }
    void SetAutoSaveMode(char autoSave) noexcept { m_autoSave = autoSave; }
    void SetAutoCreate(char autoCreate) noexcept { m_autoCreate = autoCreate; }
    char HasWrongFileTime() const noexcept { return m_wrongFileTime; }
    EMode GetMode() const noexcept { return m_mode; }

    /// Deepest nesting of groups that BuildFromTextBlock reads.
    static constexpr int kMaxTextDepth = 1000;

protected:
    // Set by a derived configuration; copied with the configuration.
    TKeyCopiedHook m_keyCopiedHook = nullptr;
    TKeyDeletedHook m_keyDeletedHook = nullptr;

private:
    friend class TConfigKey;

    /// A new child of `parent`; with `validate`, a name the text form cannot carry
    /// raises TException.
    static TConfigKey* AddChild(TConfig& config, TConfigKey* parent, const TString& name,
                                bool isGroup, char validate);
    /// The first child group of that name becomes current, or a new one (by the mode
    /// and the auto-create flag); null when the cursor did not move.
    TConfigKey* EnterChild(std::string_view name, char validate);
    TConfigKey* FindHere(const char* name, int index, TConfigKey::EKind kind) const;
    const TConfigKey* FindValueKey(const char* name, int index) const;
    void SetText(std::string_view name, const TString& value, char validate);
    void DeleteSubtree(TConfigKey* key);
    void ReadText(const char* text, unsigned size, TTextProblem* problem);
    void SaveBlock(const TFileName& fileName);
    void AutoSave() noexcept;

    EMode m_mode;
    TConfigKey m_root;
    TConfigKey* m_current;
    TFileName m_fileName;
    char m_autoSave = 0;
    char m_wrongFileTime = 1;
    char m_autoCreate = 1;
};

constexpr TConfig::EMode operator|(TConfig::EMode a, TConfig::EMode b) noexcept {
    return TConfig::EMode(int32_t(a) | int32_t(b));
}
