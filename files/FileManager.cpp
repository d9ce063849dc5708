#include "files/FileManager.h"

#include "errors/ErrorLog.h"
#include "files/HexText.h"

#include <algorithm>
#include <cstring>

namespace {

bool IsLineEnd(char c) { return c == '\r' || c == '\n' || c == '\0'; }

}  // namespace

std::size_t HexToBytes(const char* text, std::size_t length, uint8_t* out)
{
    std::size_t count = length / 2;
    for (std::size_t i = 0; i < count; ++i)
        out[i] = uint8_t(std::max(0, HexDigitValue(text[2 * i])) << 4 | std::max(0, HexDigitValue(text[2 * i + 1])));
    return count;
}

bool IsHexText(std::string_view text)
{
    if (text.empty() || text.size() % 2 != 0)
        return false;
    return std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
    });
}

FileManager::~FileManager() = default;

bool FileManager::Open() { return Open(kConfigFileName); }

bool FileManager::Open(const std::string& path) { return m_file.Open(path); }

bool FileManager::Load()
{
    DataFileText file = ReadDataFile(m_file, std::string_view(kConfigFileKey), DataFileLimit::kConfiguration);
    m_loadStatus = file.status;
    if (!file.Ok()) {
        if (file.status == DataFileStatus::NoMemory)
            ErrorLog().Log("Unable to allocate memory buffer for reading Patcher configuration file");
        return false;
    }
    m_fileSize = int32_t(file.fileSize);
    m_buffer = std::move(file.buffer);
    m_size = std::strlen(m_buffer.data());
    m_cursor = m_mark = 0;
    ForgetPositions();
    return true;
}

void FileManager::LoadText(std::string_view text)
{
    m_buffer.assign(text.begin(), text.end());
    m_buffer.resize(text.size() + 10, '\0');
    m_fileSize = int32_t(text.size());
    m_size = std::strlen(m_buffer.data());
    m_cursor = m_mark = 0;
    ForgetPositions();
    m_loadStatus = DataFileStatus::Ok;
}

bool FileManager::ReadLine(std::size_t& cursor, std::string_view& line) const
{
    if (cursor >= m_size)
        return false;
    std::size_t end = cursor;
    while (!IsLineEnd(At(end)))
        ++end;
    line = std::string_view(m_buffer.data() + cursor, end - cursor);
    if (At(end) == '\r')
        cursor = std::min(end + 2, m_size);  // the character after a CR is skipped unread
    else if (At(end) == '\n')
        cursor = end + 1;
    else
        cursor = end;
    return true;
}

bool FileManager::GetFirstLine(std::string& line)
{
    std::size_t cursor = 0;
    std::string_view text;
    m_found = ReadLine(cursor, text);
    line.assign(text);
    return m_found;
}

int FileManager::CountLines(std::string_view name)
{
    int count = 0;
    std::size_t cursor = 0;
    std::string_view line;
    while (ReadLine(cursor, line))
        count += line == name;
    return count;
}

bool FileManager::FindBlock(std::string_view name) { return FindNthBlock(name, 1); }

bool FileManager::FindNthBlock(std::string_view name, int n)
{
    m_cursor = 0;
    std::size_t lineAfterName = m_size;
    m_found = n >= 1;
    int occurrence = 1;
    // Asking for the blocks of one name in turn goes on from the last one found.
    if (m_found && m_lastBlock.n >= 1 && m_lastBlock.n <= n && m_lastBlock.name == name) {
        occurrence = m_lastBlock.n + 1;
        m_cursor = m_lastBlock.cursor;
        lineAfterName = m_lastBlock.lineAfterName;
    }
    for (; m_found && occurrence <= n; ++occurrence) {
        std::string_view line;
        bool matched = false;
        while (!matched && ReadLine(m_cursor, line))
            matched = line == name;
        m_found = matched;
        lineAfterName = m_cursor;
        if (m_cursor < m_size)
            ++m_cursor;  // the search goes on from the next line's second character
        if (m_found) {
            m_lastBlock.name.assign(name);
            m_lastBlock.n = occurrence;
            m_lastBlock.cursor = m_cursor;
            m_lastBlock.lineAfterName = lineAfterName;
        }
    }
    // A block that is not there leaves the mark at the end of the text: every line below it
    // then reads as absent.
    m_mark = m_found ? lineAfterName : m_size;
    m_cursor = m_mark;
    return m_found;
}

