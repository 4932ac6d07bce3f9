// The visitors of the converter's value splitter (convert_splitkernel.inc):
// the widest value of each column, records padded into fixed-length blocks
// written at their place in the output, and one column handed to a sink.
// Besides the splitter's batches and records, each takes a record longer
// than the read buffer as pieces of values (Piece, EndValue: see
// convert_longrecord.h). Internal to convert_fast.cpp and its pass over
// guessed widths.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "data/blockmasks.h"
#include "data/convert_fast.h"
#include "data/convert_format.h"
#include "data/convert_output.h"
#include "data/convert_reader.h"
#include "data/delimitedscanner.h"

namespace velmor::data::splitting {

// Reads of this size keep the buffer in the processor's second-level cache
// while its values are split; larger ones were measured slower.
inline constexpr std::size_t kBlock = std::size_t{256} << 10;
// Loads of 32 bytes may reach this far past the last byte of a buffer.
inline constexpr std::size_t kSlack = BlockReader::kSlack;

struct SplitShape {
    int r0 = -1;
    int r1 = -1;
    int f = -1;
    int q = -1;
    bool twoR = false;
    std::size_t recordLength = 1;
};

inline SplitShape ShapeOf(const DelimitedSyntax& s) {
    SplitShape shape;
    auto byte = [](const std::string& text, std::size_t i) {
        return i < text.size() ? static_cast<int>(static_cast<unsigned char>(text[i])) : -1;
    };
    shape.r0 = byte(s.recordDelimiter, 0);
    shape.r1 = byte(s.recordDelimiter, 1);
    shape.f = byte(s.fieldDelimiter, 0);
    shape.q = byte(s.qualifier, 0);
    shape.twoR = s.recordDelimiter.size() == 2;
    shape.recordLength = s.recordDelimiter.size();
    return shape;
}

// Value ends handed to a visitor at a time: small enough to stay in the
// first-level cache.
inline constexpr std::size_t kBatch = 1024;

// A visitor of one column's values (see the splitter's OneColumn path).
template <class V>
concept OneColumn = requires {
    V::kOneColumn;
};

// What a visitor needs to read a value from the offset of its end.
struct ValueShape {
    explicit ValueShape(const SplitShape& s)
        : field(static_cast<char>(s.f)), qualifier(s.q), extra(s.recordLength - 1) {}

    /// The delimiter ending at At ends a record (else a field).
    bool EndsRecord(const char* data, std::size_t at) const { return data[at] != field; }
    /// The end of the value whose delimiter ends at At.
    std::size_t ValueEnd(std::size_t at, bool recordEnd) const {
        return at - (recordEnd ? extra : 0);
    }
    bool Qualified(const char* value) const {
        return static_cast<unsigned char>(*value) == qualifier;
    }

    char field;
    int qualifier;
    std::size_t extra;
};

// Qualifier bytes in a value; short values take two 16-byte compares (the
// buffers have slack behind their last byte).
[[gnu::always_inline]] inline std::size_t CountQualifiers(const char* p, std::size_t length,
                                                          char qualifier) {
#if defined(__SSE2__)
    if (length <= 32) {
        const __m128i q = _mm_set1_epi8(qualifier);
        auto lo = static_cast<std::uint32_t>(_mm_movemask_epi8(
            _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), q)));
        auto hi = static_cast<std::uint32_t>(_mm_movemask_epi8(
            _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16)), q)));
        const std::uint64_t mask =
            (lo | (static_cast<std::uint64_t>(hi) << 16)) & ((std::uint64_t{1} << length) - 1);
        // Usually just the opening and the closing qualifier: no popcount,
        // which is a library call on plain x86-64.
        const std::uint64_t second = mask & (mask - 1);
        if ((second & (second - 1)) == 0) return (mask != 0 ? 1 : 0) + (second != 0 ? 1 : 0);
    }
#endif
    return static_cast<std::size_t>(std::count(p, p + length, qualifier));
}

// A qualified value (its first byte the qualifier) without its qualifiers,
// doubled ones made single, written into Scratch; Slack bytes stay behind
// it for readers that load past a value's end.
inline std::string_view Unqualify(std::string_view raw, char q, std::string& scratch,
                                  std::size_t slack = 0) {
    if (scratch.size() < raw.size() + slack) scratch.resize(raw.size() + slack);
    char* out = scratch.data();
    std::size_t n = 0;
    for (std::size_t i = 1; i < raw.size(); ++i) {
        if (raw[i] != q) {
            out[n++] = raw[i];
        } else if (i + 1 < raw.size() && raw[i + 1] == q) {
            out[n++] = q;
            ++i;
        }
    }
    return {scratch.data(), n};
}

