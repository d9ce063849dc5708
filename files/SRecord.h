#pragma once

#include "files/ImageBuffer.h"

#include <cstdint>
#include <memory>
#include <string>

// Base of the file readers: a file handle, the text being read and the read position. Every
// user constructs it with capacity 0, so the text is always the caller's.
class FileModule {
public:
    explicit FileModule(uint32_t capacity = 0);
    FileModule(const FileModule&) = delete;
    FileModule& operator=(const FileModule&) = delete;
    ~FileModule();

protected:
    const char* m_text = nullptr;
    std::unique_ptr<char[]> m_ownedText;
    uint32_t m_capacity = 0;
    uint32_t m_position = 0;
};

// Reads S-record text (S1 and S2 data records, S9 terminator) attached to it: record by record
// with their addresses, or all data bytes at once. The attached text is never modified.
//
// Reading rules: a record is copied into a working buffer (at most 515 characters, up to its
// line feed); its count n moves the position by 2n + 5 (the record and one line-end character),
// and then on to the next "S". A record is delivered only when another record follows it, so a
// text must end with its S9 record. Text with a record written directly after another, with no
// character between them, is refused (it would otherwise lose the second record unnoticed):
// CheckFirstRecord fails for it and reading stops there.
class SRecord : public FileModule {
public:
    static constexpr uint32_t kRecordChars = 515;  // 4 + 2 x 255 + 1 line-end character
    static constexpr uint32_t kMaxDataBytes = 255;

    SRecord() : FileModule(0) {}

    // Attaches a string's text (up to its first NUL); position 0.
    void AttachText(const std::string& text);
    // Attaches a NUL-terminated buffer; position 0.
    void AttachText(const char* text);
    void Detach();

    // False without text, or when the record at the read position is not S1 or S2, or when the
    // text holds records back to back; otherwise decodes the first record and returns whether
    // its checksum is right. Leaves the position at 0.
    bool CheckFirstRecord();
    // The number of records delivered from the start (what ReadNextRecord returns one by one
    // before the end); leaves the position at 0.
    uint32_t CountRecords();
    // The 16-bit address of the last S1/S2 record before the S9 record plus its count - 3 (one
    // past its last data byte for an S1 record); 0 for a text whose first record is S9. Without
    // an S9 record, reading stops at the end of the text and the last record delivered is
    // taken. Leaves the position at 0.
    uint32_t GetEndAddress();
    // From the read position to the end: the data bytes of every S1/S2 record, back to back
    // from the start of `image.data`, addresses ignored; `image.size` := bytes written. Stops at
    // `capacity` bytes and returns false when the data do not fit, or at a record whose digits
    // cannot be read; true otherwise. Checksums are not checked.
    bool LoadData(ImageBuffer& image, uint32_t capacity);
    // Reads the next record. At the end of the data: clears the record (first data byte 0,
    // length 0, address 0) and returns false. A record of another type than S1 or S2 returns
    // false and leaves the record untouched. Otherwise fills it and returns whether its
    // checksum is right (false also for digits that are not hexadecimal).
    bool ReadNextRecord(SRecordData& record);

    // The number of data bytes LoadData would write (for sizing its buffer); leaves the
    // position at 0.
    uint32_t CountDataBytes();
    // True when the reading stopped at records written back to back.
    bool Malformed() const { return m_malformed; }
    uint32_t Position() const { return m_position; }
    // The attached text (null when none is).
    const char* Text() const { return m_external ? m_text : nullptr; }

private:
    enum class Next { Record, End, Malformed };
    struct Decoded {
        bool digitsOk = false;
        bool checksumOk = false;
    };
    // Steps 1 to 6 of reading a record: copies it into m_work and moves the position past it.
    Next ReadRecordText();
    // Decodes the S1/S2 record in m_work into `record`.
    Decoded DecodeRecord(SRecordData& record) const;
    // What one reading of the whole text from the start finds: the checks and counts above
    // are all taken from it. It is read once per attached text (and again when the text's
    // length has changed); the position is left at 0.
    struct Summary {
        bool wellFormed = false;         // reading did not stop at records back to back
        uint32_t records = 0;            // records delivered
        uint32_t dataBytes = 0;          // data bytes of the S1/S2 records delivered
        bool delivered = false;          // an S1/S2 record was delivered
        uint32_t lastDataRecord = 0;     // where the last of them starts
        bool atTerminator = false;       // reading ended on an S9 record
    };
    const Summary& Summarize();
    char RecordType() const { return m_work[1]; }
    void Rewind() { m_position = 0; }

    uint32_t m_length = 0;
    bool m_external = false;
    bool m_malformed = false;
    Summary m_summary;
    bool m_summarized = false;
    uint32_t m_recordStart = 0;
    bool m_atTerminator = false;
    char m_work[kRecordChars + 1] = {};
    // How much of m_work the last record filled; everything past it is zero.
    uint32_t m_workUsed = 0;
};
