// TConfig: construction, navigation, values and deleting. The text form, files and
// path lists are in ConfigText.cpp.
#include <commonvcqx/base/BoundedText.h>
#include <commonvcqx/base/NumberParsing.h>
#include <commonvcqx/config/Config.h>
#include <commonvcqx/config/internal/KeyName.h>
#include <commonvcqx/frame/ExceptionThrower.h>
#include <commonvcqx/text/AsciiEncoding.h>

#include <cstring>
#include <vector>

using cvq::detail::TKeyName;

namespace {

using cvq::detail::TrimBlanks;

bool HasLineBreak(std::string_view text) noexcept {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

// Names the text form would read back as something else, or as structure.
void CheckName(std::string_view name, bool isGroup) {
    std::string_view trimmed = TrimBlanks(name);
    bool bad = HasLineBreak(name) || trimmed.empty() || trimmed == "{" || trimmed == "}";
    if (!isGroup && name.size() > 1 && name.find('=', 1) != std::string_view::npos) bad = true;
    if (bad)
        TExceptionThrower(0).SetAndThrow(
            TString("Configuration key name cannot be stored as text: "),
            TString(name.data(), 0, 0, uint32_t(name.size())));
}

void CheckValue(const TString& value, std::string_view name) {
    if (HasLineBreak(std::string_view(value.c_str(), value.GetLength())))
        TExceptionThrower(0).SetAndThrow(TString("Configuration value cannot hold a line break: "),
                                         TString(name.data(), 0, 0, uint32_t(name.size())));
}

TString Encoded(char prefix, const void* data, int length) {
    if (length < 0) length = 0;
    std::vector<unsigned char> text(size_t(ComputeAsciiEncodedSize(length)) + 2);
    text[0] = static_cast<unsigned char>(prefix);
    int32_t count = AsciiEncode(static_cast<const unsigned char*>(data), text.data() + 1, length);
    return TString(reinterpret_cast<const char*>(text.data()), 0, 0, uint32_t(count) + 1);
}

// The bytes of an "f" or "d" value when it decodes to exactly `size` bytes.
bool DecodeExactly(const TString& text, void* target, int32_t size) {
    const auto* encoded = reinterpret_cast<const unsigned char*>(text.c_str()) + 1;
    const int32_t length = int32_t(text.GetLength()) - 1;
    if (ComputeAsciiDecodedSize(encoded, length) != size) return false;
    AsciiDecode(encoded, static_cast<unsigned char*>(target), length);
    return true;
}

int HexDigit(char c) noexcept {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'z') return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
    return 0;
}

template <class T>
T Held(T value, T minimum, T maximum) {
    if (value < minimum) return minimum;
    if (value > maximum) return maximum;
    return value;
}

}  // namespace

// Construction and copying.

TConfig::TConfig(const char* name, EMode mode)
    : m_mode(mode), m_root(*this, TString(name), nullptr, 1), m_current(&m_root) {
    std::string_view text(name ? name : "");
    std::string_view trimmed = TrimBlanks(text);
    if (HasLineBreak(text) || trimmed == "{" || trimmed == "}")
        TExceptionThrower(0).SetAndThrow(TString("Configuration name cannot be stored as text: "),
                                         m_root.Name());
}

TConfig::TConfig(const char* name, const TFileName& fileName, char autoSave, EMode mode)
    : TConfig(name, mode) {
    m_fileName = fileName;
    // Auto-save only once loaded: a load that throws must not save over the file.
    Load(m_fileName);
    m_autoSave = autoSave;
}

TConfig::TConfig(const TConfig& other)
    : m_keyCopiedHook(other.m_keyCopiedHook),
      m_keyDeletedHook(other.m_keyDeletedHook),
      m_mode(other.m_mode),
      m_root(*this, other.m_root.Name(), nullptr, 1),
      m_current(&m_root),
      m_fileName(other.m_fileName),
      m_autoSave(other.m_autoSave),
      m_wrongFileTime(other.m_wrongFileTime),
      m_autoCreate(other.m_autoCreate) {
    m_root.Assign(other.m_root, *this);
}

TConfig& TConfig::operator=(const TConfig& other) {
    if (this == &other) return *this;
    m_mode = other.m_mode;
    m_autoCreate = other.m_autoCreate;
    m_keyCopiedHook = other.m_keyCopiedHook;
    m_keyDeletedHook = other.m_keyDeletedHook;
    m_current = &m_root;
    m_root.Assign(other.m_root, *this);
    m_fileName = other.m_fileName;
    m_autoSave = other.m_autoSave;
    m_wrongFileTime = other.m_wrongFileTime;
    return *this;
}

