// commonvcqx/containers/StringItem.h
//
// TStringItem<Base>: an element (Base is TListElement or another element class) that
// carries one TString. TFlexList<TStringItem<TListElement>> is the library's list of
// strings. Items order byte by byte (unsigned), clone with their text and hash it.
//
//   TFlexList<TStringItem<TListElement>> names;
//   names.InsertInSortedList(new TStringItem<TListElement>("Bach"));
//   TStringItem<TListElement> probe("Bach");
//   bool known = names.FindEqual(probe) != nullptr;
#pragma once

#include <commonvcqx/containers/DoubleList.h>
#include <commonvcqx/text/String.h>

#include <cstring>

template <class Base = TListElement>
class TStringItem : public Base {
public:
    TStringItem() = default;
    explicit TStringItem(const char* text) : m_string(text) {}
    explicit TStringItem(const TString& text) noexcept : m_string(text) {}
    TStringItem(const TStringItem& other) = default;
    TStringItem& operator=(const TStringItem& other) = default;
    ~TStringItem() override = default;

    TString& GetString() noexcept { return m_string; }
    const TString& GetString() const noexcept { return m_string; }
    void SetString(const TString& text) noexcept { m_string = text; }
    operator const TString&() const noexcept { return m_string; }
    const char* c_str() const noexcept { return m_string.c_str(); }

    /// Byte-wise order of the texts; the mode is not used. `other` must be a string item.
    int Compare(const TObject& other, int) const override {
        return std::strcmp(m_string.c_str(), static_cast<const TStringItem&>(other).c_str());
    }
    TObject* CreateClone(void*) const override { return new TStringItem(*this); }
    unsigned int GetHashedValue() const override {
        uint32_t h = 0;
        for (const char* p = m_string.c_str(); *p; ++p)
            h = ((h << 1) | (h >> 31)) ^ uint32_t(int32_t(static_cast<signed char>(*p)));
        return h;
    }

    TString m_string;
};
