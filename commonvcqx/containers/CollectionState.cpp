// Containers in the tagged format: a group holding the count as "Siz" and the elements
// under "E" 0, 1, 2... This file is the one place where containers meet the streams.
#include <commonvcqx/containers/ArrayBase.h>
#include <commonvcqx/containers/DoubleList.h>
#include <commonvcqx/streams/TaggedInputStream.h>
#include <commonvcqx/streams/TaggedOutputStream.h>

#include <algorithm>

namespace {

// The smallest node an element can leave behind: an 8-byte header and a 4-byte name.
constexpr uint32_t kSmallestElementNode = 12;

// Writes the group of a container whose elements `at(i)` gives.
template <class At>
void WriteElements(TTaggedOutputStream& out, int32_t context, const char* name, int index,
                   int32_t count, At at) {
    TTaggedStream::TAutoPosition keep(out);
    out.MoveDown(name, index);
    out.SetValue(int32_t(count), "Siz", 0);
    for (int32_t i = 0; i < count; ++i)
        if (const TObject* element = at(i)) element->WriteState(out, context, "E", i);
}

// Restores the elements under (name, index), handing each to `append`, which answers
// whether it took the element. Elements that are not taken, fail to restore or throw
// are deleted: a restore never leaks an element or leaves one half-owned.
template <class Append>
char RestoreElements(TTaggedInputStream& in, int32_t context, const char* name, int index,
                     TElementFactory factory, Append append) {
    TTaggedStream::TAutoPosition keep(in);
    if (!in.MoveDown(name, index)) return 0;
    int32_t count = in.GetValue(int32_t(0), "Siz", 0);
    // A damaged count cannot ask for more elements than the block has room for.
    const uint32_t size = in.GetMemoryStream().GetSize();
    const uint32_t room = in.UseTags() ? size / kSmallestElementNode : size;
    count = int32_t(std::min<int64_t>(count, room));
    // Without a factory no element can be made; the group is there all the same.
    if (!factory) return 1;
    for (int32_t i = 0; i < count; ++i) {
        TTaggedStream::TAutoPosition element(in);
        TObject* obj = factory(context);
        if (!obj) break;
        bool taken = false;
        try {
            if (obj->RestoreState(in, context, "E", i)) taken = append(obj);
        } catch (...) {
            obj->Delete();
            throw;
        }
        if (!taken) {
            obj->Delete();
            break;
        }
    }
    return 1;
}

}  // namespace

void TArrayBase::WriteState(TTaggedOutputStream& out, int32_t context, const char* name,
                            int index) const {
    WriteElements(out, context, name, index, m_count, [this](int32_t i) { return Slot(i); });
}

char TArrayBase::RestoreState(TTaggedInputStream& in, int32_t context, const char* name,
                              int index) {
    return RestoreElements(in, context, name, index, m_factory, [this](TObject* obj) {
        Add(obj);
        return true;
    });
}

void TDoubleList::WriteState(TTaggedOutputStream& out, int32_t context, const char* name,
                             int index) const {
    const TListElement* e = GetFirst();
    int32_t walked = 0;
    // Elements are visited in order, so one walk serves every index.
    WriteElements(out, context, name, index, m_count, [&](int32_t i) -> const TObject* {
        for (; walked < i && e; ++walked) e = e->GetNext();
        return e;
    });
}

char TDoubleList::RestoreState(TTaggedInputStream& in, int32_t context, const char* name,
                               int index) {
    return RestoreElements(in, context, name, index, m_factory, [this](TObject* obj) {
        // A factory that makes something other than a list element cannot fill a list.
        TListElement* e = dynamic_cast<TListElement*>(obj);
        if (!e) return false;
        Append(e);
        return true;
    });
}