TConfig::~TConfig() {
    if (m_autoSave && !m_fileName.IsEmpty()) AutoSave();
    // The keys go while the configuration (and a derived one's hook) is whole.
    m_root.DeleteAllChildren();
    if (m_keyDeletedHook) m_keyDeletedHook(&m_root);
    m_root.m_config = nullptr;
}

char* TConfig::FormatName(char* out, const char* name, int index) {
    cvq::TBoundedText text(out, 256);
    text.Append(name);
    if (index != 0) text.AppendInteger(index);
    return out;
}

// Navigation.

TConfigKey* TConfig::MoveUp() noexcept {
    if (m_current->m_parent) m_current = m_current->m_parent;
    return m_current;
}

TConfigKey* TConfig::EnterChild(std::string_view name, char validate) {
    if (!(m_mode & kAlwaysNewGroup)) {
        if (TConfigKey* group = m_current->FindChild(name, TConfigKey::kGroupKind))
            return m_current = group;
    }
    if (!m_autoCreate) return nullptr;
    return m_current = AddChild(*this, m_current, TString(name.data(), 0, 0, uint32_t(name.size())),
                                true, validate);
}

TConfigKey* TConfig::MoveDown(const char* path, int index) {
    std::string_view text(path ? path : "");
    if (text.find('/') == std::string_view::npos) {
        TKeyName name(text, index);
        EnterChild(name.View(), 1);
        return m_current;
    }
    if (text[0] == '/') m_current = &m_root;
    // The index belongs to the last part that is not empty.
    size_t lastStart = text.size();
    for (size_t end = text.size(); end > 0;) {
        size_t slash = text.rfind('/', end - 1);
        size_t start = slash == std::string_view::npos ? 0 : slash + 1;
        if (!TrimBlanks(text.substr(start, end - start)).empty()) {
            lastStart = start;
            break;
        }
        if (slash == std::string_view::npos) break;
        end = slash;
    }
    for (size_t start = 0; start <= text.size();) {
        size_t slash = text.find('/', start);
        if (slash == std::string_view::npos) slash = text.size();
        std::string_view part = TrimBlanks(text.substr(start, slash - start));
        if (!part.empty()) {
            TKeyName name(part, start == lastStart ? index : 0);
            // Without auto-create the walk ends at the deepest group that exists.
            if (!EnterChild(name.View(), 1)) break;
        }
        start = slash + 1;
    }
    return m_current;
}

TConfigKey* TConfig::MoveDownIfExist(const char* name, int index) {
    TConfigKey* group = FindHere(name, index, TConfigKey::kGroupKind);
    if (group) m_current = group;
    return group;
}

TConfigKey* TConfig::GetKey(int index) const noexcept {
    if (index < 0 || index >= GetNumKeys()) return nullptr;
    return m_current->m_children->Element(index);
}

int TConfig::GetNumGroups() const noexcept {
    int groups = 0;
    for (TConfigKey* key = m_current->FirstChild(); key; key = key->GetNext())
        groups += key->IsGroup() ? 1 : 0;
    return groups;
}

TConfigKey* TConfig::FindHere(const char* name, int index, TConfigKey::EKind kind) const {
    TKeyName key(std::string_view(name ? name : ""), index);
    return m_current->FindChild(key.View(), kind);
}

char TConfig::ExistKey(const char* name, int index) const {
    return FindHere(name, index, TConfigKey::kAnyKind) != nullptr;
}

char TConfig::ExistValue(const char* name, int index) const {
    return FindHere(name, index, TConfigKey::kValueKind) != nullptr;
}

char TConfig::ExistGroup(const char* name, int index) const {
    return FindHere(name, index, TConfigKey::kGroupKind) != nullptr;
}

int TConfig::GetValueNames(TStringList& names, char sorted) const {
    names.Clear();
    int count = 0;
    for (TConfigKey* key = m_current->FirstChild(); key; key = key->GetNext()) {
        if (key->IsGroup()) continue;
        auto* item = new TStringItem<TListElement>(key->Name());
        if (sorted)
            names.InsertInSortedList(item);
        else
            names.Append(item);
        ++count;
    }
    return count;
}

