// Counting the records of a delimited file on two threads. The calling
// thread counts the first half as usual, writing the index's checkpoints;
// a second thread scans the second half from an unknown state, keeping the
// record ends found under both assumptions (inside a qualified field or
// not). The first half's final state picks one, whose ends then go through
// the same bookkeeping as the first half's: checkpoints, longest record.
#include <sys/mman.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <future>
#include <memory>
#include <new>
#include <system_error>
#include <vector>

#include "data/blockmasks.h"
#include "data/delimitedrecords.h"
#include "data/filesplit.h"

namespace velmor::data {

namespace {

constexpr std::size_t kChunk = std::size_t{256} << 10;  // a multiple of 64
constexpr std::size_t kMaxEnds = std::size_t{1} << 14;
constexpr int kFirstPercent = 52;
// The second half's record ends take about a byte each; past this the
// second thread stops and the rest is split again.
constexpr std::size_t kBudget = std::size_t{64} << 20;

struct CountShape {
    int r0 = -1, r1 = -1, f = -1, q = -1;
    bool twoR = false;
    FilePos delimiter = 1;  ///< bytes of the record delimiter
    bool tally = false;     ///< count values per record too
};

struct DualState {
    std::uint64_t insideA = 0;  ///< all ones inside a qualified field under assumption A
    std::uint64_t firstR = 0;   ///< the byte before was the first record byte
};

// The record ends found under one assumption about the split.
struct DualEnds {
    bool following = true;
    std::uint64_t boundary = 1;  ///< the byte before ended a field or record
    std::uint64_t closingQ = 1;  ///< the byte before closed a qualified field
    FilePos last = 0;            ///< the last end found (at first: the split)
    RecordNo count = 0;
    // Distances between ends, 7 bits a byte, in blocks that are never
    // copied or zero-filled (growing one vector cost a fifth of the count).
    static constexpr std::size_t kBlock = std::size_t{1} << 20;
    // Mapped with their pages in place: a megabyte faulted in page by page
    // cost a twentieth of the second thread's time.
    struct Unmap {
        void operator()(std::uint8_t* p) const { ::munmap(p, kBlock); }
    };
    std::vector<std::unique_ptr<std::uint8_t[], Unmap>> blocks;
    std::vector<std::size_t> fill;
    std::uint8_t* out = nullptr;
    std::size_t room = 0;
    FilePos stoppedAt = -1;
    // Records longer than every record before them in this half (the one
    // across the split excluded), in order: all the merge needs to replay
    // the longest-record bookkeeping without walking every end.
    FilePos longestDelta = 0;
    std::vector<RecordSpan> longer;
    // Field delimiters (with CountShape::tally): before the first end, the
    // most in one record after it, and since the last end.
    bool sawEnd = false;
    std::uint64_t firstRun = 0, most = 0, run = 0;

