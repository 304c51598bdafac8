// commonvcqx/files/MemoryMappedFile.h
//
// TMemoryMappedFile: a file, or windows of it, mapped into memory. It owns a TFile it
// opened itself or borrows one the caller keeps, holds one mapping of a chosen maximum
// size (a mapping larger than the file grows the file on disk first) and a list of
// views, each a mapped window with a reference count. Views are writable when the file
// was opened for writing (0x4, 0x8, or no access bit at all); otherwise writing through
// a view faults. View offsets are multiples of the allocation granularity (the page
// size). The view list is guarded by the library's global critical section, so threads
// may share one mapped file's views.
//
//   TMemoryMappedFile map("C:\\tmp\\take.raw", 0x2, 1, 0);     // read-only, whole file
//   const char* bytes = static_cast<const char*>(map.GetStart());
//   TMemoryMappedFile::TView* window = map.FindElseCreate(65536, 4096);
//   ...
//   map.Release(window);
#pragma once

#include <commonvcqx/containers/DoubleList.h>
#include <commonvcqx/containers/FlexList.h>
#include <commonvcqx/files/FileName.h>
#include <commonvcqx/files/FileObject.h>

#include <cstddef>
#include <cstdint>

class TFile;

namespace cvq::platform {
struct FileMapping;
}

class TMemoryMappedFile : public TFileObject {
public:
    /// One mapped window of the file; made and removed by its TMemoryMappedFile only.
    class TView : public TListElement {
    public:
        TMemoryMappedFile* GetOwner() const noexcept { return m_owner; }
        void* GetStart() const noexcept { return m_start; }
        uint32_t GetSize() const noexcept { return m_size; }
        uint32_t GetOffset() const noexcept { return m_offset; }
        /// Offset just past the window.
        uint64_t GetEnd() const noexcept { return uint64_t{m_offset} + m_size; }
        int32_t GetCount() const noexcept { return m_count; }
        /// The whole range [offset, offset + size) lies inside the window.
        bool Contains(uint32_t offset, uint32_t size) const noexcept {
            return offset >= m_offset && uint64_t{offset} + size <= GetEnd();
        }

        /// Orders by file offset, then by size.
        int Compare(const TObject& other, int compareMode) const override;

        // Records live in the heap FindBase2() picks.
        static void* operator new(size_t size);
        static void operator delete(void* p) noexcept;

    private:
        friend class TMemoryMappedFile;
        TView(TMemoryMappedFile* owner, void* start, uint32_t size, uint32_t offset) noexcept
            : m_owner(owner), m_start(start), m_size(size), m_offset(offset) {}
        ~TView() override;

        TMemoryMappedFile* m_owner;
        void* m_start;
        uint32_t m_size;
        uint32_t m_offset;
        int32_t m_count = 1;
    };

    /// Opens a file of its own with `flags` (as TFile::Open), maps `maximumSize` bytes of
    /// it (0: its size) and, with `createView`, the whole mapping. On failure nothing is
    /// left behind: a file this call created is removed, an existing one kept.
    TMemoryMappedFile(const TFileName& name, int flags, char createView = 1,
                      uint32_t maximumSize = 0);
    /// Maps an open file that stays the caller's; it must outlive this object or Close.
    explicit TMemoryMappedFile(TFile& file, char createView = 1, uint32_t maximumSize = 0);
    /// Removes the views and the mapping; an owned file is closed and destroyed.
    ~TMemoryMappedFile() override;

    /// The file's size as last known.
    int32_t GetFileSize() const override { return static_cast<int32_t>(m_fileSize); }
    TFile* GetFile() const noexcept { return m_file; }
    /// The size the mapping was made with.
    uint32_t GetMappingSize() const noexcept { return m_mappingSize; }
    const TFlexList<TView>& GetViews() const noexcept { return m_views; }
    /// The first view, or null.
    TView* GetView() const noexcept { return m_views.GetFirst(); }
    /// The view at `index` in creation order (not range-checked).
    TView* GetView(int index) const noexcept { return m_views.Element(index); }
    /// Start of the first view, null when there is none.
    void* GetStart() const noexcept;
    /// Size of the first view, 0 when there is none.
    uint32_t GetSize() const noexcept;

    /// Maps `size` bytes at `offset` (size 0: to the end of the mapping) with count 1
    /// and appends the view. 18026 when memory is short, else 18021.
    TView* CreateView(uint32_t offset, uint32_t size);
    /// Unmaps and removes the view whatever its count.
    void CloseView(TView* view);
    void DeleteAllViews();
    /// The first view holding all of [offset, offset + size), its count raised; else a
    /// new view of exactly that range. Null when it cannot be mapped.
    TView* FindElseCreate(uint32_t offset, uint32_t size);
    /// Lowers the count; the view is unmapped and removed at 0.
    void Release(TView* view);
    /// Maps the view's whole size again at `offset`; on failure the view is removed and
    /// the error raised as by CreateView.
    void RemapView(TView* view, uint32_t offset);
    /// Writes every view's changed pages to the file (18019 for a full disk, else 18003).
    void FlushViews();

    /// Remakes the mapping with `size` bytes when that differs from the file size
    /// (growing the file; all views are removed). With `createView` maps the whole of it
    /// and returns its start; `zeroFill` clears the grown part. Null otherwise.
    void* SetFileSize(uint32_t size, char createView, char zeroFill);
    /// Grows the file and the mapping to `size` bytes keeping every view where it is, so
    /// pointers into them stay good (one writer's growth cannot pull the ground from
    /// under another's window). The blocks are allocated first: 18019 for a full disk,
    /// else 18021. A size not above the mapping's changes nothing.
    void ExtendMapping(uint32_t size);

    /// Removes the views, the mapping and closes the file (also a borrowed one). An
    /// owned file object stays until destruction.
    void Close();

private:
    void Initialize(char createView, uint32_t maximumSize);
    void OpenMapping(uint32_t size);
    void CloseMapping() noexcept;
    void Unmap(TView* view) noexcept;
    // The owned file's object lives in a FindBase2 block, so it is destroyed by hand.
    void DestroyOwnedFile() noexcept;

    cvq::platform::FileMapping* m_mapping = nullptr;
    TFile* m_file = nullptr;
    uint32_t m_mappingSize = 0;
    TFlexList<TView> m_views{0};
    char m_ownsFile = 0;
    uint32_t m_fileSize = 0;
    int m_access = 0;  // cvq::platform::ViewAccess
};
