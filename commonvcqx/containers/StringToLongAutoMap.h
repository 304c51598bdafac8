// commonvcqx/containers/StringToLongAutoMap.h
//
// TStringToLongAutoMap: an owning hash map from text keys (case-sensitive) to 32-bit
// values, whose elements are TStringAndLongForAutoMap. operator[] adds a missing key
// with the value 0, which makes it a ready-made counter.
//
//   TStringToLongAutoMap words;
//   ++words["the"];
//   ++words["the"];
//   int32_t seen = words["the"];       // 2
#pragma once

#include <commonvcqx/containers/FlexHashMap.h>
#include <commonvcqx/containers/internal/KeyIndex.h>
#include <commonvcqx/text/String.h>

#include <cstddef>
#include <cstdint>

class TStringAndLongForAutoMap : public THashableElement {
public:
    TStringAndLongForAutoMap() noexcept : m_value(0) {}
    TStringAndLongForAutoMap(const TString& key, int32_t value) noexcept
        : m_key(key), m_value(value) {}
    TStringAndLongForAutoMap(const char* key, int32_t value) : m_key(key), m_value(value) {}
    TStringAndLongForAutoMap(const TStringAndLongForAutoMap& other) noexcept = default;
    ~TStringAndLongForAutoMap() override;

    /// Byte-wise (unsigned) order of the keys; the mode is not used.
    int Compare(const TObject& other, int compareMode) const override;
    TObject* CreateClone(void* context) const override;
    /// For each key byte: rotate left by one, then XOR the byte sign-extended.
    unsigned int GetHashedValue() const override;

    TString m_key;
    int32_t m_value;

private:
    friend class TStringToLongAutoMap;
    mutable uint32_t m_check = 0;  // second hash of the key, recorded with the first
};

// Lookups go through a key index on the second hash; the buckets keep the list order.
class TStringToLongAutoMap : public TFlexHashMapImp {
public:
    explicit TStringToLongAutoMap(int size = 0);
    TStringToLongAutoMap(const TStringToLongAutoMap& other);
    TStringToLongAutoMap& operator=(const TStringToLongAutoMap& other);
    ~TStringToLongAutoMap() override;

    /// The value stored for the key; a missing key is added first with the value 0.
    int32_t& operator[](const char* key);
    int32_t& operator[](const TString& key);

protected:
    void Filed(THashableElement& e) noexcept override;
    void Unfiled(THashableElement& e) noexcept override;
    void UnfiledAll() noexcept override;

private:
    TStringAndLongForAutoMap* Find(const TString& key, uint32_t hash, uint32_t check,
                                   size_t length) const noexcept;
    void RebuildIndex() noexcept;

    cvq::detail::TKeyIndex m_index;
};