namespace {

TConfigKey* Deepest(TConfigKey* key) noexcept {
    while (key->IsGroup() && key->ChildKeys()->GetCount() > 0) key = key->ChildKeys()->GetFirst();
    return key;
}

}  // namespace

void TConfig::ForEachKey(const TConfigKey* start, TKeyFunction fn, void* data) {
    TConfigKey* key = start->FirstChild();
    if (!key) return;
    key = Deepest(key);
    for (;;) {
        TConfigKey* next = key->GetNext();
        TConfigKey* parent = key->m_parent;
        fn(*key, data);
        if (next)
            key = Deepest(next);
        else if (parent == start || !parent)
            return;
        else
            key = parent;
    }
}

TConfigKey* TConfig::FindFirstThat(const TConfigKey* start, TKeyTest test, const void* data) const {
    TConfigKey* key = start->FirstChild();
    if (!key) return nullptr;
    key = Deepest(key);
    for (;;) {
        if (test(*key, data)) return key;
        if (TConfigKey* next = key->GetNext())
            key = Deepest(next);
        else if (key->m_parent == start || !key->m_parent)
            return nullptr;
        else
            key = key->m_parent;
    }
}

// Values.

void TConfig::SetTheValue(const TString& value, const char* name) {
    SetText(std::string_view(name ? name : ""), value, 1);
}

TString TConfig::GetTheValue(const TString& defaultValue, const char* name) const {
    TConfigKey* key =
        m_current->FindChild(std::string_view(name ? name : ""), TConfigKey::kValueKind);
    return key ? key->m_value : defaultValue;
}

TConfigKey* TConfig::AddChild(TConfig& config, TConfigKey* parent, const TString& name,
                              bool isGroup, char validate) {
    if (parent->IsValue())
        TExceptionThrower(0).SetAndThrow(TString("Configuration value key cannot hold keys: "),
                                         parent->Name());
    if (validate) CheckName(std::string_view(name.c_str(), name.GetLength()), isGroup);
    return parent->InsertChild(new TConfigKey(config, name, parent, isGroup));
}

void TConfig::SetText(std::string_view name, const TString& value, char validate) {
    if (validate) CheckValue(value, name);
    if (TConfigKey* key = m_current->FindChild(name, TConfigKey::kValueKind)) {
        key->m_value = value;
        return;
    }
    AddChild(*this, m_current, TString(name.data(), 0, 0, uint32_t(name.size())), false, validate)
        ->m_value = value;
}

void TConfig::SetValue(char value, const char* name, int index) {
    SetValue(int32_t(static_cast<signed char>(value)), name, index);
}
void TConfig::SetValue(signed char value, const char* name, int index) {
    SetValue(int32_t(value), name, index);
}
void TConfig::SetValue(short value, const char* name, int index) {
    SetValue(int32_t(value), name, index);
}
void TConfig::SetValue(int32_t value, const char* name, int index) {
    TKeyName key(std::string_view(name ? name : ""), index);
    SetText(key.View(), TString(value), 1);
}
void TConfig::SetValue(unsigned char value, const char* name, int index) {
    SetValue(uint32_t(value), name, index);
}
void TConfig::SetValue(unsigned short value, const char* name, int index) {
    SetValue(uint32_t(value), name, index);
}
void TConfig::SetValue(uint32_t value, const char* name, int index) {
    TKeyName key(std::string_view(name ? name : ""), index);
    SetText(key.View(), TString(value), 1);
}
void TConfig::SetValue(float value, const char* name, int index) {
    TKeyName key(std::string_view(name ? name : ""), index);
    SetText(key.View(), Encoded('f', &value, 4), 1);
}
void TConfig::SetValue(double value, const char* name, int index) {
    TKeyName key(std::string_view(name ? name : ""), index);
    SetText(key.View(), Encoded('d', &value, 8), 1);
}
void TConfig::SetValue(const TString& value, const char* name, int index) {
    TKeyName key(std::string_view(name ? name : ""), index);
    SetText(key.View(), value, 1);
}
void TConfig::SetValue(const char* value, const char* name, int index) {
    SetValue(TString(value), name, index);
}
void TConfig::SetBinary(const void* data, int length, const char* name, int index) {
    TKeyName key(std::string_view(name ? name : ""), index);
    SetText(key.View(), Encoded('#', data, length), 1);
}

const TConfigKey* TConfig::FindValueKey(const char* name, int index) const {
    TKeyName key(std::string_view(name ? name : ""), index);
    return m_current->FindChild(key.View(), TConfigKey::kValueKind);
}