// What the raw bytes of a value stand for: between its two qualifiers as
// they are, usually, or unqualified into Scratch when it holds doubled ones.
[[gnu::always_inline]] inline std::string_view ValueOf(const ValueShape& shape,
                                                       std::string_view raw, std::string& scratch,
                                                       std::size_t slack = 0) {
    if (!shape.Qualified(raw.data())) return raw;
    const char q = static_cast<char>(shape.qualifier);
    if (raw.size() >= 2 && raw.back() == q && CountQualifiers(raw.data(), raw.size(), q) == 2)
        return raw.substr(1, raw.size() - 2);
    return Unqualify(raw, q, scratch, slack);
}

// A qualified value loses its two qualifiers and one of each doubled pair.
inline std::size_t QualifiedLength(std::size_t raw, std::size_t qualifiers) {
    const std::size_t cut = 1 + qualifiers / 2;
    return raw > cut ? raw - cut : 0;
}

// The widest value of each column (32 bits: a value of 4 GB or more is
// taken as 4 GB less one byte, and the writing pass then refuses it). Batch
// works on locals so that the compiler keeps them in registers.
struct alignas(64) WidthsVisitor {
    explicit WidthsVisitor(ValueShape s) : shape(s) {}

    ValueShape shape;
    std::vector<std::uint32_t> widths;
    std::size_t field = 0;
    std::uint64_t records = 0;
    bool tooMany = false;     ///< a record held more than kMaxConvertedFields values
    std::uint64_t piece = 0;  ///< the bytes of a value taken in pieces so far

    void Piece(const char*, std::size_t n) { piece += n; }
    void EndValue(bool recordEnd) {
        Widen(static_cast<std::size_t>(std::min<std::uint64_t>(piece, UINT32_MAX)));
        piece = 0;
        if (recordEnd) {
            field = 0;
            ++records;
        } else {
            ++field;
        }
    }
    void Widen(std::size_t length) {
        if (field >= kMaxConvertedFields) {
            tooMany = true;
            field = kMaxConvertedFields - 1;
        }
        if (field >= widths.size()) widths.resize(field + 1, 0);
        widths[field] = std::max(widths[field], static_cast<std::uint32_t>(length));
    }
    void Batch(const char* data, std::size_t start, const std::uint32_t* ends, std::size_t count) {
        std::size_t column = field;
        std::uint64_t ended = 0;
        std::uint32_t* widest = widths.data();
        std::size_t columns = widths.size();
        for (std::size_t k = 0; k < count; ++k) {
            const std::size_t at = ends[k];
            const bool recordEnd = shape.EndsRecord(data, at);
            std::size_t length = shape.ValueEnd(at, recordEnd) - start;
            if (shape.Qualified(data + start)) {
                length = QualifiedLength(
                    length,
                    CountQualifiers(data + start, length, static_cast<char>(shape.qualifier)));
            }
            if (column >= columns) {
                if (column >= kMaxConvertedFields) {
                    tooMany = true;
                    column = kMaxConvertedFields - 1;
                }
                widths.resize(column + 1, 0);
                widest = widths.data();
                columns = widths.size();
            }
            widest[column] = std::max(widest[column], static_cast<std::uint32_t>(length));
            column = recordEnd ? 0 : column + 1;
            ended += recordEnd ? 1 : 0;
            start = at + 1;
        }
        field = column;
        records += ended;
    }
    void RestartRecord() {
        field = 0;
        piece = 0;
    }
    void Record(const Values& values) {
        field = 0;
        for (std::string_view v : values) {
            Widen(v.size());
            ++field;
        }
        field = 0;
        ++records;
    }
    bool Failed() const { return false; }
};

// Copies a value into its column and pads it with blanks. Columns up to 32
// bytes take two 16-byte stores whatever the value's length: bytes past the
// column are overwritten by the next column or record, and the buffers have
// slack behind their end.
inline void PutPadded(char* to, const char* value, std::size_t length, std::size_t width) {
#if defined(__SSE2__)
    if (width <= 32) {
        const __m128i blanks = _mm_set1_epi8(' ');
        const __m128i n = _mm_set1_epi8(static_cast<char>(length));
        const __m128i low = _mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
        const __m128i high =
            _mm_setr_epi8(16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31);
        const __m128i keepLow = _mm_cmpgt_epi8(n, low);
        const __m128i keepHigh = _mm_cmpgt_epi8(n, high);
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(value));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(value + 16));
        _mm_storeu_si128(
            reinterpret_cast<__m128i*>(to),
            _mm_or_si128(_mm_and_si128(keepLow, a), _mm_andnot_si128(keepLow, blanks)));
        _mm_storeu_si128(
            reinterpret_cast<__m128i*>(to + 16),
            _mm_or_si128(_mm_and_si128(keepHigh, b), _mm_andnot_si128(keepHigh, blanks)));
        return;
    }