    void Grow() {
        Finish();
        // Room first, so a failure leaves the blocks and their fill alike.
        blocks.reserve(blocks.size() + 1);
        fill.reserve(fill.size() + 1);
        void* p = ::mmap(nullptr, kBlock, PROT_READ | PROT_WRITE,
                         MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
        if (p == MAP_FAILED) throw std::bad_alloc();
        blocks.emplace_back(static_cast<std::uint8_t*>(p));
        fill.push_back(0);
        out = blocks.back().get();
        room = kBlock;
    }
    void Finish() {
        if (!fill.empty()) fill.back() = kBlock - room;
    }
    std::size_t Used() const { return blocks.size() * kBlock; }
};

#define VELMOR_KERNEL_NAME DualPortable
#define VELMOR_KERNEL_ATTR
#define VELMOR_KERNEL_OPS masks::portable
#include "data/countkernel.inc"
#undef VELMOR_KERNEL_NAME
#undef VELMOR_KERNEL_ATTR
#undef VELMOR_KERNEL_OPS

#if VELMOR_SCAN_AVX2
#define VELMOR_KERNEL_NAME DualAvx2
#define VELMOR_KERNEL_ATTR VELMOR_AVX2
#define VELMOR_KERNEL_OPS masks::avx2
#include "data/countkernel.inc"
#undef VELMOR_KERNEL_NAME
#undef VELMOR_KERNEL_ATTR
#undef VELMOR_KERNEL_OPS

#define VELMOR_KERNEL_NAME DualAvx512
#define VELMOR_KERNEL_ATTR VELMOR_AVX512
#define VELMOR_KERNEL_OPS masks::avx512
#include "data/countkernel.inc"
#undef VELMOR_KERNEL_NAME
#undef VELMOR_KERNEL_ATTR
#undef VELMOR_KERNEL_OPS
#endif

void Dual(masks::VectorSet set, const CountShape& s, const char* data, std::size_t length,
          FilePos base, DualState& st, DualEnds (&hyp)[2]) {
#if VELMOR_SCAN_AVX2
    if (set == masks::VectorSet::Avx512)
        return s.tally ? DualAvx512<true>(s, data, length, base, st, hyp)
                       : DualAvx512<false>(s, data, length, base, st, hyp);
    if (set == masks::VectorSet::Avx2)
        return s.tally ? DualAvx2<true>(s, data, length, base, st, hyp)
                       : DualAvx2<false>(s, data, length, base, st, hyp);
#else
    (void)set;
#endif
    if (s.tally)
        DualPortable<true>(s, data, length, base, st, hyp);
    else
        DualPortable<false>(s, data, length, base, st, hyp);
}

void StopFollowing(DualEnds (&hyp)[2], FilePos at) {
    for (DualEnds& h : hyp) {
        if (!h.following) continue;
        h.following = false;
        h.stoppedAt = at;
    }
}

// The second thread: [Split, Size) under both assumptions. Done tells the
// bytes gone through; Stop ends it early.
void ScanSecondHalf(const DataReader& reader, const CountShape& s, FilePos split, FilePos size,
                    DualEnds (&hyp)[2], const std::atomic<bool>& stop,
                    std::atomic<FilePos>& done) {
    const masks::VectorSet set = masks::WidestVectors();
    std::unique_ptr<char[]> buffer(new char[kChunk + 64]);
    DualState st;
    char before = 0;
    if (s.twoR && reader.ReadAt(split - 1, &before, 1) == 1)
        st.firstR = static_cast<unsigned char>(before) == s.r0 ? 1 : 0;
    // Bytes after the end of the file are filled with one that is no delimiter.
    char filler = 'A';
    for (int c = 'A'; c < 'Z'; ++c) {
        if (c != s.r0 && c != s.r1 && c != s.f && c != s.q) {
            filler = static_cast<char>(c);
            break;
        }
    }
    FilePos pos = split;
    try {
        while (pos < size && (hyp[0].following || hyp[1].following)) {
            if (stop.load(std::memory_order_relaxed) || hyp[0].Used() + hyp[1].Used() > kBudget) break;
            const auto want = static_cast<std::size_t>(std::min<FilePos>(kChunk, size - pos));
            const std::size_t got = reader.ReadAt(pos, buffer.get(), want);
            if (got < want) break;  // the file shrank: the first thread counts the rest
            const std::size_t whole = got & ~std::size_t{63};
            Dual(set, s, buffer.get(), whole, pos, st, hyp);
            if (whole < got) {
                std::memset(buffer.get() + got, filler, whole + 64 - got);
                Dual(set, s, buffer.get() + whole, 64, pos + static_cast<FilePos>(whole), st,
                     hyp);
            }
            pos += static_cast<FilePos>(got);
            done.store(pos - split, std::memory_order_relaxed);
        }
    } catch (const std::bad_alloc&) {
    }
    if (pos < size) StopFollowing(hyp, pos);
}

// Sums 64 one-byte distances, or returns -1 when one of them takes more
// bytes (a record of 128 bytes or longer).
FilePos SumOfSmall64(const std::uint8_t* p) {
    constexpr std::uint64_t kHigh = 0x8080808080808080ull, kLow = 0x00FF00FF00FF00FFull;
    std::uint64_t high = 0, pairs = 0;
    for (int k = 0; k < 8; ++k) {
        std::uint64_t w;
        std::memcpy(&w, p + 8 * k, 8);
        high |= w;
        pairs += (w & kLow) + ((w >> 8) & kLow);  // four 16-bit sums, each under 2048
    }
    if (high & kHigh) return -1;
    return static_cast<FilePos>((pairs * 0x0001000100010001ull) >> 48);
}

// Appends the second half's ends (under the chosen assumption) to Index as
// one record at a time would: the record across the split, the checkpoints
// of every 64th record, the count, and the longest records in their order.
// Runs of 64 short records cost one sum, so this stays off the count's time.
void MergeEnds(const DualEnds& h, FilePos split, FilePos delimiter, RecordIndex& index,
               const std::function<void(const RecordSpan&)>& longRecord) {
    if (h.count == 0) return;
    RecordNo counted = index.counted;
    FilePos longest = index.longest;
    FilePos at = split;
    bool first = true;
    auto longer = [&](const RecordSpan& span) {
        if (span.length <= longest) return;
        longest = span.length;
        index.longest = longest;
        if (longRecord) longRecord(span);
    };
    for (std::size_t b = 0; b < h.blocks.size(); ++b) {
        const std::uint8_t* p = h.blocks[b].get();
        const std::uint8_t* const stopAt = p + h.fill[b];
        while (p < stopAt) {
            if (!first && counted % RecordIndex::kStride == 0 && stopAt - p >= 64) {
                const FilePos sum = SumOfSmall64(p);
                if (sum >= 0) {
                    at += sum;
                    counted += RecordIndex::kStride;
                    index.checkpoints.push_back(at);
                    p += 64;
                    continue;
                }
            }
            std::uint64_t delta = 0;
            int shift = 0;
            while (*p & 0x80) {
                delta |= static_cast<std::uint64_t>(*p++ & 0x7F) << shift;
                shift += 7;
            }
            delta |= static_cast<std::uint64_t>(*p++) << shift;
            at += static_cast<FilePos>(delta);
            if (first) {
                first = false;
                index.counted = counted;
                longer(RecordSpan{index.countedEnd, at - delimiter - index.countedEnd, at});
            }
            if (++counted % RecordIndex::kStride == 0) index.checkpoints.push_back(at);
        }
    }
    for (const RecordSpan& span : h.longer) longer(span);
    index.counted = counted;
    index.countedEnd = at;
    index.changed = true;
}

}  // namespace

bool DelimitedRecords::CountOnTwoThreads(const ProgressHandler& progress, bool& cancelled) {
    cancelled = false;
    const Delimiters& d = scanner_.Get();
    if (!scanner_.Vectorised()) return false;
    CountShape shape;
    shape.r0 = static_cast<unsigned char>(d.record[0]);
    shape.twoR = d.record.size() == 2;
    shape.r1 = shape.twoR ? static_cast<unsigned char>(d.record[1]) : -1;
    shape.delimiter = static_cast<FilePos>(d.record.size());
    shape.tally = tallying_;
    ValueTally* const tally = tallying_ ? &tally_ : nullptr;
    shape.f = d.field.empty() ? -1 : static_cast<unsigned char>(d.field[0]);
    shape.q = d.qualifier.empty() ? -1 : static_cast<unsigned char>(d.qualifier[0]);
    const FilePos size = reader_.Size();
    const FilePos delimiter = static_cast<FilePos>(d.record.size());
    char* buffer = buffer_.Get(kChunk);
    size_t* ends = ends_.Get(kMaxEnds);
    // Room for the checkpoints of records of 16 bytes on average: growing
    // copied them over and over, and pages never written cost nothing.
    constexpr FilePos kShortRecord = 16;
    const auto expected = static_cast<size_t>((size - index_.countedEnd) /
                                              (kShortRecord * RecordIndex::kStride));
    index_.checkpoints.reserve(index_.checkpoints.size() + expected);
    while (!index_.complete) {
        const FilePos from = index_.countedEnd;
        tally_.run = 0;
        // The second thread follows two assumptions (about a tenth more work
        // per byte than the first thread's scan): it gets a little less.
        FilePos split = SplitMiddle(from, size, 2, -1, kFirstPercent);
        if (split >= size) return false;
        // The state just before a qualifier decides what it means; past the
        // qualifiers at the middle only the inside-or-not state matters.
        if (shape.q >= 0) {
            const size_t got = reader_.ReadAt(split, buffer, 4096);
            size_t k = 0;
            while (k < got && static_cast<unsigned char>(buffer[k]) == shape.q) ++k;
            if (k == got) return false;
            split += static_cast<FilePos>(k);
        }

        DualEnds hyp[2];
        hyp[0].last = hyp[1].last = split;
        if (shape.q < 0) hyp[1].following = false;  // never inside a qualified field
        std::atomic<bool> stop{false};
        std::atomic<FilePos> secondDone{0};
        std::future<void> second;
        try {
            second = std::async(std::launch::async, [&] {
                ScanSecondHalf(reader_, shape, split, size, hyp, stop, secondDone);
            });
        } catch (const std::system_error&) {
            return false;  // no second thread to be had: count on alone
        }

        // The first half, as CountTo counts it, up to the split.
        FilePos pos = from;
        ScanMode mode = ScanMode::FieldStart;
        bool whole = true;
        FilePos nextReport = pos + (FilePos{4} << 20);
        while (pos < split) {
            const auto want = static_cast<size_t>(std::min<FilePos>(kChunk, split - pos));
            const size_t got = reader_.ReadAt(pos, buffer, want);
            if (got < want) {
                whole = false;
                break;
            }
            size_t consumed = 0;
            const size_t n =
                scanner_.Scan(buffer, got, false, mode, ends, kMaxEnds, consumed, tally);
            AddEnds(pos, ends, n, delimiter);
            pos += static_cast<FilePos>(consumed);
            if (consumed == 0 && n == 0) break;
            // Both threads' bytes count: the steps are those of one thread.
            const FilePos done = std::min(size, pos + secondDone.load());
            if (progress && done >= nextReport) {
                nextReport = done + (FilePos{4} << 20);
                if (!progress(done, size)) {
                    cancelled = true;
                    break;
                }
            }
        }
        if (whole && !cancelled && pos < split) {
            // The last bytes before the split, too few for a delimiter: only
            // their effect on the state is left.
            const auto want = static_cast<size_t>(split - pos);
            size_t consumed = 0;
            if (reader_.ReadAt(pos, buffer, want) != want) {
                whole = false;
            } else {
                const size_t n =
                    scanner_.Scan(buffer, want, true, mode, ends, kMaxEnds, consumed, tally);
                AddEnds(pos, ends, n, delimiter);
            }
        }
        stop = cancelled || !whole;
        // Progress goes on being reported while the second thread finishes.
        auto report = [&] {
            const FilePos done = std::min(size, split + secondDone.load());
            if (!progress || done < nextReport) return true;
            nextReport = done + (FilePos{4} << 20);
            return progress(done, size);
        };
        while (second.wait_for(std::chrono::milliseconds(5)) != std::future_status::ready) {
            if (!stop && !report()) stop = cancelled = true;
        }
        second.get();
        if (!cancelled && whole && !report()) cancelled = true;
        if (cancelled) return false;
        if (!whole) return false;  // the file changed: counting goes on alone

        // The second half under the assumption the first half's end state picks.
        DualEnds& h = hyp[mode == ScanMode::Quoted ? 1 : 0];
        h.Finish();
        MergeEnds(h, split, delimiter, index_, LongRecord);
        if (h.sawEnd) {
            tally_.run += h.firstRun;
            tally_.EndRecord();
            tally_.most = std::max(tally_.most, h.most);
            tally_.run = h.run;
        } else {
            tally_.run += h.run;
        }
        if (!h.following) {
            // A shape the exact scanner reads byte by byte, or the memory
            // budget: the rest from the last end found.
            if (h.count == 0) return false;
            continue;
        }
        if (index_.countedEnd < size) {
            AddEnd(size, size - index_.countedEnd);
            tally_.EndRecord();
        }
        index_.complete = true;
    }
    return true;
}

}  // namespace velmor::data
