// commonvcqx/files/FileNameEx.cpp
#include <commonvcqx/files/FileNameEx.h>

TFileNameEx::~TFileNameEx() = default;

TObject* TFileNameEx::CreateClone(void*) const {
    return new TFileNameEx(*this);
}
