// commonvcqx/text/StringAndValue.h
//
// TStringAndValue: a string paired with a 32-bit value, e.g. a name and its id.
//
//   TStringAndValue entry("Left", 1);
//   entry.value = 2;
#pragma once

#include <commonvcqx/text/String.h>

#include <cstdint>

class TStringAndValue {
public:
    TStringAndValue() noexcept : value(0) {}
    TStringAndValue(const TString& s, int32_t v) : string(s), value(v) {}
    TStringAndValue(const TStringAndValue& other) = default;
    TStringAndValue& operator=(const TStringAndValue& other) = default;
    ~TStringAndValue() = default;

    TString string;
    int32_t value;
};
