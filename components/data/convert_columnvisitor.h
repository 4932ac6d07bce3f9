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
