// The records of a fixed-length file with typed (mainframe) or EBCDIC
// fields, decoded into their values for the converter's passes, the code
// counter and velmor-data --copybook. Blocks of records are read and decoded
// two ahead, on threads of their own, while the caller uses the block before,
// when the shared split policy gives the file two threads.
#pragma once

#include <future>
#include <memory>

#include "data/convert_fast.h"
#include "data/convert_format.h"
#include "data/convert_source.h"
#include "data/datareader.h"
#include "data/typedvalues.h"

namespace velmor::data {

class TypedStream : public RecordStream {
public:
    /// Count records of RecordLength bytes from byte Offset of Path (fewer
    /// when the file is shorter; a last record cut short is taken as it is).
    TypedStream(std::string path, FilePos offset, FilePos recordLength, RecordNo count,
                TypedRecords records);
    ~TypedStream() override;

    /// At most this many threads (tests compare 1 and 2).
    void SetThreads(int threads) { threads_ = threads; }

    bool Rewind() override;
    const Values* Next() override;
    FilePos Done() const override { return done_; }
    FilePos Total() const override { return offset_ + count_ * length_; }
    bool FixedPositions() const override { return true; }

    /// Delimited targets: the decoding threads write each block of records as
    /// Format's text themselves (text values without their trailing blanks
    /// when TrimText), read with NextDelimited instead of Next. Format must
    /// outlive the stream; set before Rewind.
    void SetDelimited(const DelimitedFormat* format, bool trimText);
    /// The next block of delimited records: Text holds Records of them;
    /// false at the end, on a failure (Error() non-empty), or when record
    /// Unwritable() holds a delimiter and the format has no qualifier.
    bool NextDelimited(std::string_view& text, RecordNo& records);
    /// The 1-based number of the first record that could not be written; 0 when none.
    RecordNo Unwritable() const { return unwritable_; }

    /// Values not valid for their type met so far.
    std::int64_t Invalid() const { return invalid_; }
    const TypedRecords& Columns() const { return records_; }

private:
    struct Block {
        DataReader reader;
        std::string bytes;
        std::string text;                ///< the values, one after another
        std::vector<std::uint32_t> ends;  ///< the end of each value in Text
        RecordNo first = 0;
        RecordNo records = 0;
        std::int64_t invalid = 0;
        RecordNo unwritable = 0;  ///< 1-based, in the file
        std::size_t used = 0;     ///< of Text, when delimited text is written
        std::string error;
    };
    void Decode(Block& block, RecordNo first) const;
    void Format(Block& block, std::string_view data) const;
    bool Advance();
    void Start(int slot, RecordNo first);
    bool Take(int slot);

    std::string path_;
    FilePos offset_;
    FilePos length_;
    RecordNo count_;
    TypedRecords records_;
    int threads_ = 2;
    bool ahead_ = false;
    RecordNo perBlock_ = 1;
    /// The block in use and the two decoded ahead of it, one on each core.
    static constexpr int kSlots = 3;
    Block blocks_[kSlots];
    std::future<void> pending_[kSlots];
    int slot_ = 0;
    RecordNo row_ = 0;  ///< next record of the current block
    FilePos done_ = 0;
    std::int64_t invalid_ = 0;
    Values values_;
    const DelimitedFormat* format_ = nullptr;
    bool trimText_ = false;
    std::vector<bool> scan_;  ///< columns whose values may need the qualifier
    std::size_t recordRoom_ = 0;
    RecordNo unwritable_ = 0;
};

}  // namespace velmor::data
