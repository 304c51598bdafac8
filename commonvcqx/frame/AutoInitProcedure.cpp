// The registry is a doubly linked list kept in descending priority order.
#include <commonvcqx/base/IntrusiveList.h>
#include <commonvcqx/frame/AutoInitProcedure.h>

#include <cctype>
#include <new>

namespace {

struct TEntry {
    TEntry* prev;
    TEntry* next;
    const char* group;
    TAutoInitFunction init;
    TAutoCleanupFunction cleanup;
    int priority;
    intptr_t value;
};

using TRegistry = cvq::TIntrusiveList<cvq::TMemberLinks<TEntry, &TEntry::next, &TEntry::prev>>;

// Created by the first registration, which may come before any of the library's own
// constructors have run; hence constant-initialized.
constinit TRegistry* registry = nullptr;

bool SameGroup(const char* a, const char* b) {
    for (;; ++a, ++b) {
        int ca = std::tolower(static_cast<unsigned char>(*a));
        int cb = std::tolower(static_cast<unsigned char>(*b));
        if (ca != cb) return false;
        if (ca == 0) return true;
    }
}

}  // namespace

TAutoInitProcedure::TAutoInitProcedure(const char* group, TAutoInitFunction init,
                                       TAutoCleanupFunction cleanup, int priority, intptr_t value) {
    if (!registry) registry = new TRegistry;
    TEntry* entry =
        new TEntry{nullptr, nullptr, group ? group : "", init, cleanup, priority, value};
    // After every entry of the same or a higher priority. Priorities are compared, not
    // subtracted, so extreme values cannot overflow into the wrong order.
    registry->InsertBefore(
        *entry, registry->FindFirst([priority](const TEntry& e) { return e.priority < priority; }));
}

char RunAutoInit(const char* group) {
    if (!registry) return 1;
    if (!group) group = "";
    for (TEntry* entry = registry->First(); entry; entry = entry->next) {
        if (!entry->init || !SameGroup(entry->group, group)) continue;
        try {
            entry->value = reinterpret_cast<intptr_t>(entry->init(entry->value));
        } catch (...) {
            return 0;
        }
    }
    return 1;
}

void RunAutoCleanup(const char* group) {
    if (!registry) return;
    if (!group) group = "";
    TEntry* entry = registry->Last();
    while (entry) {
        TEntry* previous = entry->prev;
        if (SameGroup(entry->group, group)) {
            bool done = true;
            if (entry->cleanup) {
                try {
                    entry->cleanup(reinterpret_cast<void*>(entry->value));
                } catch (...) {
                    done = false;
                }
            }
            if (done) {
                registry->Unlink(*entry);
                delete entry;
            }
        }
        entry = previous;
    }
    if (registry->IsEmpty()) {
        delete registry;
        registry = nullptr;
    }
}
