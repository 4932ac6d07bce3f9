// The code counter's visitor of the converter's value splitter: the value
// of one column of every record, handed to a sink. Internal to
// convert_fast.cpp.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "data/convert_fast.h"
#include "data/convert_visitors.h"

namespace velmor::data::splitting {

// Columns up to this are found by ColumnChain; later ones from every field end.
inline constexpr std::size_t kChainedColumns = 8;

// Finds where the value of an early column starts and ends in each
// record, a 64-byte block at a time, without visiting every field
// delimiter. The k-th value of a record starts after its k-th field
// delimiter (the 0th at the record's start); adding those starts to a mask
// of the bytes that are no delimiter carries each through to the first
// delimiter after it, which ends the k-th value and gives the starts of the
// next. Starts of one level never share a carry, as a delimiter lies
// between any two. What passes into the next block is a carry per level:
// either a value still looking for its end, or one starting at the next
// block's first byte (added there just the same).
template <std::size_t Column>
struct ColumnChain {
    /// Fields and Ends mark the block's field and record delimiters (a
    /// record's at its last byte). Opened gets a bit where the column's
    /// value starts, Closed where it ends; a record without the column
    /// gets both at its end.
    [[gnu::always_inline]] void Block(std::uint64_t fields, std::uint64_t ends,
                                      std::uint64_t& opened, std::uint64_t& closed) {
        const std::uint64_t stops = fields | ends;
        const std::uint64_t through = ~stops;
        std::uint64_t from = ends << 1;
        std::uint64_t edge = ends >> 63;
        std::uint64_t missing = 0;
#pragma GCC unroll 8
        for (std::size_t k = 0; k < Column; ++k) {
            const std::uint64_t sum = through + (from | carry[k]);
            const std::uint64_t to = sum & stops;
            carry[k] = (sum < through ? 1 : 0) | edge;
            missing |= to & ends;
            const std::uint64_t next = to & fields;
            from = next << 1;
            edge = next >> 63;
        }
        // The column's own level tells a value starting at the first byte
        // from one going on, as Opened needs.
        const std::uint64_t starts = from | startIn;
        const std::uint64_t sum = through + (starts | carry[Column]);
        carry[Column] = sum < through ? 1 : 0;
        startIn = edge;
        opened = starts | missing;
        closed = (sum & stops) | missing;
    }

    // At a record start.
    std::uint64_t carry[Column + 1] = {Column > 0 ? 1u : 0u};
    std::uint64_t startIn = Column > 0 ? 0 : 1;
};

// The value of one column of each record, handed to a sink when the record
// ends: a record restarted by the exact splitter must not give its value
// twice, and a record cut by the end of the data is visited again whole by
// the next call.
struct alignas(64) ColumnVisitor {
    ColumnVisitor(ValueShape s, std::size_t wanted, ColumnSink& to)
        : shape(s), column(wanted), sink(&to) {
        pending.reserve(kBatch);
    }

    ValueShape shape;
    std::size_t column;
    ColumnSink* sink;
    std::size_t field = 0;
    const char* value = nullptr;
    std::size_t length = 0;
    std::uint64_t records = 0;
    std::string scratch;
    // Values of records ended during one Batch, handed over together while
    // the data they point into is still there.
    std::vector<std::string_view> pending;
    // The column's value when it comes in pieces: its first bytes, its
    // length and its hash, so a value the size of the file is never held.
    std::string first;
    std::uint64_t pieceLength = 0;
    PieceHash pieceHash;
    bool pieced = false;

    // An early column is found without visiting every field end (see
    // ColumnChain); the splitter hands over where each record's value of
    // it starts and ends.
    static constexpr bool kOneColumn = true;

    /// Takes the values of the records ended before Limit (a record start)
    /// among the Count spans, and says how many: the last may belong to a
    /// record that will be read again from its start.
    std::size_t Spans(const char* data, std::size_t limit, const std::uint32_t* starts,
                      const std::uint32_t* ends, std::size_t count) {
        std::size_t done = count;
        if (done > 0 && ends[done - 1] >= limit) --done;
        records += done;
        for (std::size_t k = 0; k < done; ++k) {
            // An end at a record delimiter moves to its first byte; a record
            // without the column has its start there too.
            const std::size_t start = starts[k];
            const std::size_t end = ends[k] - (data[ends[k]] != shape.field ? shape.extra : 0);
            const std::string_view raw(data + start, end > start ? end - start : 0);
            if (raw.empty()) {
                pending.emplace_back();
                continue;
            }
            const std::string_view got = ValueOf(shape, raw, scratch);
            if (got.data() != scratch.data()) {
                pending.push_back(got);
                continue;
            }
            // Rebuilt without its doubled qualifiers: handed over at once.
            Flush();
            sink->Add(got);
        }
        Flush();
        return done;
    }
    void Batch(const char* data, std::size_t start, const std::uint32_t* ends, std::size_t count) {
        std::size_t f = field;
        for (std::size_t k = 0; k < count; ++k) {
            const std::size_t at = ends[k];
            const bool recordEnd = shape.EndsRecord(data, at);
            if (f == column) {
                value = data + start;
                length = shape.ValueEnd(at, recordEnd) - start;
            }
            start = at + 1;
            if (recordEnd) {
                EndRecord();
                f = 0;
            } else {
                ++f;
            }
        }
        field = f;
        Flush();
    }
    void Flush() {
        if (!pending.empty()) sink->AddMany(pending.data(), pending.size());
        pending.clear();
    }
    void EndRecord() {
        ++records;
        if (value == nullptr) {
            pending.emplace_back();
            return;
        }
        const char q = static_cast<char>(shape.qualifier);
        if (!shape.Qualified(value)) {
            pending.emplace_back(value, length);
        } else if (length >= 2 && value[length - 1] == q &&
                   CountQualifiers(value, length, q) == 2) {
            pending.emplace_back(value + 1, length - 2);
        } else {
            // Doubled qualifiers: the value is rebuilt, and handed over at once.
            Flush();
            sink->Add(Unqualify({value, length}, q, scratch));
        }
        value = nullptr;
    }
    void RestartRecord() {
        field = 0;
        value = nullptr;
        first.clear();
        pieceLength = 0;
        pieceHash = PieceHash();
        pieced = false;
    }
    void Piece(const char* p, std::size_t n) {
        if (field != column) return;
        if (first.size() <= kKeptValueBytes)
            first.append(p, std::min(n, kKeptValueBytes + 1 - first.size()));
        pieceLength += n;
        pieceHash.Add(p, n);
    }
    void EndValue(bool recordEnd) {
        pieced = pieced || field == column;
        if (!recordEnd) {
            ++field;
            return;
        }
        Flush();
        ++records;
        if (!pieced || pieceLength <= kKeptValueBytes) {
            sink->Add(first);
        } else {
            sink->AddLong(first, pieceLength, pieceHash.Value());
        }
        RestartRecord();
    }
    void Record(const Values& values) {
        Flush();
        sink->Add(column < values.size() ? values[column] : std::string_view());
        RestartRecord();
        ++records;
    }
    bool Failed() const { return false; }
};

}  // namespace velmor::data::splitting
