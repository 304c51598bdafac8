// TMemoryMappedFile over the platform's file mappings. Every change to the view list
// and every size change runs under the library's global critical section.
#include <commonvcqx/files/MemoryMappedFile.h>

#include <commonvcqx/files/File.h>
#include <commonvcqx/files/internal/FileErrors.h>
#include <commonvcqx/frame/Exception.h>
#include <commonvcqx/memory/AllocatorHooks.h>
#include <commonvcqx/memory/Heap.h>
#include <commonvcqx/platform/FileFlags.h>
#include <commonvcqx/platform/internal/FileMapping.h>
#include <commonvcqx/threads/CriticalSection.h>

#include <cstring>
#include <new>

namespace pf = cvq::platform;
using namespace cvq::open_flags;
using cvq::detail::IsDiskFull;
using cvq::detail::ThrowFileError;
using cvq::detail::ThrowNotEnoughDiskSpace;

namespace {

[[noreturn]] void ThrowOutOfMemory() {
    ThrowFileError(18026, ERROR_NOT_ENOUGH_MEMORY);
}

// 18026 for short memory; 18019 naming the drive for a full disk (only where the file
// may grow); otherwise 18021.
[[noreturn]] void ThrowMappingError(DWORD error, const TFile* growing) {
    if (error == ERROR_NOT_ENOUGH_MEMORY) ThrowFileError(18026, error);
    if (growing && IsDiskFull(error)) ThrowNotEnoughDiskSpace(growing->GetName().c_str(), error);
    ThrowFileError(18021, error);
}

class TGlobalGuard : public TAutoCriticalSection {
public:
    TGlobalGuard() : TAutoCriticalSection(GetGlobalCriticalSection()) {}
};

}  // namespace

// ---------------------------------------------------------------------------- TView

TMemoryMappedFile::TView::~TView() = default;

int TMemoryMappedFile::TView::Compare(const TObject& other, int) const {
    const auto& view = static_cast<const TView&>(other);
    if (m_offset != view.m_offset) return m_offset < view.m_offset ? -1 : 1;
    if (m_size != view.m_size) return m_size < view.m_size ? -1 : 1;
    return 0;
}

void* TMemoryMappedFile::TView::operator new(size_t size) {
    void* block = FindBase2()->AllocMem(size);
    if (!block) ThrowOutOfMemory();
    return block;
}

void TMemoryMappedFile::TView::operator delete(void* p) noexcept {
    NH_Heap::FreeMem(p);
}

// ------------------------------------------------------------------- construction

TMemoryMappedFile::TMemoryMappedFile(const TFileName& name, int flags, char createView,
                                     uint32_t maximumSize)
    : m_ownsFile(1) {
    // Only a file this call brings into being may be removed when it fails.
    bool existed = !(flags & kTempInDirectory) && TFile::Exist(name, TFile::kAnything);
    void* block = FindBase2()->AllocMem(sizeof(TFile));
    if (!block) ThrowOutOfMemory();
    m_file = new (block) TFile();
    try {
        m_file->Open(name, flags);
        Initialize(createView, maximumSize);
    } catch (...) {
        DeleteAllViews();
        CloseMapping();
        if (!existed && m_file->IsOpen()) m_file->SetDeleteOnClose();
        DestroyOwnedFile();
        throw;
    }
}

TMemoryMappedFile::TMemoryMappedFile(TFile& file, char createView, uint32_t maximumSize)
    : m_file(&file) {
    try {
        Initialize(createView, maximumSize);
    } catch (...) {
        // No destructor runs for an object that was never made: its mapping goes here.
        DeleteAllViews();
        CloseMapping();
        throw;
    }
}

TMemoryMappedFile::~TMemoryMappedFile() {
    DeleteAllViews();
    CloseMapping();
    if (m_ownsFile && m_file) DestroyOwnedFile();
}

void TMemoryMappedFile::DestroyOwnedFile() noexcept {
    m_file->~TFile();  // closes, swallowing what it reports: callers who care close first
    NH_Heap::FreeMem(m_file);
    m_file = nullptr;
}

void TMemoryMappedFile::Initialize(char createView, uint32_t maximumSize) {
    if (!m_file->IsOpen()) ThrowFileError(18000, m_file->GetName().c_str(), ERROR_INVALID_HANDLE);
    int flags = m_file->GetOpenFlags();
    // No access bit opens for reading and writing, so that is what such a file maps as.
    if ((flags & kReadWrite) || !(flags & kAccessBits))
        m_access = static_cast<int>(pf::EViewAccess::ReadWrite);
    else if (flags & kWriteAccess)
        m_access = static_cast<int>(pf::EViewAccess::Write);
    else
        m_access = static_cast<int>(pf::EViewAccess::Read);
    TGlobalGuard guard;
    OpenMapping(maximumSize);
    m_fileSize = m_mappingSize;
    if (createView) CreateView(0, 0);
}

void TMemoryMappedFile::OpenMapping(uint32_t size) {
    DWORD error = 0;
    m_mapping = pf::CreateFileMapping(m_file->GetHandle(), size,
                                      static_cast<pf::EViewAccess>(m_access), error);
    if (!m_mapping) ThrowMappingError(error, m_file);
    uint64_t mapped = pf::MappingSize(m_mapping);
    if (mapped > UINT32_MAX) {
        CloseMapping();
        ThrowFileError(18021, ERROR_FILE_TOO_LARGE);
    }
    m_mappingSize = static_cast<uint32_t>(mapped);
}

