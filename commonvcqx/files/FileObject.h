// commonvcqx/files/FileObject.h
//
// TFileObject: what every library file offers whatever its back end (TFile's handle
// or a mapped view): its size. Code that only needs the size takes a TFileObject.
//
//   int32_t Bytes(const TFileObject& file) { return file.GetFileSize(); }
#pragma once

#include <cstdint>

class TFileObject {
public:
    TFileObject() noexcept = default;
    TFileObject(const TFileObject&) = delete;
    TFileObject& operator=(const TFileObject&) = delete;
    virtual ~TFileObject();

    /// Size in bytes (the low 32 bits for larger files).
    virtual int32_t GetFileSize() const = 0;
};