char TConfig::GetValue(char d, const char* name, int index) const {
    const TConfigKey* key = FindValueKey(name, index);
    return key ? char(cvq::ParseLong32(key->Value().c_str(), nullptr, 10)) : d;
}
signed char TConfig::GetValue(signed char d, const char* name, int index) const {
    const TConfigKey* key = FindValueKey(name, index);
    return key ? static_cast<signed char>(cvq::ParseLong32(key->Value().c_str(), nullptr, 10)) : d;
}
short TConfig::GetValue(short d, const char* name, int index) const {
    const TConfigKey* key = FindValueKey(name, index);
    return key ? short(cvq::ParseLong32(key->Value().c_str(), nullptr, 10)) : d;
}
int32_t TConfig::GetValue(int32_t d, const char* name, int index) const {
    const TConfigKey* key = FindValueKey(name, index);
    return key ? cvq::ParseLong32(key->Value().c_str(), nullptr, 10) : d;
}
unsigned char TConfig::GetValue(unsigned char d, const char* name, int index) const {
    const TConfigKey* key = FindValueKey(name, index);
    return key ? static_cast<unsigned char>(cvq::ParseULong32(key->Value().c_str(), nullptr, 10))
               : d;
}
unsigned short TConfig::GetValue(unsigned short d, const char* name, int index) const {
    const TConfigKey* key = FindValueKey(name, index);
    return key ? static_cast<unsigned short>(cvq::ParseULong32(key->Value().c_str(), nullptr, 10))
               : d;
}
uint32_t TConfig::GetValue(uint32_t d, const char* name, int index) const {
    const TConfigKey* key = FindValueKey(name, index);
    return key ? cvq::ParseULong32(key->Value().c_str(), nullptr, 10) : d;
}
float TConfig::GetValue(float d, const char* name, int index) const {
    const TConfigKey* key = FindValueKey(name, index);
    if (!key) return d;
    if (key->Value().GetFirstChar() != 'f') return float(key->Value().to_double());
    float value;
    return DecodeExactly(key->Value(), &value, 4) ? value : d;
}
double TConfig::GetValue(double d, const char* name, int index) const {
    const TConfigKey* key = FindValueKey(name, index);
    if (!key) return d;
    if (key->Value().GetFirstChar() != 'd') return key->Value().to_double();
    double value;
    return DecodeExactly(key->Value(), &value, 8) ? value : d;
}
TString TConfig::GetValue(const TString& d, const char* name, int index) const {
    const TConfigKey* key = FindValueKey(name, index);
    return key ? key->Value() : d;
}
TString TConfig::GetValue(const char* d, const char* name, int index) const {
    const TConfigKey* key = FindValueKey(name, index);
    return key ? key->Value() : TString(d);
}

char TConfig::GetSure(char d, char minimum, char maximum, const char* name, int index) const {
    return Held(GetValue(d, name, index), minimum, maximum);
}
signed char TConfig::GetSure(signed char d, signed char minimum, signed char maximum,
                             const char* name, int index) const {
    return Held(GetValue(d, name, index), minimum, maximum);
}
short TConfig::GetSure(short d, short minimum, short maximum, const char* name, int index) const {
    return Held(GetValue(d, name, index), minimum, maximum);
}
int32_t TConfig::GetSure(int32_t d, int32_t minimum, int32_t maximum, const char* name,
                         int index) const {
    return Held(GetValue(d, name, index), minimum, maximum);
}
unsigned char TConfig::GetSure(unsigned char d, unsigned char minimum, unsigned char maximum,
                               const char* name, int index) const {
    return Held(GetValue(d, name, index), minimum, maximum);
}
unsigned short TConfig::GetSure(unsigned short d, unsigned short minimum, unsigned short maximum,
                                const char* name, int index) const {
    return Held(GetValue(d, name, index), minimum, maximum);
}
uint32_t TConfig::GetSure(uint32_t d, uint32_t minimum, uint32_t maximum, const char* name,
                          int index) const {
    return Held(GetValue(d, name, index), minimum, maximum);
}
float TConfig::GetSure(float d, float minimum, float maximum, const char* name, int index) const {
    return Held(GetValue(d, name, index), minimum, maximum);
}
double TConfig::GetSure(double d, double minimum, double maximum, const char* name,
                        int index) const {
    return Held(GetValue(d, name, index), minimum, maximum);
}