#endif
    std::memcpy(to, value, length);
    std::memset(to + length, ' ', width - length);
}

// Records padded to fixed widths, gathered in blocks and written at their
// place in the output, so two threads can write the two halves of one file.
// A record wider than a few blocks is not gathered: its bytes go out as they
// come, through a window of one block.
class alignas(64) FixedWriter {
public:
    FixedWriter(const std::vector<FilePos>& widths, ValueShape shape, const StagedOutput& out,
                FilePos offset)
        : shape_(shape),
          qualifier_(static_cast<char>(shape.qualifier)),
          out_(out),
          offset_(offset) {
        std::size_t at = 0;
        for (FilePos w : widths) {
            columns_.push_back({at, static_cast<std::size_t>(w)});
            at += static_cast<std::size_t>(w);
        }
        recordSize_ = at + 2;
        seen_.assign(columns_.size(), 0);
        wide_ = recordSize_ > 4 * kBlock;
        perBlock_ = std::max<std::size_t>(1, kBlock / recordSize_);
        const std::size_t bytes = wide_ ? kBlock : perBlock_ * recordSize_;
        block_ = std::make_unique_for_overwrite<char[]>(bytes + kSlack);
        blockEnd_ = block_.get() + bytes;
        record_ = block_.get();
        recordAt_ = offset;
        scratch_.resize(kSlack);
    }

    // The state lives in locals here: stores into the record would otherwise
    // make the compiler reload every member after each value.
    /// Returns how many of the Count values were written: all of them, or
    /// those before the first one wider than its column.
    std::size_t Batch(const char* data, std::size_t start, const std::uint32_t* ends,
                      std::size_t count) {
        if (wide_) return WideBatch(data, start, ends, count);
        const Column* columns = columns_.data();
        const std::size_t fields = columns_.size();
        char* record = record_;
        std::size_t field = field_;
        std::uint32_t* seen = seen_.data();
        for (std::size_t k = 0; k < count; ++k) {
            const std::size_t at = ends[k];
            const bool recordEnd = shape_.EndsRecord(data, at);
            const std::string_view v = ValueOf(
                shape_, {data + start, shape_.ValueEnd(at, recordEnd) - start}, scratch_, kSlack);
            const char* value = v.data();
            std::size_t length = v.size();
            start = at + 1;
            if (field >= fields || length > columns[field].width) {
                failed_ = true;  // more or wider values than measured: the file changed
                record_ = record;
                field_ = field;
                return k;
            }
            seen[field] = std::max(seen[field], static_cast<std::uint32_t>(length));
            PutPadded(record + columns[field].at, value, length, columns[field].width);
            ++field;
            if (recordEnd) {
                record_ = record;
                field_ = field;
                EndRecord();
                record = record_;
                field = 0;
            }
        }
        record_ = record;
        field_ = field;
        return count;
    }
    void RestartRecord() {
        field_ = 0;
        valueLength_ = 0;
        if (!wide_) return;
        // What went out of the record is written again.
        if (recordAt_ >= offset_) {
            record_ = block_.get() + (recordAt_ - offset_);
        } else {
            offset_ = recordAt_;
            record_ = block_.get();
        }
    }
    /// Bytes of the value in column Field(), when it comes in pieces.
    void Piece(const char* p, std::size_t n) {
        if (failed_) return;
        if (field_ >= columns_.size() || valueLength_ + n > columns_[field_].width) {
            failed_ = true;
            return;
        }
        if (wide_) {
            Emit(p, n);
        } else {
            std::memcpy(record_ + columns_[field_].at + valueLength_, p, n);
        }
        valueLength_ += n;
    }
    void EndValue(bool recordEnd) {
        if (failed_) return;
        if (field_ >= columns_.size()) {
            failed_ = true;
            return;
        }
        const Column& c = columns_[field_];
        seen_[field_] = std::max(seen_[field_], static_cast<std::uint32_t>(valueLength_));
        if (wide_) {
            EmitBlanks(c.width - valueLength_);
        } else {
            std::memset(record_ + c.at + valueLength_, ' ', c.width - valueLength_);
        }
        valueLength_ = 0;
        ++field_;
        if (recordEnd) EndRecord();
    }
    void Record(const Values& values) {
        field_ = 0;
        if (wide_) {
            for (std::string_view v : values) {
                Piece(v.data(), v.size());
                EndValue(false);
            }
            if (!failed_) EndRecord();
            return;
        }
        for (std::string_view v : values) {
            if (field_ >= columns_.size() || v.size() > columns_[field_].width) {
                failed_ = true;
                return;
            }
            seen_[field_] = std::max(seen_[field_], static_cast<std::uint32_t>(v.size()));
            if (scratch_.size() < v.size() + kSlack) scratch_.resize(v.size() + kSlack);
            std::memcpy(scratch_.data(), v.data(), v.size());
            PutPadded(record_ + columns_[field_].at, scratch_.data(), v.size(),
                      columns_[field_].width);
            ++field_;
        }
        EndRecord();
    }
    bool Failed() const { return failed_; }
    /// Writes what is still gathered; false on a write failure.
    bool Finish() {
        if (!failed_) Flush(true);
        return !failed_;
    }
    std::uint64_t Records() const { return records_; }
    /// The column of the value being written (or refused).
    std::size_t Field() const { return field_; }
    /// The widest value written to each column, and how many columns held
    /// a value: the widths a measuring pass would have found.
    const std::vector<std::uint32_t>& Seen() const { return seen_; }
    std::size_t SeenColumns() const { return seenColumns_; }
    /// Empty, or why writing failed.
    const std::string& WriteError() const { return writeError_; }

private:
    struct Column {
        std::size_t at;
        std::size_t width;
    };

