// commonvcqx/text/StringGerm.h
//
// TStringGerm: a small value that becomes a text only when read. It holds nothing,
// a static string id (resolved through GetStaticString on first read), a borrowed
// text (not owned: it must outlive the germ), or a string of its own.
//
//   TStringGerm title(18012);          // looked up when first read
//   TStringGerm name(TString("take")); // owns a string sharing that text
//   puts(title);                       // "File error"
//
// Reading an id changes the germ (it keeps the text found), so a germ shared between
// threads is read by one of them at a time.
#pragma once

#include <commonvcqx/text/String.h>

#include <cstdint>

class TStringGerm {
public:
    TStringGerm() noexcept;
    /// A static string id.
    TStringGerm(int32_t id) noexcept;
    /// A borrowed text.
    TStringGerm(const char* text) noexcept;
    /// An owned string sharing `s`'s text.
    TStringGerm(const TString& s);
    TStringGerm(const TStringGerm& other);
    ~TStringGerm();

    TStringGerm& operator=(int32_t id) noexcept;
    TStringGerm& operator=(const char* text) noexcept;
    TStringGerm& operator=(const TString& s);
    TStringGerm& operator=(const TStringGerm& other);

    /// True when the germ has something to read.
    bool IsValid() const noexcept { return m_value.raw != 0; }
    /// The text; "" for a germ without one (test IsValid() to tell).
    const char* GetString() const;
    operator const char*() const { return GetString(); }

private:
    enum EKind : int32_t { kNull = 0, kId = 1, kText = 2, kOwned = 3 };

    void Cleanup() noexcept;
    void SetId(int32_t id) noexcept;
    void SetText(const char* text) noexcept;
    void SetOwned(const TString& s);

    union TValue {
        uintptr_t raw;
        int32_t id;
        const char* text;
        TString* string;
    };
    // An id becomes its text on first read, inside a const call.
    mutable TValue m_value;
    mutable int32_t m_kind;
};
