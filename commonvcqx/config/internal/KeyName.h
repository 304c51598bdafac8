// commonvcqx/config/internal/KeyName.h
//
// The name of a key from caller text and an index: the text, followed by the index in
// decimal when it is not 0. Short names are built on the stack; longer ones go into
// a string, so that no name is ever cut or written past a buffer. Also the trimming
// of blanks that names, paths and lines share.
#pragma once

#include <commonvcqx/base/BoundedText.h>
#include <commonvcqx/text/String.h>

#include <cstring>
#include <string>
#include <string_view>

namespace cvq::detail {

class TKeyName {
public:
    TKeyName(std::string_view name, int index) {
        if (index == 0) {
            m_view = name;
            return;
        }
        TBoundedText text(m_buffer);
        text.Append(name.data(), name.size()).AppendInteger(index);
        if (!text.Truncated()) {
            m_view = std::string_view(text.Text(), text.Length());
            return;
        }
        m_long.assign(name);
        m_long += std::to_string(index);
        m_view = m_long;
    }
    TKeyName(const TKeyName&) = delete;
    TKeyName& operator=(const TKeyName&) = delete;

    std::string_view View() const noexcept { return m_view; }

private:
    char m_buffer[64];
    std::string m_long;  // empty (and free of heap calls) for the common short name
    std::string_view m_view;
};

/// `text` without the spaces and tabs at its ends.
inline std::string_view TrimBlanks(std::string_view text) noexcept {
    size_t first = 0;
    while (first < text.size() && (text[first] == ' ' || text[first] == '\t')) ++first;
    size_t last = text.size();
    while (last > first && (text[last - 1] == ' ' || text[last - 1] == '\t')) --last;
    return text.substr(first, last - first);
}

}  // namespace cvq::detail