    void EndRecord() {
        seenColumns_ = std::max(seenColumns_, field_);
        if (wide_) {
            for (; field_ < columns_.size(); ++field_) EmitBlanks(columns_[field_].width);
            Emit("\r\n", 2);
            field_ = 0;
            ++records_;
            recordAt_ = offset_ + (record_ - block_.get());
            return;
        }
        for (; field_ < columns_.size(); ++field_) {
            std::memset(record_ + columns_[field_].at, ' ', columns_[field_].width);
        }
        record_[recordSize_ - 2] = '\r';
        record_[recordSize_ - 1] = '\n';
        record_ += recordSize_;
        field_ = 0;
        ++records_;
        if (record_ == blockEnd_) Flush();
    }

    std::size_t WideBatch(const char* data, std::size_t start, const std::uint32_t* ends,
                          std::size_t count) {
        for (std::size_t k = 0; k < count; ++k) {
            const std::size_t at = ends[k];
            const bool recordEnd = shape_.EndsRecord(data, at);
            const std::string_view value = ValueOf(
                shape_, {data + start, shape_.ValueEnd(at, recordEnd) - start}, scratch_, kSlack);
            start = at + 1;
            Piece(value.data(), value.size());
            EndValue(recordEnd);
            if (failed_) return k;
        }
        return count;
    }
    // The bytes of a wide record in order, through the window.
    void Emit(const char* p, std::size_t n) {
        while (n > 0 && !failed_) {
            if (record_ == blockEnd_) Flush();
            const std::size_t m =
                std::min<std::size_t>(n, static_cast<std::size_t>(blockEnd_ - record_));
            std::memcpy(record_, p, m);
            record_ += m;
            p += m;
            n -= m;
        }
    }
    void EmitBlanks(std::size_t n) {
        while (n > 0 && !failed_) {
            if (record_ == blockEnd_) Flush();
            const std::size_t m =
                std::min<std::size_t>(n, static_cast<std::size_t>(blockEnd_ - record_));
            std::memset(record_, ' ', m);
            record_ += m;
            n -= m;
        }
    }

    void Flush(bool finishing = false) {
        const std::size_t bytes = static_cast<std::size_t>(record_ - block_.get());
        if (bytes > 0 && !failed_) {
            if (!out_.WriteRangeAt(offset_, std::string_view(block_.get(), bytes), writeError_)) {
                failed_ = true;
            }
            offset_ += static_cast<FilePos>(bytes);
            unsynced_ += static_cast<FilePos>(bytes);
        }
        if (unsynced_ >= StagedOutput::kWritebackStep || (finishing && unsynced_ > 0)) {
            out_.StartWriteback(offset_ - unsynced_, unsynced_);
            unsynced_ = 0;
        }
        record_ = block_.get();
    }

