// Record formats of mainframe files: fixed length, variable with a record
// descriptor word (RDW: two bytes of length, big-endian, counting the RDW
// itself, then two zero bytes), the same with the length little-endian, and
// variable blocked (a block descriptor word, BDW, before each block of RDW
// records). Reads a file front to back; a damaged length stops the reading
// with a message naming the record, the records before it intact.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace velmor::copybook {

enum class RecordFormat { Fixed, Rdw, RdwLittleEndian, Bdw };

/// "fixed", "rdw", "rdw-le", "bdw".
const char* RecordFormatName(RecordFormat format);
bool RecordFormatFromName(std::string_view name, RecordFormat& format);

class RecordReader {
public:
    RecordReader() = default;
    RecordReader(const RecordReader&) = delete;
    RecordReader& operator=(const RecordReader&) = delete;
    ~RecordReader();

    /// FixedLength is the record length of fixed files (ignored otherwise);
    /// Offset the bytes before the first record. False with Error.
    bool Open(const std::string& path, RecordFormat format, std::int64_t fixedLength,
              std::int64_t offset, std::string& error);
    /// Reads from memory instead of a file (Bytes must outlive the reader).
    void OpenBytes(std::string_view bytes, RecordFormat format, std::int64_t fixedLength);

    /// The next record's data (without its RDW), valid until the next call;
    /// false at the end of the file or at a damaged length (see Problem).
    bool Next(std::string_view& record);
    /// 1-based number of the record Next gave last.
    std::int64_t RecordNumber() const { return number_; }
    /// File offset of that record (of its RDW in variable files).
    std::int64_t RecordStart() const { return recordStart_; }
    /// Empty, or why reading stopped before the end of the file.
    const std::string& Problem() const { return problem_; }

private:
    bool Fill(size_t need);  // at least Need bytes from pos_ on, false at the end
    bool Damaged(const std::string& what);
    const unsigned char* Bytes() const;

    std::FILE* file_ = nullptr;
    std::vector<char> buffer_;
    std::string_view memory_;
    bool fromMemory_ = false;
    size_t pos_ = 0, end_ = 0;  // unread bytes buffer_[pos_, end_)
    std::int64_t base_ = 0;     // file offset of buffer_[0]
    RecordFormat format_ = RecordFormat::Fixed;
    std::int64_t fixed_ = 0;
    std::int64_t blockLeft_ = 0;  // BDW: bytes of the current block still to read
    std::int64_t number_ = 0, recordStart_ = 0;
    std::string problem_;
    bool stopped_ = false;
};

/// The checks every reader of variable records makes, so that the engine and
/// the streaming reader stop at the same damage with the same words.
/// RecordWordProblem: why the four bytes at Word cannot begin a record ("" when
/// they can), its length (RDW included) in Length; BlockLeft is what remains
/// of the current block in BDW files (else ignored).
std::string RecordWordProblem(const unsigned char* word, RecordFormat format, std::int64_t blockLeft,
                              std::uint32_t& length);
/// Why the four bytes at Word are no block descriptor word; its length in Length.
std::string BlockWordProblem(const unsigned char* word, std::uint32_t& length);
/// "Record N at byte B: WHAT; reading stops before it." (Offset counts from 0.)
std::string DamageText(std::int64_t record, std::int64_t offset, const std::string& what);

/// True when the lengths of Sample (the start of a file) chain as RDW
/// records: at least two records, every length valid, the last one ending at
/// the end of Sample or running on past it (when Sample is not the whole file).
bool ChainsAsRdw(std::string_view sample, bool wholeFile, bool littleEndian);
/// True when Sample reads as BDW blocks, each filled exactly by a chain of
/// RDW records (two records at least in all).
bool ChainsAsBdw(std::string_view sample, bool wholeFile);
/// The variable format the start of a file plainly has (BDW, RDW, RDW
/// little-endian, in that order), else Fixed. Text never chains: its records
/// would need two zero bytes after each length.
RecordFormat ProposedRecordFormat(std::string_view sample, bool wholeFile);

}  // namespace velmor::copybook
