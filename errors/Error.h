#pragma once

#include <cstddef>

// Failures travel as error objects raised by value and caught by reference to CError. Each
// carries a code (whose meaning depends on the kind) and one text, at most 511 characters,
// that serves both the log and the person at the bench.
class CError {
public:
    virtual ~CError() = default;
    virtual int GetCode() const = 0;
    // Copies the text, terminated, into dest (cut to destSize - 1 characters); returns the
    // number of bytes copied including the terminator.
    virtual int CopyText(char* dest, std::size_t destSize) const = 0;
    virtual const char* GetText() const = 0;
    // Shows the text in a message box; returns the box's result.
    virtual int Show() const = 0;
};

// The text and code every error kind holds. Formatting is printf-style and never overruns:
// a longer expansion is cut at 511 characters.
class CErrorText {
public:
    static constexpr std::size_t kSize = 512;
    void Format(const char* format, __builtin_va_list args);
    void Set(const char* text);
    int CopyTo(char* dest, std::size_t destSize) const;
    const char* Text() const { return m_text; }

private:
    char m_text[kSize] = {};
};

// Format checks by the C99 rules (%zu) with every compiler: to mingw's compiler plain
// "printf" means the formats of the old Microsoft runtime.
#if defined(__MINGW32__)
#define TESSARIN_PRINTF_FORMAT gnu_printf
#else
#define TESSARIN_PRINTF_FORMAT printf
#endif

#define TESSARIN_ERROR_KIND(Kind)                                                         \
    class Kind : public CError {                                                          \
    public:                                                                               \
        explicit Kind(int code, const char* format = nullptr, ...)                        \
            __attribute__((format(TESSARIN_PRINTF_FORMAT, 3, 4)));                                   \
        int GetCode() const override { return m_code; }                                   \
        int CopyText(char* dest, std::size_t destSize) const override                     \
        {                                                                                 \
            return m_text.CopyTo(dest, destSize);                                         \
        }                                                                                 \
        const char* GetText() const override { return m_text.Text(); }                    \
        int Show() const override;                                                        \
                                                                                          \
    private:                                                                              \
        CErrorText m_text;                                                                \
        int m_code;                                                                       \
    }

// General failures: 1 a timer could not be had, 2 the serial port could not be had,
// 3 anything else with its own text.
TESSARIN_ERROR_KIND(CGenError);
// Serial port and line failures, codes 1 to 12.
TESSARIN_ERROR_KIND(CCommError);
// Link protocol failures: 1 negative or missing acknowledgement, 3 wrong or missing reply,
// 4 corrupted reply, 5 time-out.
TESSARIN_ERROR_KIND(CVeskError);

#undef TESSARIN_ERROR_KIND
