#include "data/convert_fast.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <future>
#include <memory>
#include <optional>
#include <utility>

#include "data/blockmasks.h"
#include "data/convert_columnvisitor.h"
#include "data/convert_delimitedwriter.h"
#include "data/convert_format.h"
#include "data/convert_longrecord.h"
#include "data/convert_output.h"
#include "data/convert_reader.h"
#include "data/convert_visitors.h"
#include "data/delimitedscanner.h"
#include "data/filesplit.h"

namespace velmor::data {

namespace {

using namespace splitting;
using masks::Carry;

#define VELMOR_KERNEL_NAME SplitPortable
#define VELMOR_KERNEL_ATTR
#define VELMOR_KERNEL_OPS masks::portable
#include "data/convert_splitkernel.inc"
#undef VELMOR_KERNEL_NAME
#undef VELMOR_KERNEL_ATTR
#undef VELMOR_KERNEL_OPS

#if VELMOR_SCAN_AVX2
#define VELMOR_KERNEL_NAME SplitAvx2
#define VELMOR_KERNEL_ATTR VELMOR_AVX2
#define VELMOR_KERNEL_OPS masks::avx2
#include "data/convert_splitkernel.inc"
#undef VELMOR_KERNEL_NAME
#undef VELMOR_KERNEL_ATTR
#undef VELMOR_KERNEL_OPS
#define VELMOR_KERNEL_NAME SplitAvx512
#define VELMOR_KERNEL_ATTR VELMOR_AVX512
#define VELMOR_KERNEL_OPS masks::avx512
#include "data/convert_splitkernel.inc"
#undef VELMOR_KERNEL_NAME
#undef VELMOR_KERNEL_ATTR
#undef VELMOR_KERNEL_OPS
#endif

// One thread's share of a pass: the records from From (a record start) to
// To. When To is the end of the file the last record needs no delimiter;
// otherwise Reached tells where the last complete record ended, which the
// caller compares with where the next share began.
struct alignas(64) Share {
    FilePos from = 0;
    FilePos to = 0;
    bool fileEnd = true;
    bool skipFirst = false;
    FilePos reached = 0;
    bool namesPending = false;  // ended before the names were skipped
    std::atomic<FilePos> done{0};
    std::string error;
    std::size_t block = kBlock;                  ///< bytes of each read
    std::size_t largest = std::size_t{4} << 20;  ///< of the buffer, before records go in pieces
    // When set, To is only where the share may safely read to; called
    // there, it gives the share's real end (and sets fileEnd).
    std::function<FilePos()> settle;
};

// The two threads' shares: up to the split, and from it.
void SetUpShares(Share& first, Share& second, FilePos start, FilePos split, FilePos end,
                 bool skipFirst, std::size_t block, std::size_t largest) {
    for (Share* s : {&first, &second}) {
        s->block = block;
        s->largest = largest;
    }
    first.from = start;
    first.to = split;
    first.fileEnd = split == end;
    first.skipFirst = skipFirst;
    second.from = split;
    second.to = end;
}

template <class Visitor, std::size_t Column = kChainedColumns>
std::size_t Split(const SplitShape& shape, masks::VectorSet set, std::string_view data, bool more,
                  bool last, DelimitedSplitter& exact, Visitor& v) {
#if VELMOR_SCAN_AVX2
    if (set == masks::VectorSet::Avx512)
        return SplitAvx512<Visitor, Column>(shape, data.data(), data.size(), more, last, exact, v);
    if (set == masks::VectorSet::Avx2)
        return SplitAvx2<Visitor, Column>(shape, data.data(), data.size(), more, last, exact, v);
#else
    (void)set;
#endif
    return SplitPortable<Visitor, Column>(shape, data.data(), data.size(), more, last, exact, v);
}

// An early column gets a splitter of its own that looks for its value only.
template <class Visitor>
std::size_t SplitFor(const SplitShape& shape, masks::VectorSet set, std::string_view data,
                     bool more, bool last, DelimitedSplitter& exact, Visitor& v) {
    if constexpr (OneColumn<Visitor>) {
        auto early = [&]<std::size_t... K>(std::index_sequence<K...>) {
            std::size_t used = 0;
            const bool found =
                ((v.column == K &&
                  (used = Split<Visitor, K>(shape, set, data, more, last, exact, v), true)) ||
                 ...);
            return found ? used : Split(shape, set, data, more, last, exact, v);
        };
        return early(std::make_index_sequence<kChainedColumns>());
    } else {
        return Split(shape, set, data, more, last, exact, v);
    }
}

// Drops the first record, the field names. False when the bytes read so far
// do not hold all of it.
bool SkipNames(BlockReader& reader, bool last, DelimitedSplitter& exact) {
    std::size_t used = 0;
    std::string_view data = reader.Data();
    if (exact.Next(data, last, used) && used > 0) {
        reader.Consume(used);
        return true;
    }
    if (!last) return false;
    reader.Consume(data.size());  // the file holds nothing but the names
    return true;
}

// How many values of a record a visitor can use: the code counter one
// column, the others one more than they accept, so that they still refuse.
template <class Visitor>
std::size_t ValuesUsed(const Visitor&) {
    return kMaxConvertedFields + 1;
}
std::size_t ValuesUsed(const ColumnVisitor& v) {
    return v.column + 1;
}
std::size_t ValuesUsed(const DelimitedWriter&) {
    return static_cast<std::size_t>(-1);
}

// Reads the record at From through once for a visitor that must know its
// values before they come (which need the qualifier).
template <class Visitor>
bool LookAhead(const std::string& path, const SplitShape& shape, Share& share, FilePos from,
               Visitor& v) {
    BlockReader ahead;
    if (!ahead.Open(path, from, share.to, share.block, share.error)) return false;
    ahead.SetLargest(share.largest);
    auto more = [&](bool& last) {
        if (!ahead.Fill(share.error)) return false;
        last = ahead.AtEnd() && share.fileEnd;
        return true;
    };
    bool last = false;
    return more(last) && StreamRecord(ahead, shape, more, v.LookAhead()) != LongRecord::Failed;
}

// Reads more of a share; at the end of a share whose end is still to be
// known (Settle), that end is asked for and the range extended.
bool FillShare(BlockReader& reader, Share& share) {
    if (!reader.Fill(share.error)) return false;
    if (share.settle && reader.AtEnd()) {
        share.to = share.settle();
        share.settle = nullptr;
        reader.Extend(share.to);
    }
    return true;
}

template <class Visitor>
bool RunShare(const std::string& path, const DelimitedSyntax& syntax, Share& share, Visitor& v,
              const std::atomic<bool>& stop, const std::function<bool()>& tick) {
    const SplitShape shape = ShapeOf(syntax);
    const masks::VectorSet vectors = masks::WidestVectors();
    DelimitedSplitter exact(syntax);
    exact.KeepAtMost(ValuesUsed(v));
    BlockReader reader;
    if (!reader.Open(path, share.from, share.to, share.block, share.error)) return false;
    reader.SetLargest(share.largest);
    bool skip = share.skipFirst;
    // A record the buffer may not grow for goes through in pieces.
    auto more = [&](bool& last) {
        if (!FillShare(reader, share)) return false;
        share.done.store(reader.Position() - share.from, std::memory_order_relaxed);
        if (stop.load(std::memory_order_relaxed) || (tick && !tick())) return false;
        last = reader.AtEnd() && share.fileEnd;
        return true;
    };
    for (;;) {
        if (!reader.AtEnd() && reader.Full()) {
            const FilePos record = reader.Position();
            SkippingVisitor names;
            if constexpr (requires { v.LookAhead(); }) {
                if (!skip && !LookAhead(path, shape, share, record, v)) return false;
            }
            const LongRecord got = skip ? StreamRecord(reader, shape, more, names)
                                        : StreamRecord(reader, shape, more, v);
            if (got == LongRecord::Failed) return false;
            if (got == LongRecord::Cut) {
                share.namesPending = skip;
                share.reached = record;
                return true;
            }
            skip = false;
            continue;  // what follows it may fill the buffer still
        }
        if (!FillShare(reader, share)) return false;
        const bool end = reader.AtEnd();
        if (skip) {
            if (!SkipNames(reader, end && share.fileEnd, exact)) {
                if (!end) continue;
                share.namesPending = true;
                break;  // the share ends inside the names; Reached tells the caller
            }
            skip = false;
        }
        std::size_t used =
            SplitFor(shape, vectors, reader.Data(), !end, end && share.fileEnd, exact, v);
        reader.Consume(used);
        share.done.store(reader.Position() - share.from, std::memory_order_relaxed);
        if (v.Failed()) return false;
        if (end) break;
        if (stop.load(std::memory_order_relaxed) || (tick && !tick())) return false;
    }
    share.reached = reader.Position();
    return true;
}

// Runs the first share on this thread and the second, if any, on another.
// Progress is reported from this thread only, as the caller may be a window.
// False with Error set on a failure, or with Error empty when cancelled or
// when the second share did not start where the first ended (Mismatch).
template <class Visitor>
bool RunShares(const std::string& path, const DelimitedSyntax& syntax, Share& first, Share* second,
               Visitor& a, Visitor* b, const DelimitedPasses::Progress& progress, FilePos total,
               bool& mismatch, std::string& error) {
    std::atomic<bool> stop{false};
    auto tick = [&]() {
        FilePos done = first.done.load() + (second ? second->done.load() : 0);
        return !progress || progress(std::min(done, total), total);
    };
    std::future<bool> other;
    if (second) {
        other = std::async(std::launch::async,
                           [&] { return RunShare(path, syntax, *second, *b, stop, nullptr); });
    }
    bool ok = RunShare(path, syntax, first, a, stop, tick);
    mismatch = ok && second && first.reached != second->from;
    if (!ok || mismatch) stop = true;
    if (second) {
        while (other.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready) {
            if (!stop && !tick()) stop = true;
        }
        bool otherOk = other.get();
        if (ok && !mismatch && !otherOk) {
            error = second->error;
            return false;
        }
        if (ok && !mismatch && stop) return false;  // cancelled while waiting
    }
    if (!ok) error = first.error;
    return ok && !mismatch;
}

// Runs both shares. When the guessed split lay inside a qualified field, the
// first share goes on alone from the record it stopped at, and Alone says
// that B's results are void.
template <class Visitor>
bool RunSplitShares(const std::string& path, const DelimitedSyntax& syntax, FilePos start,
                    FilePos end, Share& first, Share* second, Visitor& a, Visitor& b,
                    const DelimitedPasses::Progress& progress, bool& alone, std::string& error) {
    bool mismatch = false;
    alone = false;
    const FilePos total = end - start;
    if (RunShares(path, syntax, first, second, a, &b, progress, total, mismatch, error))
        return true;
    if (!mismatch) return false;
    Share rest;
    rest.block = first.block;
    rest.largest = first.largest;
    rest.from = first.reached;
    rest.to = end;
    rest.skipFirst = first.namesPending;
    const FilePos before = first.reached - start;
    auto shifted = [&](FilePos done, FilePos all) {
        return !progress || progress(std::min(before + done, all), all);
    };
    alone = true;
    return RunShares<Visitor>(path, syntax, rest, nullptr, a, nullptr, shifted, total, mismatch,
                              error);
}

std::string Changed(const std::string& path) {
    return "The source \"" + path +
           "\" changed while it was converted (its records no longer fit the widths measured "
           "before); nothing was written.";
}

}  // namespace

bool DelimitedPasses::Suits(const DelimitedSyntax& s) {
    const std::string& r = s.recordDelimiter;
    const std::string& f = s.fieldDelimiter;
    const std::string& q = s.qualifier;
    if (f.size() != 1 || q.size() > 1) return false;
    if (r.size() != 1 && !(r.size() == 2 && r[0] != r[1])) return false;
    if (r.find(f[0]) != std::string::npos) return false;
    return q.empty() || (q[0] != f[0] && r.find(q[0]) == std::string::npos);
}

DelimitedPasses::DelimitedPasses(std::string path, FilePos start, DelimitedSyntax syntax,
                                 bool skipFirst)
    : path_(std::move(path)), start_(start), syntax_(std::move(syntax)), skipFirst_(skipFirst) {}

bool DelimitedPasses::Size(std::string& error) {
    struct stat st {};
    if (::stat(path_.c_str(), &st) != 0) {
        error = "Cannot read \"" + path_ + "\": " + std::strerror(errno) + ".";
        return false;
    }
    end_ = std::max<FilePos>(st.st_size, start_);
    return true;
}

bool DelimitedPasses::SizeAndSplit(std::string& error) {
    if (!Size(error)) return false;
    split_ = FindSplit();
    return true;
}

FilePos DelimitedPasses::FindSplit() const {
    // A guess: the first record end after the middle, as if the middle were
    // outside any qualified field. The first share checks it by reaching
    // exactly that byte with a record end of its own.
    const FilePos middle = SplitMiddle(start_, end_, threads_, smallestSplit_);
    return middle >= end_ ? end_ : GuessRecordStart(middle);
}

FilePos DelimitedPasses::GuessRecordStart(FilePos at) const {
    std::string error;
    BlockReader reader;
    if (!reader.Open(path_, at, std::min(end_, at + FilePos{1 << 20}), 1 << 20, error) ||
        !reader.Fill(error)) {
        return end_;
    }
    std::string_view data = reader.Data();
    DelimitedScanner scanner({syntax_.recordDelimiter, syntax_.fieldDelimiter, syntax_.qualifier});
    ScanMode mode = ScanMode::Unquoted;
    std::size_t ends[1];
    std::size_t consumed = 0;
    if (scanner.Scan(data.data(), data.size(), false, mode, ends, 1, consumed) != 1) return end_;
    return at + static_cast<FilePos>(ends[0]);
}

void DelimitedPasses::CountTo(FilePos middle, FilePos& split, std::uint64_t& records,
                              const std::atomic<bool>& stop) const {
    split = end_;
    records = 0;
    std::string error;
    BlockReader reader;
    if (!reader.Open(path_, start_, end_, std::size_t{1} << 20, error)) return;
    DelimitedScanner scanner({syntax_.recordDelimiter, syntax_.fieldDelimiter, syntax_.qualifier});
    ScanMode mode = ScanMode::FieldStart;
    constexpr std::size_t kEnds = 4096;
    std::vector<std::size_t> ends(kEnds);
    std::uint64_t seen = 0;
    while (!stop.load(std::memory_order_relaxed) && reader.Fill(error)) {
        const std::string_view data = reader.Data();
        std::size_t used = 0;
        // The scanner stops after kEnds record ends: scan the whole block
        // before reading more, or the reader keeps growing its buffer.
        for (;;) {
            const FilePos at = reader.Position() + static_cast<FilePos>(used);
            std::size_t consumed = 0;
            const std::size_t n = scanner.Scan(data.data() + used, data.size() - used,
                                               reader.AtEnd(), mode, ends.data(), kEnds, consumed);
            for (std::size_t k = 0; k < n; ++k) {
                ++seen;
                if (at + static_cast<FilePos>(ends[k]) >= middle) {
                    split = at + static_cast<FilePos>(ends[k]);
                    records = seen - (skipFirst_ ? 1 : 0);
                    return;
                }
            }
            used += consumed;
            if (n < kEnds || consumed == 0) break;
        }
        reader.Consume(used);
        if (reader.AtEnd() && (used == 0 || reader.Data().empty())) return;
    }
}

std::string RunTogetherMessage() {
    return "The field separator of the output is empty, so the values of a record "
           "would run together; nothing was written.";
}

std::string UnqualifiableMessage(std::uint64_t record) {
    return "Record " + std::to_string(record) +
           " holds a delimiter, and without a text qualifier it cannot be written unchanged.";
}

bool DelimitedPasses::WriteDelimited(StagedOutput& out, const DelimitedFormat& format,
                                     std::size_t columns, const Progress& progress,
                                     std::uint64_t& records, std::string& error) {
    if (!Size(error)) return false;
    Share all;
    all.block = readBytes_;
    all.largest = largestRead_;
    all.from = start_;
    all.to = end_;
    all.skipFirst = skipFirst_;
    DelimitedWriter writer(format, ValueShape(ShapeOf(syntax_)), out, columns);
    const std::atomic<bool> stop{false};
    const FilePos total = end_ - start_;
    const std::function<bool()> tick = [&] {
        return !progress || progress(std::min(all.done.load(), total), total);
    };
    const bool ok = RunShare(path_, syntax_, all, writer, stop, tick);
    records = writer.Records();
    if (writer.Trouble() != DelimitedWriter::Problem::None) {
        error = writer.Trouble() == DelimitedWriter::Problem::RunTogether
                    ? RunTogetherMessage()
                    : UnqualifiableMessage(records + 1);
        return false;
    }
    if (writer.WriteFailed()) return false;  // the output says why
    if (!ok) {
        error = all.error;  // empty when cancelled
        return false;
    }
    return writer.Finish();
}

namespace {

// A width measured in 32 bits stops at 4 GB less a byte, so a value as
// long as Widest or longer is refused here rather than, when written, as a
// file that changed.
bool TooWide(const std::vector<FilePos>& widths, FilePos widest, const std::string& path,
             std::string& error) {
    for (std::size_t i = 0; i < widths.size(); ++i) {
        if (widths[i] < widest) continue;
        const std::string size = widest >= std::numeric_limits<std::uint32_t>::max()
                                     ? "4 GB"
                                     : std::to_string(widest) + " bytes";
        error = "Field " + std::to_string(i + 1) + " of \"" + path + "\" holds a value of " + size +
                " or more, too wide for a fixed-length field; nothing was written.";
        return true;
    }
    return false;
}

}  // namespace

std::string TooManyValuesMessage() {
    return "A record holds more than " + std::to_string(kMaxConvertedFields) +
           " values; a file with that many fields cannot be converted.";
}

bool DelimitedPasses::Measure(std::vector<FilePos>& widths, std::uint64_t& records,
                              const Progress& progress, std::string& error) {
    if (!SizeAndSplit(error)) return false;
    Share first;
    Share second;
    SetUpShares(first, second, start_, split_, end_, skipFirst_, readBytes_, largestRead_);
    const ValueShape shape(ShapeOf(syntax_));
    WidthsVisitor a(shape);
    WidthsVisitor b(shape);
    bool alone = false;
    if (!RunSplitShares(path_, syntax_, start_, end_, first, split_ < end_ ? &second : nullptr, a,
                        b, progress, alone, error)) {
        return false;
    }
    if (alone) {
        split_ = end_;
        b = WidthsVisitor(shape);
    }
    if (a.tooMany || b.tooMany) {
        error = TooManyValuesMessage();
        return false;
    }
    firstPartRecords_ = a.records;
    records_ = a.records + b.records;
    widths.assign(std::max(a.widths.size(), b.widths.size()), 0);
    for (const WidthsVisitor* v : {&a, &b}) {
        for (std::size_t i = 0; i < v->widths.size(); ++i) {
            widths[i] = std::max(widths[i], static_cast<FilePos>(v->widths[i]));
        }
    }
    records = records_;
    return !TooWide(widths, widestValue_, path_, error);
}

bool DelimitedPasses::GuessWidths(std::vector<FilePos>& widths, std::string& error) {
    // A few hundred kilobytes from each of eight places: the ends of the
    // file catch values that grow along it (a running number), the places
    // between catch what the beginning lacks.
    constexpr int kSamples = 8;
    const FilePos kSampleBytes = std::max<FilePos>(sampleBytes_, 1);
    if (!Size(error)) return false;
    const ValueShape shape(ShapeOf(syntax_));
    WidthsVisitor v(shape);
    const std::atomic<bool> stop{false};
    const FilePos range = end_ - start_;
    const int samples = range > kSamples * kSampleBytes ? kSamples : 1;
    for (int k = 0; k < samples; ++k) {
        Share sample;
        sample.block = readBytes_;
        sample.largest = largestRead_;
        sample.from =
            k == 0 ? start_ : GuessRecordStart(start_ + (range - kSampleBytes) * k / (samples - 1));
        sample.to = samples == 1 ? end_ : std::min(end_, sample.from + kSampleBytes);
        sample.fileEnd = sample.to == end_;
        sample.skipFirst = k == 0 && skipFirst_;
        if (sample.from >= end_) continue;
        if (!RunShare(path_, syntax_, sample, v, stop, nullptr)) {
            error = sample.error;
            return false;
        }
    }
    widths.assign(v.widths.begin(), v.widths.end());
    return true;
}

bool DelimitedPasses::WriteGuessed(StagedOutput& out, FilePos offset,
                                   const std::vector<FilePos>& widths, const Progress& progress,
                                   Guessed& found, std::string& error) {
    found = Guessed();
    if (!out.FlushBuffer()) {
        error = out.Error();
        return false;
    }
    if (!Size(error)) return false;
    FilePos recordSize = 2;
    for (FilePos w : widths) recordSize += w;
    FilePos middle = SplitMiddle(start_, end_, threads_, smallestSplit_);
    // The second thread counts the first share's records before writing its
    // own, so its own is the smaller (unless a test placed the split).
    if (middle < end_ && TwoThreadSplitting().at < 0) middle = start_ + (end_ - start_) * 4 / 7;
    const bool two = middle < end_;
    const ValueShape shape(ShapeOf(syntax_));
    std::atomic<bool> missed{false};
    GuessingWriter a(widths, shape, out, offset, missed);
    std::optional<GuessingWriter> b;
    Share first;
    Share second;
    SetUpShares(first, second, start_, two ? middle : end_, end_, skipFirst_, readBytes_,
                largestRead_);
    std::atomic<bool> stop{false};
    std::promise<FilePos> splitFound;
    std::future<FilePos> split = splitFound.get_future();
    std::uint64_t before = 0;
    std::future<bool> other;
    if (two) {
        first.settle = [&] {
            const FilePos at = split.get();
            first.fileEnd = at == end_;
            return at;
        };
        other = std::async(std::launch::async, [&] {
            FilePos at = end_;
            CountTo(middle, at, before, stop);
            second.from = at;
            splitFound.set_value(at);
            if (at >= end_) return true;
            b.emplace(widths, shape, out, offset + static_cast<FilePos>(before) * recordSize,
                      missed);
            return RunShare(path_, syntax_, second, *b, stop, nullptr);
        });
    }
    auto tick = [&]() {
        const FilePos done = first.done.load() + (two ? second.done.load() : 0);
        return !progress || progress(std::min(done, end_ - start_), end_ - start_);
    };
    bool ok = RunShare(path_, syntax_, first, a, stop, tick);
    if (!ok) stop = true;
    bool otherOk = true;
    if (two) {
        while (other.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready) {
            if (!stop && !tick()) stop = true;
        }
        otherOk = other.get();
        if (ok && !otherOk && second.error.empty() && (!b || b->WriteError().empty())) {
            return false;  // cancelled
        }
    }
    const bool twoShares = b.has_value();
    ok = ok && otherOk && a.Finish() && (!twoShares || b->Finish());
    for (const GuessingWriter* w : {&a, twoShares ? &*b : nullptr}) {
        if (w && !w->WriteError().empty()) {
            error = w->WriteError();
            return false;
        }
    }
    if (!first.error.empty() || !second.error.empty()) {
        error = !first.error.empty() ? first.error : second.error;
        return false;
    }
    if (!ok) return false;  // cancelled
    if (twoShares && (first.reached != second.from || a.Records() != before)) {
        return true;  // the file changed under the count: the caller measures
    }
    if (a.TooMany() || (twoShares && b->TooMany())) {
        error = TooManyValuesMessage();
        return false;
    }
    found.widths = a.Widths();
    if (twoShares) {
        const std::vector<FilePos> more = b->Widths();
        if (more.size() > found.widths.size()) found.widths.resize(more.size(), 0);
        for (std::size_t i = 0; i < more.size(); ++i) {
            found.widths[i] = std::max(found.widths[i], more[i]);
        }
    }
    if (TooWide(found.widths, widestValue_, path_, error)) return false;
    found.records = a.Records() + (twoShares ? b->Records() : 0);
    found.known = true;
    found.fits = a.Fitted() && (!twoShares || b->Fitted());
    // Should the widths differ from the guess, WriteFixed needs no Measure.
    split_ = twoShares ? second.from : end_;
    firstPartRecords_ = a.Records();
    records_ = found.records;
    if (!found.fits) return true;
    return out.ContinueAt(offset + static_cast<FilePos>(records_) * recordSize);
}

bool DelimitedPasses::WriteFixed(StagedOutput& out, FilePos offset,
                                 const std::vector<FilePos>& widths, const Progress& progress,
                                 std::string& error) {
    if (!out.FlushBuffer()) {
        error = out.Error();
        return false;
    }
    FilePos recordSize = 2;
    for (FilePos w : widths) recordSize += w;
    const ValueShape shape(ShapeOf(syntax_));
    FixedWriter a(widths, shape, out, offset);
    FixedWriter b(widths, shape, out,
                  offset + static_cast<FilePos>(firstPartRecords_) * recordSize);
    Share first;
    Share second;
    SetUpShares(first, second, start_, split_, end_, skipFirst_, readBytes_, largestRead_);
    const bool two = split_ < end_;
    bool mismatch = false;
    bool ok = RunShares(path_, syntax_, first, two ? &second : nullptr, a, &b, progress,
                        end_ - start_, mismatch, error);
    if (ok) {
        ok = a.Finish();
        ok = (!two || b.Finish()) && ok;
    }
    if (!a.WriteError().empty() || !b.WriteError().empty()) {
        error = !a.WriteError().empty() ? a.WriteError() : b.WriteError();
        return false;
    }
    if (mismatch || a.Failed() || b.Failed() ||
        (ok && (a.Records() != firstPartRecords_ || a.Records() + b.Records() != records_))) {
        error = Changed(path_);
        return false;
    }
    if (!ok) return false;
    return out.ContinueAt(offset + static_cast<FilePos>(records_) * recordSize);
}

bool DelimitedPasses::VisitColumn(std::size_t column, ColumnSink& first, ColumnSink& second,
                                  std::uint64_t& records, const Progress& progress,
                                  std::string& error) {
    if (!SizeAndSplit(error)) return false;
    Share one;
    Share two;
    SetUpShares(one, two, start_, split_, end_, skipFirst_, readBytes_, largestRead_);
    const ValueShape shape(ShapeOf(syntax_));
    ColumnVisitor a(shape, column, first);
    ColumnVisitor b(shape, column, second);
    bool alone = false;
    if (!RunSplitShares(path_, syntax_, start_, end_, one, split_ < end_ ? &two : nullptr, a, b,
                        progress, alone, error)) {
        return false;
    }
    if (alone) {
        second.Clear();
        b.records = 0;
    }
    records = a.records + b.records;
    return true;
}

}  // namespace velmor::data
