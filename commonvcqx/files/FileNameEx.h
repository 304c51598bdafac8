// commonvcqx/files/FileNameEx.h
//
// TFileNameEx: a TFileName carrying two byte flags for its user. The library gives
// them no meaning; they travel with copies and clones.
//
//   TFileNameEx entry(TFileName("C:\\a.wav"), 1, 0);
//   if (entry.m_flag1) Mark(entry);
#pragma once

#include <commonvcqx/files/FileName.h>

class TFileNameEx : public TFileName {
public:
    TFileNameEx() noexcept : m_flag1(0), m_flag2(0) {}
    TFileNameEx(const TFileName& name, char first, char second) noexcept
        : TFileName(name), m_flag1(first), m_flag2(second) {}
    TFileNameEx(const TFileNameEx& other) noexcept = default;
    TFileNameEx& operator=(const TFileNameEx& other) noexcept = default;
    ~TFileNameEx() override;

    /// A new TFileNameEx with the same text and flags, allocated from the string heap.
    TObject* CreateClone(void* context) const override;

    char m_flag1;  ///< the first flag given to the constructor
    char m_flag2;  ///< the second flag
};
