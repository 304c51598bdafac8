// commonvcqx/config/ConfigKey.h
//
// TConfigKey: one key of a configuration tree (TConfig). A group holds an owning
// list of child keys; a value key holds one text value. Keys are made, found and
// deleted through their TConfig; a key knows its configuration and its parent.
//
//   for (TConfigKey* key = config.GetFirstKey(); key; key = key->GetNext())
//       Show(key->GetName(), key->IsGroup() ? "" : key->GetValue().c_str());
//
// Each large group keeps an index of its children's names, so finding the first key
// of a name does not walk the list. The index follows every change TConfig makes;
// the child list is therefore handed out read-only.
//
// Deleting, copying and comparing walk the tree without recursion: a tree of any
// depth is safe to destroy, clone and compare.
#pragma once

#include <commonvcqx/containers/DoubleList.h>
#include <commonvcqx/containers/FlexList.h>
#include <commonvcqx/text/String.h>

#include <cstdint>
#include <memory>
#include <string_view>

class TConfig;

namespace cvq::detail {
class TChildIndex;
}

class TConfigKey : public TListElement {
public:
    /// Which children a name lookup considers.
    enum EKind : int32_t { kAnyKind = 0, kGroupKind = 1, kValueKind = 2 };

    /// A key outside any list; a group starts with an empty child list whose compare
    /// mode is the configuration's mode masked with 6.
    TConfigKey(const TConfig& config, const TString& name, TConfigKey* parent, char isGroup);
    TConfigKey(const TConfigKey&) = delete;
    TConfigKey& operator=(const TConfigKey&) = delete;

    /// Takes name, value and a deep copy of `source`'s children, owned by `config`;
    /// the configuration's key-copied hook is called for each copied key after its
    /// children are copied. A value source makes this a value key.
    void Assign(const TConfigKey& source, const TConfig& config);

    /// Flag 0x40: the names of these two keys are not compared (their children's are);
    /// flag 4: with different names a group orders before a value. Then: a group
    /// before a value, values by their texts, groups by child count (a different
    /// count gives 1) and then child by child. Byte-wise, unsigned.
    int Compare(const TObject& other, int flags) const override;
    /// A deep copy owned by the TConfig `context` points to (null: this key's).
    TObject* CreateClone(void* context) const override;

    bool operator==(const TConfigKey& other) const { return Compare(other, 0) == 0; }
    bool operator!=(const TConfigKey& other) const { return Compare(other, 0) != 0; }

    TConfigKey* GetParent() const noexcept { return m_parent; }
    TConfigKey* GetNext() const noexcept {
        return static_cast<TConfigKey*>(TListElement::GetNext());
    }
    TConfigKey* GetPrev() const noexcept {
        return static_cast<TConfigKey*>(TListElement::GetPrev());
    }
    const TString& Name() const noexcept { return m_name; }
    const TString& GetName() const noexcept { return m_name; }
    const TString& Value() const noexcept { return m_value; }
    const TString& GetValue() const noexcept { return m_value; }
    /// The children of a group, null for a value key.
    const TFlexList<TConfigKey>* ChildKeys() const noexcept { return m_children.get(); }
    char IsGroup() const noexcept { return m_children != nullptr; }
    char IsValue() const noexcept { return m_children == nullptr; }
    const TConfig* GetConfig() const noexcept { return m_config; }

    /// Calls the key-deleted hook, then destroys the subtree without recursion.
    ~TConfigKey() override;

    TConfigKey* FirstChild() const noexcept {
        return m_children ? m_children->GetFirst() : nullptr;
    }
    int32_t ChildCount() const noexcept { return m_children ? m_children->GetCount() : 0; }
    /// The first child of that exact name and kind, or null.
    TConfigKey* FindChild(std::string_view name, EKind kind) const;

private:
    friend class TConfig;

    /// Links `child` in, sorted by the configuration's mode or appended.
    TConfigKey* InsertChild(TConfigKey* child);
    /// Unlinks `child` and deletes it with its subtree.
    void DeleteChild(TConfigKey* child);
    void DeleteAllChildren();
    /// Forgets the name index (rebuilt on the next lookup).
    void DropIndex() noexcept;
    void SetName(const TString& name);

    const TConfig* m_config;
    TConfigKey* m_parent;
    std::unique_ptr<TFlexList<TConfigKey>> m_children;
    TString m_name;
    /// Tells most other names apart without reading either text.
    uint32_t m_nameHash;
    TString m_value;
    mutable std::unique_ptr<cvq::detail::TChildIndex> m_index;
};
