// A record longer than the converter's read buffer may grow, taken in
// pieces: its values are found byte run by byte run as the exact splitter
// finds them (a qualified value ends at a qualifier not doubled, bytes after
// it up to the delimiter belong to it, one left open runs to the end of the
// file, a lone first byte of a two-byte record delimiter is data), and each
// value reaches the visitor as pieces (Piece) and an end (EndValue), never
// whole. Internal to convert_fast.cpp.
#pragma once

#include <cstring>
#include <string_view>

#include "data/convert_reader.h"
#include "data/convert_visitors.h"

namespace velmor::data::splitting {

enum class LongRecord { Done, Cut, Failed };

/// Takes a record, no matter its values, to step over it (the names).
struct SkippingVisitor {
    void Piece(const char*, std::size_t) {}
    void EndValue(bool) {}
    void RestartRecord() {}
    bool Failed() const { return false; }
};

/// Streams the record at the front of Reader to Visitor. Fill(last) reads
/// more (false: failed or stopped); Last is set when the data then ends the
/// file. Cut: the range read ends inside the record (the visitor was
/// restarted); Done: Reader is past the record's delimiter.
template <class Fill, class Visitor>
LongRecord StreamRecord(BlockReader& reader, const SplitShape& s, Fill&& fill, Visitor& v) {
    enum class State { Start, Plain, Quoted, QuoteSeen, FirstRecordByte };
    State state = State::Start;
    const char field = static_cast<char>(s.f);
    const char r0 = static_cast<char>(s.r0);
    const char r1 = static_cast<char>(s.r1);
    const char q = static_cast<char>(s.q);
    v.RestartRecord();
    for (;;) {
        const std::string_view data = reader.Data();
        const char* d = data.data();
        const std::size_t n = data.size();
        std::size_t i = 0;
        while (i < n) {
            switch (state) {
                case State::Start:
                    if (s.q >= 0 && d[i] == q) {
                        state = State::Quoted;
                        ++i;
                    } else {
                        state = State::Plain;
                    }
                    break;
                case State::Plain: {
                    std::size_t j = i;
                    while (j < n && d[j] != field && d[j] != r0) ++j;
                    if (j > i) v.Piece(d + i, j - i);
                    i = j;
                    if (j == n) break;
                    ++i;
                    if (d[j] == field) {
                        v.EndValue(false);
                        state = State::Start;
                    } else if (!s.twoR) {
                        v.EndValue(true);
                        reader.Consume(i);
                        return LongRecord::Done;
                    } else {
                        state = State::FirstRecordByte;
                    }
                    break;
                }
                case State::FirstRecordByte:
                    if (d[i] == r1) {
                        v.EndValue(true);
                        reader.Consume(i + 1);
                        return LongRecord::Done;
                    }
                    v.Piece(&r0, 1);  // a lone first byte is data; D[i] is looked at again
                    state = State::Plain;
                    break;
                case State::Quoted: {
                    const void* hit = std::memchr(d + i, q, n - i);
                    const std::size_t j =
                        hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - d) : n;
                    if (j > i) v.Piece(d + i, j - i);
                    i = j;
                    if (j < n) {
                        state = State::QuoteSeen;
                        ++i;
                    }
                    break;
                }
                case State::QuoteSeen:
                    if (d[i] == q) {
                        v.Piece(&q, 1);
                        state = State::Quoted;
                        ++i;
                    } else {
                        state = State::Plain;  // closed: what follows up to a delimiter is kept
                    }
                    break;
            }
        }
        reader.Consume(n);
        if (v.Failed()) return LongRecord::Failed;
        bool last = false;
        if (!fill(last)) return LongRecord::Failed;
        if (!reader.Data().empty()) continue;
        if (!last) {
            v.RestartRecord();
            return LongRecord::Cut;
        }
        if (state == State::FirstRecordByte) v.Piece(&r0, 1);
        v.EndValue(true);
        return v.Failed() ? LongRecord::Failed : LongRecord::Done;
    }
}

}  // namespace velmor::data::splitting
