#include "errors/Error.h"

#include "platform/UiServices.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

void CErrorText::Format(const char* format, va_list args)
{
    m_text[0] = '\0';
    std::vsnprintf(m_text, kSize, format, args);
}

void CErrorText::Set(const char* text)
{
    std::snprintf(m_text, kSize, "%s", text);
}

int CErrorText::CopyTo(char* dest, std::size_t destSize) const
{
    if (dest == nullptr || destSize == 0)
        return 0;
    std::size_t length = std::strlen(m_text);
    if (length >= destSize)
        length = destSize - 1;
    std::memcpy(dest, m_text, length);
    dest[length] = '\0';
    return static_cast<int>(length + 1);
}

namespace {
const char* GenDefaultText(int code)
{
    switch (code) {
    case 1:
        return "Unable to allocate timer object";
    case 2:
        return "Unable to allocate serial comm object";
    case 3:
        return "General operation error occured";
    default:
        return "No error message text was received";
    }
}

constexpr const char* kLinkDefaultText = "No error message was received";
} // namespace

#define TESSARIN_ERROR_CONSTRUCTOR(Kind, defaultText)                                     \
    Kind::Kind(int code, const char* format, ...) : m_code(code)                          \
    {                                                                                     \
        if (format == nullptr) {                                                          \
            m_text.Set(defaultText);                                                      \
            return;                                                                       \
        }                                                                                 \
        va_list args;                                                                     \
        va_start(args, format);                                                           \
        m_text.Format(format, args);                                                      \
        va_end(args);                                                                     \
    }

TESSARIN_ERROR_CONSTRUCTOR(CGenError, GenDefaultText(code))
TESSARIN_ERROR_CONSTRUCTOR(CCommError, kLinkDefaultText)
TESSARIN_ERROR_CONSTRUCTOR(CVeskError, kLinkDefaultText)

#undef TESSARIN_ERROR_CONSTRUCTOR

int CGenError::Show() const { return Ui().MessageBox(GetText(), "Error", MB_OK | MB_ICONEXCLAMATION); }
int CCommError::Show() const { return Ui().MessageBox(GetText(), "Error", MB_OK); }
int CVeskError::Show() const { return Ui().MessageBox(GetText(), "Error", MB_OK); }