void TMemoryMappedFile::CloseMapping() noexcept {
    pf::CloseFileMapping(m_mapping);
    m_mapping = nullptr;
}

// -------------------------------------------------------------------------- views

void* TMemoryMappedFile::GetStart() const noexcept {
    TView* first = m_views.GetFirst();
    return first ? first->GetStart() : nullptr;
}

uint32_t TMemoryMappedFile::GetSize() const noexcept {
    TView* first = m_views.GetFirst();
    return first ? first->GetSize() : 0;
}

TMemoryMappedFile::TView* TMemoryMappedFile::CreateView(uint32_t offset, uint32_t size) {
    TGlobalGuard guard;
    if (!m_mapping) ThrowFileError(18021, ERROR_INVALID_HANDLE);
    if (size == 0 && offset < m_mappingSize) size = m_mappingSize - offset;
    DWORD error = 0;
    void* start = pf::MapView(m_mapping, offset, size, error);
    if (!start) ThrowMappingError(error, nullptr);
    TView* view;
    try {
        view = new TView(this, start, size, offset);
    } catch (...) {
        pf::UnmapView(start, size, error);
        throw;
    }
    m_views.Append(view);
    return view;
}

void TMemoryMappedFile::Unmap(TView* view) noexcept {
    DWORD ignored = 0;
    pf::UnmapView(view->m_start, view->m_size, ignored);
    view->m_start = nullptr;
}

void TMemoryMappedFile::CloseView(TView* view) {
    if (!view || view->m_owner != this) return;
    TGlobalGuard guard;
    m_views.Detach(view);
    Unmap(view);
    delete view;
}

void TMemoryMappedFile::DeleteAllViews() {
    TGlobalGuard guard;
    while (TView* view = m_views.GetFirst()) CloseView(view);
}

TMemoryMappedFile::TView* TMemoryMappedFile::FindElseCreate(uint32_t offset, uint32_t size) {
    TGlobalGuard guard;
    for (TView* view = m_views.GetFirst(); view; view = m_views.GetNext(view)) {
        if (view->Contains(offset, size)) {
            ++view->m_count;
            return view;
        }
    }
    try {
        return CreateView(offset, size);
    } catch (const TException&) {
        return nullptr;
    }
}

void TMemoryMappedFile::Release(TView* view) {
    if (!view) return;
    TGlobalGuard guard;
    if (--view->m_count <= 0) CloseView(view);
}

void TMemoryMappedFile::RemapView(TView* view, uint32_t offset) {
    if (!view || view->m_owner != this) return;
    TGlobalGuard guard;
    Unmap(view);
    DWORD error = ERROR_INVALID_HANDLE;
    void* start = m_mapping ? pf::MapView(m_mapping, offset, view->m_size, error) : nullptr;
    if (!start) {
        m_views.Detach(view);
        delete view;
        ThrowMappingError(error, nullptr);
    }
    view->m_start = start;
    view->m_offset = offset;
}

void TMemoryMappedFile::FlushViews() {
    TGlobalGuard guard;
    DWORD failure = 0;
    for (TView* view = m_views.GetFirst(); view; view = m_views.GetNext(view)) {
        DWORD error = 0;
        if (!pf::FlushView(view->m_start, view->m_size, error) && failure == 0) failure = error;
    }
    if (failure == 0) return;
    if (IsDiskFull(failure)) ThrowNotEnoughDiskSpace(m_file->GetName().c_str(), failure);
    ThrowFileError(18003, failure);
}

// ------------------------------------------------------------------ size and close

void* TMemoryMappedFile::SetFileSize(uint32_t size, char createView, char zeroFill) {
    TGlobalGuard guard;
    if (size == m_fileSize || !m_mapping) return nullptr;
    uint32_t oldFileSize = m_fileSize;
    uint32_t oldMappingSize = m_mappingSize;
    DeleteAllViews();
    CloseMapping();
    try {
        OpenMapping(size);
    } catch (const TException&) {
        // Keep the mapping the file had, so the object stays usable after the report.
        try {
            OpenMapping(oldMappingSize);
        } catch (const TException&) {
        }
        throw;
    }
    m_fileSize = static_cast<uint32_t>(m_file->GetSize());
    if (!createView) return nullptr;
    TView* view = CreateView(0, 0);
    if (zeroFill && size > oldFileSize && oldFileSize < view->m_size)
        std::memset(static_cast<char*>(view->m_start) + oldFileSize, 0, view->m_size - oldFileSize);
    return view->m_start;
}

void TMemoryMappedFile::ExtendMapping(uint32_t size) {
    TGlobalGuard guard;
    if (!m_mapping) ThrowFileError(18021, ERROR_INVALID_HANDLE);
    if (size <= m_mappingSize) return;
    DWORD error = 0;
    if (!pf::ExtendFileMapping(m_mapping, size, error)) ThrowMappingError(error, m_file);
    m_mappingSize = size;
    m_fileSize = static_cast<uint32_t>(m_file->GetSize());
}

void TMemoryMappedFile::Close() {
    DeleteAllViews();
    {
        TGlobalGuard guard;
        CloseMapping();
    }
    if (m_file) m_file->Close();
}
