#include "framework/cstring.h"

#include <cstdarg>
#include <vector>

#include "framework/backend.h"

void CString::Format(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    va_list measuring;
    va_copy(measuring, arguments);
    const int length = std::vsnprintf(nullptr, 0, format, measuring);
    va_end(measuring);
    if (length < 0) {
        m_text.clear();
    } else {
        std::vector<char> buffer(static_cast<std::size_t>(length) + 1);
        std::vsnprintf(buffer.data(), buffer.size(), format, arguments);
        m_text.assign(buffer.data(), static_cast<std::size_t>(length));
    }
    va_end(arguments);
}

bool CString::LoadString(UINT id) {
    m_text.clear();
    return framework::backend::LoadStringResource(id, m_text) && !m_text.empty();
}
