// commonvcqx/files/FoundFile.h
//
// TFoundFile: one entry a TDirectoryScanner kept: the full name, the platform's
// directory entry (attributes, times, size) and, for a stored folder, whether it holds
// a visible subfolder of its own (for a folder tree that shows where it can open).
// As a list element it orders folders before files, then by the list's compare mode:
// 1 the names without their folders, 2 the sizes, 3 the last-write times, any other
// the full names; names in the library's file-name order (see FileName.h).
//
//   TFlexList<TFoundFile>& found = scanner.GetFoundFiles();
//   found.SetCompareMode(TFoundFile::kBySize);
//   found.Sort();
//   for (auto& file : found) Show(file.GetName(), file.GetSize());
#pragma once

#include <commonvcqx/containers/DoubleList.h>
#include <commonvcqx/files/FileName.h>
#include <commonvcqx/platform/WinTypes.h>

#include <cstdint>

class TFoundFile : public TListElement {
public:
    /// Compare modes; any other mode orders by the full names.
    static constexpr int kByTitle = 1;
    static constexpr int kBySize = 2;
    static constexpr int kByLastWrite = 3;

    TFoundFile(const TFileName& name, const WIN32_FIND_DATAA& entry) noexcept
        : m_name(name), m_entry(entry) {}
    /// Copies every field; the copy starts outside any list.
    TFoundFile(const TFoundFile& other) noexcept
        : TListElement(),
          m_name(other.m_name),
          m_entry(other.m_entry),
          m_hasSubfolders(other.m_hasSubfolders) {}
    /// Copies every field; the list links stay this element's own.
    TFoundFile& operator=(const TFoundFile& other) noexcept;
    ~TFoundFile() override;

    const TFileName& GetName() const noexcept { return m_name; }
    const WIN32_FIND_DATAA& GetEntry() const noexcept { return m_entry; }
    uint64_t GetSize() const noexcept {
        return (uint64_t{m_entry.nFileSizeHigh} << 32) | m_entry.nFileSizeLow;
    }
    char HasSubfolders() const noexcept { return m_hasSubfolders; }
    void SetHasSubfolders(char has) noexcept { m_hasSubfolders = has; }

    char IsDirectory() const noexcept {
        return (m_entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    }
    char IsHidden() const noexcept {
        return (m_entry.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) != 0;
    }
    /// A folder named "." or "..".
    char IsDots() const noexcept;

    /// Folders first, then by `compareMode` (see above). Any object that is not a
    /// TFoundFile orders after this one.
    int Compare(const TObject& other, int compareMode) const override;
    TObject* CreateClone(void* context) const override;

private:
    TFileName m_name;
    WIN32_FIND_DATAA m_entry;
    char m_hasSubfolders = 0;
};
