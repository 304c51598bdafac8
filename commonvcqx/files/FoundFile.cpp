// commonvcqx/files/FoundFile.cpp
#include <commonvcqx/files/FoundFile.h>

#include <cstring>

namespace {

uint64_t Ticks(const FILETIME& time) {
    return (uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
}

int Sign(uint64_t a, uint64_t b) {
    return a < b ? -1 : a > b ? 1 : 0;
}

}  // namespace

TFoundFile& TFoundFile::operator=(const TFoundFile& other) noexcept {
    m_name = other.m_name;
    m_entry = other.m_entry;
    m_hasSubfolders = other.m_hasSubfolders;
    return *this;
}

TFoundFile::~TFoundFile() = default;

char TFoundFile::IsDots() const noexcept {
    return IsDirectory() &&
           (std::strcmp(m_entry.cFileName, ".") == 0 || std::strcmp(m_entry.cFileName, "..") == 0);
}

int TFoundFile::Compare(const TObject& other, int compareMode) const {
    const auto* found = dynamic_cast<const TFoundFile*>(&other);
    if (!found) return -1;
    if (IsDirectory() != found->IsDirectory()) return IsDirectory() ? -1 : 1;
    switch (compareMode) {
        case kByTitle:
            return CompareFileNames(m_entry.cFileName, found->m_entry.cFileName);
        case kBySize:  // all 64 bits: files of 4 GB and more order by their real size
            return Sign(GetSize(), found->GetSize());
        case kByLastWrite:
            return Sign(Ticks(m_entry.ftLastWriteTime), Ticks(found->m_entry.ftLastWriteTime));
        default:
            return CompareFileNames(m_name.c_str(), found->m_name.c_str());
    }
}

TObject* TFoundFile::CreateClone(void*) const {
    return new TFoundFile(*this);
}
