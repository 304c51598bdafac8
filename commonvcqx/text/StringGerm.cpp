#include <commonvcqx/text/StringGerm.h>

#include <commonvcqx/memory/Heap.h>
#include <commonvcqx/text/StaticStrings.h>

#include <new>

TStringGerm::TStringGerm() noexcept : m_value{0}, m_kind(kNull) {}

TStringGerm::TStringGerm(int32_t id) noexcept : m_value{0}, m_kind(kNull) {
    SetId(id);
}

TStringGerm::TStringGerm(const char* text) noexcept : m_value{0}, m_kind(kNull) {
    SetText(text);
}

TStringGerm::TStringGerm(const TString& s) : m_value{0}, m_kind(kNull) {
    SetOwned(s);
}

TStringGerm::TStringGerm(const TStringGerm& other) : m_value{0}, m_kind(kNull) {
    if (other.m_kind == kOwned && other.m_value.string)
        SetOwned(*other.m_value.string);
    else {
        m_value = other.m_value;
        m_kind = other.m_kind;
    }
}

TStringGerm::~TStringGerm() {
    Cleanup();
}

TStringGerm& TStringGerm::operator=(int32_t id) noexcept {
    Cleanup();
    SetId(id);
    return *this;
}

TStringGerm& TStringGerm::operator=(const char* text) noexcept {
    Cleanup();
    SetText(text);
    return *this;
}

TStringGerm& TStringGerm::operator=(const TString& s) {
    // Shares the text before the old string goes: `s` may be that very string.
    TString keep(s);
    Cleanup();
    SetOwned(keep);
    return *this;
}

TStringGerm& TStringGerm::operator=(const TStringGerm& other) {
    if (this == &other) return *this;
    if (other.m_kind == kOwned && other.m_value.string) return *this = *other.m_value.string;
    Cleanup();
    m_value = other.m_value;
    m_kind = other.m_kind;
    return *this;
}

void TStringGerm::SetId(int32_t id) noexcept {
    m_value.raw = 0;
    m_value.id = id;
    m_kind = kId;
}

void TStringGerm::SetText(const char* text) noexcept {
    m_value.text = text;
    m_kind = kText;
}

void TStringGerm::SetOwned(const TString& s) {
    m_kind = kOwned;
    m_value.raw = 0;
    // A failed allocation leaves an owned germ without a string: IsValid() is false.
    if (void* block = _stringHeap->AllocMem(sizeof(TString)))
        m_value.string = ::new (block) TString(s);
}

void TStringGerm::Cleanup() noexcept {
    if (m_kind == kOwned && m_value.string) {
        m_value.string->~TString();
        NH_Heap::FreeMem(m_value.string);
    }
    m_value.raw = 0;
}

const char* TStringGerm::GetString() const {
    switch (m_kind) {
        case kId:
            m_value.text = GetStaticString(m_value.id);
            m_kind = kText;
            return m_value.text ? m_value.text : "";
        case kText:
            return m_value.text ? m_value.text : "";
        case kOwned:
            return m_value.string ? m_value.string->c_str() : "";
        default:
            return "";
    }
}
