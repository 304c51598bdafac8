// The text-to-value map and its elements.
#include <commonvcqx/containers/StringToLongAutoMap.h>

#include <cstring>

TStringAndLongForAutoMap::~TStringAndLongForAutoMap() = default;

int TStringAndLongForAutoMap::Compare(const TObject& other, int) const {
    return std::strcmp(m_key.c_str(),
                       static_cast<const TStringAndLongForAutoMap&>(other).m_key.c_str());
}

TObject* TStringAndLongForAutoMap::CreateClone(void*) const {
    return new TStringAndLongForAutoMap(*this);
}

unsigned int TStringAndLongForAutoMap::GetHashedValue() const {
    uint32_t h = 0;
    for (const char* p = m_key.c_str(); *p; ++p)
        h = ((h << 1) | (h >> 31)) ^ uint32_t(int32_t(static_cast<signed char>(*p)));
    return h;
}

int32_t& TStringToLongAutoMap::operator[](const TString& key) {
    const TStringAndLongForAutoMap probe(key, 0);
    auto* found = static_cast<TStringAndLongForAutoMap*>(FindEqual(probe));
    if (!found) {
        found = new TStringAndLongForAutoMap(key, 0);
        try {
            Add(found);
        } catch (...) {
            found->Delete();
            throw;
        }
    }
    return found->m_value;
}

int32_t& TStringToLongAutoMap::operator[](const char* key) {
    return (*this)[TString(key)];
}