int TConfig::GetBinary(void* dst, const void* defaultData, int length, const char* name,
                       int index) const {
    if (length < 0) length = 0;
    const TConfigKey* key = FindValueKey(name, index);
    if (!key || key->Value().IsEmpty()) {
        if (defaultData) {
            if (length) std::memcpy(dst, defaultData, size_t(length));
            return length;
        }
        if (length) std::memset(dst, 0, size_t(length));
        return 0;
    }
    std::string_view text = TrimBlanks({key->Value().c_str(), key->Value().GetLength()});
    auto* out = static_cast<unsigned char*>(dst);
    if (!text.empty() && text[0] == '#') {
        const auto* encoded = reinterpret_cast<const unsigned char*>(text.data()) + 1;
        const int32_t encodedLength = int32_t(text.size()) - 1;
        const int32_t size = ComputeAsciiDecodedSize(encoded, encodedLength);
        if (size <= length) return AsciiDecode(encoded, out, encodedLength);
        // Longer than the caller's buffer: only what fits is handed out.
        std::vector<unsigned char> all(static_cast<size_t>(size));
        AsciiDecode(encoded, all.data(), encodedLength);
        std::memcpy(out, all.data(), size_t(length));
        return length;
    }
    if (length) std::memset(out, 0, size_t(length));
    int made = 0;
    for (size_t at = 0; at + 1 < text.size() && made < length; at += 2)
        out[made++] = static_cast<unsigned char>(HexDigit(text[at]) * 16 + HexDigit(text[at + 1]));
    return made;
}

int TConfig::GetBinarySize(const char* name, int index) const {
    const TConfigKey* key = FindValueKey(name, index);
    if (!key) return 0;
    std::string_view text = TrimBlanks({key->Value().c_str(), key->Value().GetLength()});
    if (!text.empty() && text[0] == '#')
        return ComputeAsciiDecodedSize(reinterpret_cast<const unsigned char*>(text.data()) + 1,
                                       int32_t(text.size()) - 1);
    return int(text.size() / 2);
}

TConfigKey* TConfig::CreateKey(const TString& name) {
    return AddChild(*this, m_current, name, false, 1);
}

// Deleting.

void TConfig::Clear() {
    m_current = &m_root;
    m_root.DeleteAllChildren();
}

void TConfig::DeleteAllChildKeys() {
    m_current->DeleteAllChildren();
}

char TConfig::DeleteChildKey(const char* name, int index) {
    TConfigKey* key = FindHere(name, index, TConfigKey::kAnyKind);
    if (!key) return 0;
    DeleteSubtree(key);
    return 1;
}

void TConfig::DeleteKey(TConfigKey* key) {
    if (!key) return;
    if (key == &m_root) {  // the root itself stays: it loses its children
        Clear();
        return;
    }
    DeleteSubtree(key);
}

void TConfig::DeleteSubtree(TConfigKey* key) {
    for (TConfigKey* up = m_current; up; up = up->m_parent) {
        if (up == key) {
            m_current = key->m_parent;
            break;
        }
    }
    key->m_parent->DeleteChild(key);
}

void TConfig::DeleteEmptyGroups() {
    TConfigKey* const start = m_current;
    TConfigKey* key = start->FirstChild();
    while (key) {
        if (key->IsGroup() && key->ChildCount() > 0) {
            key = key->FirstChild();
            continue;
        }
        // Every child of `key` is done: it goes when it is an empty group, then the
        // walk moves on to its next sibling, or finishes its parent.
        for (;;) {
            TConfigKey* next = key->GetNext();
            TConfigKey* parent = key->m_parent;
            if (key->IsGroup() && key->ChildCount() == 0) parent->DeleteChild(key);
            if (next) {
                key = next;
                break;
            }
            if (parent == start) {
                key = nullptr;
                break;
            }
            key = parent;
        }
    }
}

// TKeyFinder.

TConfig::TKeyFinder::TKeyFinder(const TConfig& config) noexcept
    : m_config(&config), m_next(nullptr) {}

TConfigKey* TConfig::TKeyFinder::GetFirst(const char* name) {
    TConfigKey* current = m_config->GetCurrentKey();
    if (!name) {
        m_next = current->FirstChild();
    } else if (TConfigKey* key = current->FindChild(name, TConfigKey::kAnyKind)) {
        m_next = key;
    }
    return GetNext();
}

TConfigKey* TConfig::TKeyFinder::GetNext() noexcept {
    TConfigKey* key = m_next;
    if (key) m_next = key->GetNext();
    return key;
}