    ValueShape shape_;
    char qualifier_;
    const StagedOutput& out_;
    FilePos offset_;
    FilePos unsynced_ = 0;  // written since the last StartWriteback
    std::vector<Column> columns_;
    std::size_t recordSize_ = 2;
    std::size_t perBlock_ = 1;
    std::unique_ptr<char[]> block_;
    char* blockEnd_ = nullptr;
    char* record_ = nullptr;
    bool wide_ = false;
    FilePos recordAt_ = 0;         ///< where a wide record being written starts
    std::size_t valueLength_ = 0;  ///< of a value coming in pieces
    std::size_t field_ = 0;
    std::uint64_t records_ = 0;
    std::vector<std::uint32_t> seen_;
    std::size_t seenColumns_ = 0;
    std::string scratch_;
    bool failed_ = false;
    std::string writeError_;
};

// Records written over guessed widths; from the first value wider than its
// guess (or in a column not guessed) on, only measured, so that the pass
// still ends with the exact widths and record count. Missed, shared by the
// writers of one pass, stops the other's writing too, as it is void.
class GuessingWriter {
public:
    GuessingWriter(const std::vector<FilePos>& widths, ValueShape shape, const StagedOutput& out,
                   FilePos offset, std::atomic<bool>& missed)
        : writer_(widths, shape, out, offset), measure_(shape), missed_(missed) {}

    void Batch(const char* data, std::size_t start, const std::uint32_t* ends, std::size_t count) {
        if (!measuring_ && missed_.load(std::memory_order_relaxed)) {
            measuring_ = true;
            measure_.field = writer_.Field();
        }
        if (!measuring_) {
            const std::size_t k = writer_.Batch(data, start, ends, count);
            if (k == count) return;
            measuring_ = true;
            missed_.store(true, std::memory_order_relaxed);
            measure_.field = writer_.Field();
            if (k > 0) start = ends[k - 1] + 1;
            ends += k;
            count -= k;
        }
        measure_.Batch(data, start, ends, count);
    }
    void Piece(const char* p, std::size_t n) {
        if (!measuring_ && missed_.load(std::memory_order_relaxed)) StartMeasuring();
        if (!measuring_) {
            writer_.Piece(p, n);
            if (!writer_.Failed()) {
                value_ += n;
                return;
            }
            missed_.store(true, std::memory_order_relaxed);
            StartMeasuring();
        }
        measure_.Piece(p, n);
    }
    void EndValue(bool recordEnd) {
        if (!measuring_ && missed_.load(std::memory_order_relaxed)) StartMeasuring();
        if (!measuring_) {
            writer_.EndValue(recordEnd);
            value_ = 0;
            if (!writer_.Failed()) return;
            missed_.store(true, std::memory_order_relaxed);
            StartMeasuring();
        }
        measure_.EndValue(recordEnd);
    }
    void RestartRecord() {
        value_ = 0;
        if (measuring_) {
            measure_.RestartRecord();
        } else {
            writer_.RestartRecord();
        }
    }
    void Record(const Values& values) {
        if (!measuring_ && !missed_.load(std::memory_order_relaxed)) {
            writer_.Record(values);
            if (!writer_.Failed()) return;
            missed_.store(true, std::memory_order_relaxed);
        }
        measuring_ = true;  // the record is measured whole
        measure_.Record(values);
    }
    bool Failed() const { return !writer_.WriteError().empty(); }
    bool Finish() { return measuring_ || writer_.Finish(); }
    /// Every value fitted its guessed width: the output is written.
    bool Fitted() const { return !measuring_; }
    bool TooMany() const { return measure_.tooMany; }
    const std::string& WriteError() const { return writer_.WriteError(); }
    std::uint64_t Records() const { return writer_.Records() + measure_.records; }
    /// The widest value of each column.
    std::vector<FilePos> Widths() const {
        std::vector<FilePos> widths(std::max(writer_.SeenColumns(), measure_.widths.size()), 0);
        for (std::size_t i = 0; i < widths.size(); ++i) {
            if (i < writer_.Seen().size()) widths[i] = writer_.Seen()[i];
            if (i < measure_.widths.size()) {
                widths[i] = std::max<FilePos>(widths[i], measure_.widths[i]);
            }
        }
        return widths;
    }

private:
    // Goes on measuring from the value being written (its bytes so far).
    void StartMeasuring() {
        measuring_ = true;
        measure_.field = writer_.Field();
        measure_.piece = value_;
        value_ = 0;
    }

    FixedWriter writer_;
    WidthsVisitor measure_;
    std::atomic<bool>& missed_;
    bool measuring_ = false;
    std::uint64_t value_ = 0;  ///< bytes written of a value coming in pieces
};

}  // namespace velmor::data::splitting