void FileManager::ForgetPositions()
{
    m_lastLine = LineAt{};
    m_lastCount = LineCount{};
    m_lastBlock.n = 0;
}

bool FileManager::LineStart(int line, std::size_t& at) const
{
    if (line < 1)
        return false;
    int from = 1;
    at = m_mark;
    if (m_lastLine.line >= 1 && m_lastLine.mark == m_mark && m_lastLine.line <= line) {
        from = m_lastLine.line;
        at = m_lastLine.at;
    }
    for (int i = from; i < line; ++i) {
        std::string_view skipped;
        if (!ReadLine(at, skipped))
            return false;
    }
    m_lastLine = LineAt{m_mark, line, at};
    return at < m_size;
}

bool FileManager::FieldSpan(int line, int field, std::size_t& at, std::size_t& length)
{
    length = 0;
    m_found = field >= 1 && LineStart(line, at);
    for (int i = 1; m_found && i < field; ++i) {
        while (At(at) != ',' && !IsLineEnd(At(at)))
            ++at;
        m_found = At(at) == ',';
        ++at;
    }
    if (!m_found)
        return false;
    while (At(at + length) != ',' && !IsLineEnd(At(at + length)))
        ++length;
    m_cursor = at + length;
    return true;
}

bool FileManager::GetLine(int line, std::string& text)
{
    text.clear();
    std::size_t at = 0;
    m_found = LineStart(line, at);
    if (!m_found)
        return false;
    std::size_t end = at;
    while (!IsLineEnd(At(end)))
        ++end;
    text.assign(m_buffer.data() + at, end - at);
    m_cursor = end;
    return true;
}

int32_t FileManager::GetNumber(int line, int field, int hex)
{
    std::size_t at = 0, length = 0;
    if (!FieldSpan(line, field, at, length) || hex == 0)
        return 0;
    uint8_t bytes[128];
    uint32_t value = 0;
    std::size_t done = 0;
    while (done < length) {
        std::size_t part = std::min<std::size_t>(length - done, 2 * sizeof bytes);
        std::size_t count = HexToBytes(m_buffer.data() + at + done, part, bytes);
        for (std::size_t i = 0; i < count; ++i)
            value = value << 8 | bytes[i];
        done += part;
    }
    return int32_t(value);
}

bool FileManager::GetBytes(int line, int field, std::vector<uint8_t>& bytes)
{
    bytes.clear();
    std::size_t at = 0, length = 0;
    if (!FieldSpan(line, field, at, length))
        return false;
    bytes.resize(length / 2);
    HexToBytes(m_buffer.data() + at, length, bytes.data());
    return true;
}

bool FileManager::GetField(int line, int field, std::string& text, int hex)
{
    text.clear();
    std::size_t at = 0, length = 0;
    if (!FieldSpan(line, field, at, length))
        return false;
    text.assign(m_buffer.data() + at, length);
    if (hex)
        HexToBytes(text.data(), text.size(), reinterpret_cast<uint8_t*>(text.data()));
    return true;
}

bool FileManager::GetProductLine(std::string& name)
{
    name.clear();
    return FindBlock("PRODUCT_LINE") && GetField(1, 1, name);
}

int FileManager::TextLineNumber(std::size_t index) const
{
    // Lines counted for an earlier index all end at or before the last line end counted: when
    // that is not past this index, counting goes on from there.
    int number = 1;
    std::size_t cursor = 0;
    if (m_lastCount.number >= 1 && m_lastCount.cursor <= index) {
        number = m_lastCount.number;
        cursor = m_lastCount.cursor;
    }
    std::size_t next = cursor;
    std::string_view line;
    while (ReadLine(next, line) && next <= index && next < m_size) {
        ++number;
        cursor = next;
    }
    m_lastCount = LineCount{cursor, number};
    return number;
}
