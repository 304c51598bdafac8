// commonvcqx/text/AutoString.h
//
// TAutoString: a plain character buffer from the global new, deleted with the holder
// unless its auto-delete flag was cleared (to hand the buffer on).
//
//   TAutoString buffer(255);            // 256 bytes, empty text
//   snprintf(buffer, 256, "%d", 42);
//   TAutoString copy("text");           // a fresh copy
#pragma once

class TAutoString {
public:
    /// `size` + 1 bytes (1 byte when size is negative) holding "".
    TAutoString(int size);
    /// A fresh copy of `text`; null gives "".
    TAutoString(const char* text);
    ~TAutoString();

    // One owner per buffer: a copy would delete it twice.
    TAutoString(const TAutoString&) = delete;
    TAutoString& operator=(const TAutoString&) = delete;

    operator char*() const noexcept { return m_buffer; }
    /// Non-zero: the destructor deletes the buffer; zero: the caller took it over.
    void EnableAutoDelete(char enable) noexcept { m_autoDelete = enable; }

private:
    char* m_buffer;
    char m_autoDelete;
};
