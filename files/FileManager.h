#pragma once

#include "files/DataFile.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Converts each pair of hexadecimal digits of `text` (the first `length` characters) into one
// byte, the first digit as the high nibble; returns the number of bytes written. Digits are
// "0"-"9" and "A"-"F"; lower-case "a"-"f" are taken like upper case, and any other character
// counts as 0. A lone last digit is ignored.
std::size_t HexToBytes(const char* text, std::size_t length, uint8_t* out);
// True when the text is a non-empty, even run of upper-case hexadecimal digits.
bool IsHexText(std::string_view text);

// The configuration and patch script file in memory, with positional look-ups: find the line
// that names a block (the block mark is then the start of the line after it), then read line
// n, field c below it. Lines end with CR LF (after a CR the next character is skipped unread)
// or LF alone; fields are separated by commas and taken as they are.
//
// Every look-up stops at the end of its line or of the text. A block, line or field that is
// not there is reported: FindBlock/FindNthBlock/GetLine/GetField/GetBytes return false (and
// give empty results), GetNumber gives 0; Found() tells whether the last look-up found what
// it asked for.
class FileManager {
public:
    FileManager() = default;
    FileManager(const FileManager&) = delete;
    FileManager& operator=(const FileManager&) = delete;
    virtual ~FileManager();

    // Opens "patcher.dat" in the current directory, exclusively; false when it cannot.
    bool Open();
    // The same for a configuration file elsewhere (kit tools).
    bool Open(const std::string& path);
    // Reads and deciphers the opened file with the configuration key. False for an empty
    // file, a size that is not a multiple of 8, or a failed allocation (logged).
    bool Load();
    DataFileStatus LoadStatus() const { return m_loadStatus; }
    // Takes plain text instead of a file (kit tools, tests); the text ends at its first NUL.
    void LoadText(std::string_view text);
    bool IsLoaded() const { return !m_buffer.empty(); }
    const char* Text() const { return IsLoaded() ? m_buffer.data() : ""; }

    bool GetFirstLine(std::string& line);
    // The number of lines equal to the name in the whole text.
    int CountLines(std::string_view name);
    bool FindBlock(std::string_view name);
    // The n-th line (from 1) equal to the name. After a name line the search goes on from the
    // second character of the next line, so two name lines in a row count as one.
    bool FindNthBlock(std::string_view name, int n);
    // Line n of the current block, without its line end.
    bool GetLine(int line, std::string& text);
    // Field `field` of line `line` as a hexadecimal number, bytes accumulated most significant
    // first (with more than 8 digits the last four bytes remain); 0 with hex 0 or when absent.
    int32_t GetNumber(int line, int field, int hex = 1);
    // The field's digit pairs as bytes.
    bool GetBytes(int line, int field, std::vector<uint8_t>& bytes);
    // The field's text; with `hex` set, its digit pairs are converted in place at the start
    // of the string, the remaining characters unchanged.
    bool GetField(int line, int field, std::string& text, int hex = 0);
    bool GetProductLine(std::string& name);

    bool Found() const { return m_found; }
    // The index of the first character of line 1 of the current block.
    std::size_t BlockMark() const { return m_mark; }
    // The line number within the whole text (from 1) of the character at `index`.
    int TextLineNumber(std::size_t index) const;

private:
    char At(std::size_t index) const { return index < m_size ? m_buffer[index] : '\0'; }
    // Reads the line at the cursor into `line` and moves the cursor past its line end; false at
    // the end of the text.
    bool ReadLine(std::size_t& cursor, std::string_view& line) const;
    // The start of line n of the current block; false when the text ends before it.
    bool LineStart(int line, std::size_t& at) const;
    // The start and length of a field; false when the line or field is not there.
    bool FieldSpan(int line, int field, std::size_t& at, std::size_t& length);

    CDataFileHandle m_file;
    std::vector<char> m_buffer;  // the text and at least ten zero bytes
    std::size_t m_size = 0;      // characters of text before its first NUL
    int32_t m_fileSize = 0;
    std::size_t m_cursor = 0;
    std::size_t m_mark = 0;
    bool m_found = false;
    // The last line start found in the current block, so that reading a block's lines in turn
    // does not count them again from the block mark each time (line 0: none yet).
    struct LineAt {
        std::size_t mark = 0;
        int line = 0;
        std::size_t at = 0;
    };
    mutable LineAt m_lastLine;
    // Drops the remembered positions below (new text was loaded).
    void ForgetPositions();
    // The last line end TextLineNumber counted to and the number of the line after it (0: none).
    struct LineCount {
        std::size_t cursor = 0;
        int number = 0;
    };
    mutable LineCount m_lastCount;
    // The last block found: its name, which one of that name it was, and where the search
    // stood after it (n 0: none).
    struct BlockFound {
        std::string name;
        int n = 0;
        std::size_t cursor = 0;
        std::size_t lineAfterName = 0;
    };
    BlockFound m_lastBlock;
    DataFileStatus m_loadStatus = DataFileStatus::CannotOpen;
};
