// commonvcqx/config/internal/ChildIndex.h
//
// The name index of one large group: for each child name, the first child of that
// name, the first group and the first value of it, and how many groups and values
// carry it. Lookups keep first-match semantics without walking the list; keeping
// the firsts right costs a walk only when a key is inserted in the middle (sorted
// insertion walks the list anyway) or when the first of a repeated name goes.
#pragma once

#include <commonvcqx/config/ConfigKey.h>

#include <cstdint>
#include <string_view>
#include <unordered_map>

namespace cvq::detail {

class TChildIndex {
public:
    /// Groups with fewer children are searched by walking them.
    static constexpr int32_t kIndexFrom = 16;

    /// Indexes every child of `group`, in order.
    void Build(const TConfigKey& group);
    TConfigKey* Find(std::string_view name, TConfigKey::EKind kind) const;
    /// `child` has just been linked into the group.
    void Inserted(TConfigKey* child);
    /// `child` is about to be unlinked from the group.
    void Removing(TConfigKey* child);

private:
    struct TFirsts {
        TConfigKey* any = nullptr;
        TConfigKey* group = nullptr;
        TConfigKey* value = nullptr;
        int32_t groups = 0;
        int32_t values = 0;
    };
    static std::string_view NameOf(const TConfigKey* key) noexcept {
        return {key->GetName().c_str(), key->GetName().GetLength()};
    }

    // The keys view the names of live children: a view is moved to another child
    // before the child whose name it shows goes.
    std::unordered_map<std::string_view, TFirsts> m_firsts;
};

}  // namespace cvq::detail
