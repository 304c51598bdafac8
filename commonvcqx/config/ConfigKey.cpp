#include <commonvcqx/config/Config.h>
#include <commonvcqx/config/ConfigKey.h>
#include <commonvcqx/config/internal/ChildIndex.h>

#include <cstring>
#include <utility>

namespace cvq::detail {

void TChildIndex::Build(const TConfigKey& group) {
    m_firsts.clear();
    m_firsts.reserve(size_t(group.ChildKeys()->GetCount()));
    for (TConfigKey* child = group.ChildKeys()->GetFirst(); child; child = child->GetNext()) {
        TFirsts& firsts = m_firsts[NameOf(child)];
        if (!firsts.any) firsts.any = child;
        if (child->IsGroup()) {
            if (!firsts.group) firsts.group = child;
            ++firsts.groups;
        } else {
            if (!firsts.value) firsts.value = child;
            ++firsts.values;
        }
    }
}

TConfigKey* TChildIndex::Find(std::string_view name, TConfigKey::EKind kind) const {
    auto it = m_firsts.find(name);
    if (it == m_firsts.end()) return nullptr;
    switch (kind) {
        case TConfigKey::kGroupKind:
            return it->second.group;
        case TConfigKey::kValueKind:
            return it->second.value;
        case TConfigKey::kAnyKind:
            break;
    }
    return it->second.any;
}

void TChildIndex::Inserted(TConfigKey* child) {
    auto [it, fresh] = m_firsts.try_emplace(NameOf(child));
    TFirsts& firsts = it->second;
    const bool group = child->IsGroup() != 0;
    TConfigKey*& kindFirst = group ? firsts.group : firsts.value;
    ++(group ? firsts.groups : firsts.values);
    if (fresh) {
        firsts.any = kindFirst = child;
        return;
    }
    TConfigKey* const oldKindFirst = kindFirst;
    if (!kindFirst) kindFirst = child;
    if (!child->GetNext()) return;  // appended: the earlier ones stay first
    // Inserted in the middle: the child is first where it lies before the old firsts.
    bool findAny = true;
    bool findKind = oldKindFirst != nullptr;
    for (TConfigKey* key = child->GetNext(); key && (findAny || findKind); key = key->GetNext()) {
        if (findAny && key == firsts.any) {
            firsts.any = child;
            findAny = false;
        }
        if (findKind && key == oldKindFirst) {
            kindFirst = child;
            findKind = false;
        }
    }
}

void TChildIndex::Removing(TConfigKey* child) {
    auto it = m_firsts.find(NameOf(child));
    if (it == m_firsts.end()) return;
    TFirsts& firsts = it->second;
    const bool group = child->IsGroup() != 0;
    TConfigKey*& kindFirst = group ? firsts.group : firsts.value;
    int32_t& count = group ? firsts.groups : firsts.values;
    --count;
    if (firsts.groups + firsts.values <= 0) {
        m_firsts.erase(it);
        return;
    }
    bool findAny = firsts.any == child;
    bool findKind = kindFirst == child && count > 0;
    if (kindFirst == child) kindFirst = nullptr;
    if (findAny) firsts.any = nullptr;
    const std::string_view name = NameOf(child);
    for (TConfigKey* key = child->GetNext(); key && (findAny || findKind); key = key->GetNext()) {
        if (NameOf(key) != name) continue;
        if (findAny) {
            firsts.any = key;
            findAny = false;
        }
        if (findKind && (key->IsGroup() != 0) == group) {
            kindFirst = key;
            findKind = false;
        }
    }
    if (it->first.data() == child->GetName().c_str()) {
        auto node = m_firsts.extract(it);
        node.key() = NameOf(node.mapped().any);
        m_firsts.insert(std::move(node));
    }
}

}  // namespace cvq::detail

namespace {

// The order of two keys without their children: 0 when only the children can tell.
int CompareShallow(const TConfigKey& a, const TConfigKey& b, int flags, bool skipNames) {
    if (!skipNames) {
        int byName = std::strcmp(a.GetName().c_str(), b.GetName().c_str());
        if (byName != 0) {
            if ((flags & 4) && a.IsGroup() != b.IsGroup()) return a.IsGroup() ? -1 : 1;
            return byName;
        }
    }
    if (a.IsGroup() != b.IsGroup()) return a.IsGroup() ? -1 : 1;
    int byValue = std::strcmp(a.GetValue().c_str(), b.GetValue().c_str());
    if (byValue != 0) return byValue;
    if (a.IsGroup() && a.ChildKeys()->GetCount() != b.ChildKeys()->GetCount()) return 1;
    return 0;
}

// FNV-1a: a short walk over a name that is read anyway.
uint32_t NameHash(std::string_view name) noexcept {
    uint32_t hash = 2166136261u;
    for (char c : name) hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    return hash;
}

uint32_t NameHash(const TString& name) noexcept {
    return NameHash(std::string_view(name.c_str(), name.GetLength()));
}

std::unique_ptr<TFlexList<TConfigKey>> NewChildList(int mode) {
    auto list = std::make_unique<TFlexList<TConfigKey>>();
    list->SetCompareMode(mode & 6);
    return list;
}

}  // namespace

TConfigKey::TConfigKey(const TConfig& config, const TString& name, TConfigKey* parent, char isGroup)
    : m_config(&config), m_parent(parent), m_name(name), m_nameHash(NameHash(name)) {
    if (isGroup) m_children = NewChildList(config.m_mode);
}

