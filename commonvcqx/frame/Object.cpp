// The defaults of the object protocol: they never fail and never do anything.
#include <commonvcqx/frame/Object.h>

TObject::~TObject() = default;

int TObject::Compare(const TObject&, int) const {
    return -1;
}

TObject* TObject::CreateClone(void*) const {
    return nullptr;
}

unsigned int TObject::GetHashedValue() const {
    return 0;
}

void TObject::Delete() {
    delete this;
}

void TObject::WriteState(TTaggedOutputStream&, int32_t, const char*, int) const {}

char TObject::RestoreState(TTaggedInputStream&, int32_t, const char*, int) {
    return 0;
}

void __AssignCloneVirtual(const TObject* source, TObject** target) {
    if (source && source == *target) {
        // Deleting first would clone a destroyed object: clone, then let the old go.
        TObject* clone = source->CreateClone(nullptr);
        (*target)->Delete();
        *target = clone;
        return;
    }
    if (*target) {
        TObject* old = *target;
        *target = nullptr;
        old->Delete();
    }
    if (source) *target = source->CreateClone(nullptr);
}
