// The converter's whole-file passes over a delimited source of the usual
// shape (a one-byte field delimiter, a record delimiter of one or two bytes,
// at most a one-byte qualifier, all different): values are found 64 bytes at
// a time, and the file is split between two threads. Everything else goes
// through RecordStream.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "data/convert_scan.h"
#include "data/types.h"

namespace velmor::data {

/// The most values a record may hold to be converted: beyond it a file is
/// refused, so that memory follows the columns kept, not a line of commas.
inline constexpr std::size_t kMaxConvertedFields = 65536;

/// The refusal of a record holding more values than that.
std::string TooManyValuesMessage();
/// The refusals of a delimited target: an empty field separator with more
/// than one value, and a value holding a delimiter with no qualifier.
std::string RunTogetherMessage();
std::string UnqualifiableMessage(std::uint64_t record);

class StagedOutput;
class DelimitedFormat;

/// A value longer than this is kept as its first bytes (cut back to a
/// character's start), its length and a hash of all its bytes: no report
/// shows more of it, and a value the size of the file must not be held.
inline constexpr std::size_t kKeptValueBytes = std::size_t{64} << 10;

/// A hash of bytes handed over in pieces of any size: the same for the same
/// bytes however they were cut.
class PieceHash {
public:
    void Add(const char* p, std::size_t n);
    std::uint64_t Value() const;

private:
    std::uint64_t h_ = 0x2545F4914F6CDD1DULL;
    std::uint64_t word_ = 0;
    unsigned filled_ = 0;  ///< bytes in word_
};

/// The start of a long value that is kept: at most kKeptValueBytes, not
/// ending inside a UTF-8 sequence. Value holds at least one byte more
/// than that (or is whole).
std::string_view KeptStart(std::string_view value);

/// Receives the value of one column of every record, unqualified; a record
/// without that column gives "". Each thread of a pass has its own sink.
class ColumnSink {
public:
    virtual ~ColumnSink() = default;
    virtual void Add(std::string_view value) = 0;
    /// A value longer than kKeptValueBytes: its KeptStart, its length and
    /// the PieceHash of all of it.
    virtual void AddLong(std::string_view start, std::uint64_t length, std::uint64_t hash) = 0;
    /// N values at once (valid only during the call).
    virtual void AddMany(const std::string_view* values, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) Add(values[i]);
    }
    /// Forgets every value (the share is read again by the other thread).
    virtual void Clear() = 0;
};

class DelimitedPasses {
public:
    /// Called from the calling thread only; false cancels.
    using Progress = std::function<bool(FilePos done, FilePos total)>;

    /// True when Syntax has the shape these passes handle.
    static bool Suits(const DelimitedSyntax& syntax);

    /// The data records of Path from byte Start on; the first record is
    /// skipped when SkipFirst (it holds the field names).
    DelimitedPasses(std::string path, FilePos start, DelimitedSyntax syntax, bool skipFirst);

    /// At most this many threads (tests use 1 and 2 to compare).
    void SetThreads(int threads) { threads_ = threads; }

    /// The widest value of each column (as many columns as the longest
    /// record has values) and the number of records.
    bool Measure(std::vector<FilePos>& widths, std::uint64_t& records, const Progress& progress,
                 std::string& error);

    /// After Measure: writes every record at Offset of Out, each value padded
    /// with blanks to its width and each record ended by CR LF. Fails when
    /// the source no longer matches what Measure found.
    bool WriteFixed(StagedOutput& out, FilePos offset, const std::vector<FilePos>& widths,
                    const Progress& progress, std::string& error);

    /// Widths guessed from a few samples spread over the file (the first
    /// from its first record, the others from a guessed record start): as
    /// wide as the file's widest values wherever the samples hold them.
    bool GuessWidths(std::vector<FilePos>& widths, std::string& error);

    /// What WriteGuessed found.
    struct Guessed {
        bool known = false;           ///< Widths and Records are the file's
        bool fits = false;            ///< every value fitted its guessed width
        std::vector<FilePos> widths;  ///< the widest value of each column
        std::uint64_t records = 0;
    };
    /// Measure and WriteFixed in one pass over guessed Widths: the second
    /// thread first counts the records before its share, which also finds
    /// that share's exact start. A value wider than its guess ends the
    /// writing (what was written is void) but not the measuring. When it fits
    /// and the widest values fill the guesses, the output is complete;
    /// otherwise WriteFixed with the widths found (no Measure), or, when
    /// Found.known is false (the threads disagreed), Measure first.
    bool WriteGuessed(StagedOutput& out, FilePos offset, const std::vector<FilePos>& widths,
                      const Progress& progress, Guessed& found, std::string& error);

    /// Writes every record delimited in Format at the end of Out, with at
    /// least Columns values each (missing ones empty); Records counts them.
    bool WriteDelimited(StagedOutput& out, const DelimitedFormat& format, std::size_t columns,
                        const Progress& progress, std::uint64_t& records, std::string& error);

    /// Hands the value of Column (0-based) of every data record to First
    /// (the records before the split) or Second (those after it), each on
    /// its own thread. Records counts the records visited.
    bool VisitColumn(std::size_t column, ColumnSink& first, ColumnSink& second,
                     std::uint64_t& records, const Progress& progress, std::string& error);
    /// The bytes each pass goes through, as its progress reports them.
    FilePos Total() const { return end_ - start_; }

    /// Values of this many bytes or more are refused for a fixed-length
    /// target (widths are measured in 32 bits; tests lower it).
    void SetWidestValue(FilePos bytes) { widestValue_ = bytes; }
    /// Files smaller than this are not split between threads (tests lower
    /// it); by default the one policy of filesplit.h decides.
    void SetSmallestSplit(FilePos bytes) { smallestSplit_ = bytes; }
    /// The bytes of each sample GuessWidths takes (tests take a few, so that
    /// guesses miss both ways).
    void SetSampleBytes(FilePos bytes) { sampleBytes_ = bytes; }
    /// The bytes of each read and the most the buffer grows to before a
    /// record is taken in pieces (tests take a few, so that records and
    /// values span reads).
    void SetReadBytes(std::size_t bytes) {
        readBytes_ = std::max<std::size_t>(bytes, 64);
        largestRead_ = 2 * readBytes_;
    }

private:
    FilePos FindSplit() const;
    /// The first record start after At, as if At were outside any
    /// qualified field; End when none is found within a megabyte.
    FilePos GuessRecordStart(FilePos at) const;
    /// Takes the file's size; false with Error set when it cannot be read.
    bool Size(std::string& error);
    /// Takes the file's size and guesses where the second thread starts.
    bool SizeAndSplit(std::string& error);
    /// Counts the records from the start up to the first record end at or
    /// past Middle (the names record aside), which is returned as Split;
    /// End when there is none or the count was stopped or failed.
    void CountTo(FilePos middle, FilePos& split, std::uint64_t& records,
                 const std::atomic<bool>& stop) const;

    std::string path_;
    FilePos start_;
    DelimitedSyntax syntax_;
    bool skipFirst_;
    int threads_ = 2;
    FilePos smallestSplit_ = -1;
    FilePos sampleBytes_ = FilePos{256} << 10;
    std::size_t readBytes_ = std::size_t{256} << 10;
    std::size_t largestRead_ = std::size_t{4} << 20;
    FilePos widestValue_ = std::numeric_limits<std::uint32_t>::max();
    FilePos end_ = 0;
    FilePos split_ = 0;  ///< where the second thread's records begin
    std::uint64_t firstPartRecords_ = 0;
    std::uint64_t records_ = 0;
};

}  // namespace velmor::data
