// commonvcqx/text/AsciiEncoding.h
//
// A printable encoding of binary data: lines of up to 60 input bytes, each a length
// character (count + 33) and groups of four characters carrying three bytes, six bits
// per character plus 33. Every character lies between '!' and '`'; configuration
// files store binary values this way.
//
//   unsigned char text[ComputeAsciiEncodedSize(3)];     // 5
//   AsciiEncode(reinterpret_cast<const unsigned char*>("abc"), text, 3);   // "$97*D"
//
// Decoding accepts any input: it never reads past `length` characters and writes
// exactly ComputeAsciiDecodedSize(encoded, length) bytes. A line cut short gives the
// bytes of its complete groups and ends the input.
#pragma once

#include <cstdint>

/// Characters needed for `size` bytes (0 for size <= 0).
int32_t ComputeAsciiEncodedSize(int32_t size);

/// Encodes `size` bytes into `target` (no NUL added); returns the characters written.
int32_t AsciiEncode(const unsigned char* source, unsigned char* target, int32_t size);

/// Bytes that AsciiDecode produces from the same `length` characters.
int32_t ComputeAsciiDecodedSize(const unsigned char* encoded, int32_t length);

/// Decodes `length` characters into `target`; returns the bytes written.
int32_t AsciiDecode(const unsigned char* encoded, unsigned char* target, int32_t length);
