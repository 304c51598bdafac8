#include <commonvcqx/text/AutoString.h>

#include <commonvcqx/text/StringFunctions.h>

TAutoString::TAutoString(int size)
    : m_buffer(new char[size < 0 ? 1 : static_cast<unsigned>(size) + 1]), m_autoDelete(1) {
    m_buffer[0] = '\0';
}

TAutoString::TAutoString(const char* text) : m_buffer(strnewdup(text)), m_autoDelete(1) {}

TAutoString::~TAutoString() {
    if (m_autoDelete) delete[] m_buffer;
}