TConfigKey::~TConfigKey() {
    if (m_config && m_config->m_keyDeletedHook) m_config->m_keyDeletedHook(this);
    if (!m_children) return;
    m_index.reset();
    // The grandchildren join this list before their parent goes, so that no
    // destructor below this one has children left: no recursion, whatever the depth.
    while (TConfigKey* child = m_children->DetachFirst()) {
        if (child->m_children && !child->m_children->IsEmpty()) {
            child->m_index.reset();
            m_children->Absorb(*child->m_children, nullptr);
        }
        child->m_parent = nullptr;
        child->Delete();
    }
}

void TConfigKey::Assign(const TConfigKey& source, const TConfig& config) {
    if (&source == this) return;
    for (const TConfigKey* up = source.m_parent; up; up = up->m_parent) {
        if (up == this) {  // the source lies in the subtree about to be replaced
            TConfigKey* copy = static_cast<TConfigKey*>(source.CreateClone(nullptr));
            Assign(*copy, config);
            copy->Delete();
            return;
        }
    }
    if (m_parent) m_parent->DropIndex();
    m_config = &config;
    m_name = source.m_name;
    m_nameHash = source.m_nameHash;
    m_value = source.m_value;
    if (m_children) DeleteAllChildren();
    if (source.IsGroup() && !m_children) m_children = NewChildList(config.m_mode);
    if (source.IsValue()) m_children.reset();

    // Pre-order over the source through its parent links; each copy's hook runs once
    // its own children are copied.
    const TConfigKey* sourceParent = &source;
    TConfigKey* parent = this;
    const TConfigKey* from = source.FirstChild();
    for (;;) {
        if (from) {
            auto* copy = new TConfigKey(config, from->m_name, parent, from->IsGroup());
            copy->m_value = from->m_value;
            parent->m_children->Append(copy);
            if (from->ChildCount() > 0) {
                sourceParent = from;
                parent = copy;
                from = from->FirstChild();
                continue;
            }
            if (config.m_keyCopiedHook) config.m_keyCopiedHook(copy, from);
            from = from->GetNext();
            continue;
        }
        if (parent == this) break;
        if (config.m_keyCopiedHook) config.m_keyCopiedHook(parent, sourceParent);
        from = sourceParent->GetNext();
        sourceParent = sourceParent->m_parent;
        parent = parent->m_parent;
    }
    if (config.m_keyCopiedHook) config.m_keyCopiedHook(this, &source);
}

int TConfigKey::Compare(const TObject& other, int flags) const {
    const TConfigKey& that = static_cast<const TConfigKey&>(other);
    int result = CompareShallow(*this, that, flags, (flags & 0x40) != 0);
    if (result != 0 || IsValue()) return result;
    // Both trees in step; equal child counts keep the walks aligned.
    const TConfigKey* parentA = this;
    const TConfigKey* parentB = &that;
    const TConfigKey* a = FirstChild();
    const TConfigKey* b = that.FirstChild();
    for (;;) {
        if (a) {
            result = CompareShallow(*a, *b, flags, false);
            if (result != 0) return result;
            if (a->ChildCount() > 0) {
                parentA = a;
                parentB = b;
                a = a->FirstChild();
                b = b->FirstChild();
            } else {
                a = a->GetNext();
                b = b->GetNext();
            }
            continue;
        }
        if (parentA == this) return 0;
        a = parentA->GetNext();
        b = parentB->GetNext();
        parentA = parentA->m_parent;
        parentB = parentB->m_parent;
    }
}

TObject* TConfigKey::CreateClone(void* context) const {
    const TConfig& config = context ? *static_cast<const TConfig*>(context) : *m_config;
    auto* copy = new TConfigKey(config, m_name, nullptr, IsGroup());
    copy->Assign(*this, config);
    return copy;
}

TConfigKey* TConfigKey::FindChild(std::string_view name, EKind kind) const {
    if (!m_children) return nullptr;
    if (m_children->GetCount() >= cvq::detail::TChildIndex::kIndexFrom) {
        if (!m_index) {
            m_index = std::make_unique<cvq::detail::TChildIndex>();
            m_index->Build(*this);
        }
        return m_index->Find(name, kind);
    }
    const uint32_t hash = NameHash(name);
    for (TConfigKey* child = m_children->GetFirst(); child; child = child->GetNext()) {
        if (child->m_nameHash != hash) continue;
        if (kind == kGroupKind && !child->IsGroup()) continue;
        if (kind == kValueKind && child->IsGroup()) continue;
        if (child->m_name.GetLength() == name.size() &&
            std::memcmp(child->m_name.c_str(), name.data(), name.size()) == 0)
            return child;
    }
    return nullptr;
}

TConfigKey* TConfigKey::InsertChild(TConfigKey* child) {
    child->m_parent = this;
    if (m_config->m_mode & 6)
        m_children->InsertInSortedList(child);
    else
        m_children->Append(child);
    if (m_index) m_index->Inserted(child);
    return child;
}

void TConfigKey::DeleteChild(TConfigKey* child) {
    if (m_index) m_index->Removing(child);
    m_children->Detach(child);
    child->Delete();
}

void TConfigKey::DeleteAllChildren() {
    m_index.reset();
    if (m_children) m_children->DeleteAll();
}

void TConfigKey::DropIndex() noexcept {
    m_index.reset();
}

void TConfigKey::SetName(const TString& name) {
    if (m_parent) m_parent->DropIndex();
    m_name = name;
    m_nameHash = NameHash(name);
}
