#include "data/delimitedrecords.h"

#include <algorithm>

namespace velmor::data {

namespace {
constexpr size_t kCountChunk = size_t{256} << 10;
constexpr size_t kFirstSkipChunk = size_t{16} << 10;
constexpr size_t kStreamChunk = size_t{1} << 20;
constexpr size_t kMaxEnds = size_t{1} << 14;
constexpr FilePos kProgressStep = FilePos{4} << 20;
}  // namespace

DelimitedRecords::DelimitedRecords(const DataReader& reader, DelimitedScanner scanner,
                                   FilePos dataStart)
    : reader_(reader), scanner_(std::move(scanner)), dataStart_(dataStart) {
    index_.Reset(dataStart_);
}

bool DelimitedRecords::CountTo(RecordNo target, const ProgressHandler& progress) {
    if (index_.complete || index_.counted >= target) return true;
    const bool finished = CountOn(target, progress);
    ReportValues();
    return finished;
}

void DelimitedRecords::ReportValues() {
    if (!tallying_) return;
    const auto values = static_cast<std::int64_t>(tally_.most) + 1;
    if (values <= index_.mostValues) return;
    index_.mostValues = values;
    if (MoreValues) MoreValues(values);
}

bool DelimitedRecords::CountOn(RecordNo target, const ProgressHandler& progress) {
    index_.Materialize();
    tally_.run = 0;  // counting goes on from a record's start
    if (target == INT64_MAX) {
        bool cancelled = false;
        if (CountOnTwoThreads(progress, cancelled)) return true;
        if (cancelled) return false;
        tally_.run = 0;  // the part of a record the two threads left unended
    }
    const FilePos size = reader_.Size();
    const FilePos delimiter = static_cast<FilePos>(scanner_.Get().record.size());
    char* buffer = buffer_.Get(kCountChunk);
    size_t* ends = ends_.Get(kMaxEnds);
    FilePos pos = index_.countedEnd;
    FilePos nextReport = pos + kProgressStep;
    ScanMode mode = ScanMode::FieldStart;
    while (true) {
        size_t want =
            pos < size ? static_cast<size_t>(std::min<FilePos>(kCountChunk, size - pos)) : 0;
        size_t got = reader_.ReadAt(pos, buffer, want);
        bool eof = got < want || pos + static_cast<FilePos>(got) >= size;
        size_t maxEnds = static_cast<size_t>(
            std::min<RecordNo>(static_cast<RecordNo>(kMaxEnds), target - index_.counted));
        size_t consumed = 0;
        size_t n = scanner_.Scan(buffer, got, eof, mode, ends, maxEnds, consumed,
                                 tallying_ ? &tally_ : nullptr);
        AddEnds(pos, ends, n, delimiter);
        if (index_.counted >= target) return true;
        pos += static_cast<FilePos>(consumed);
        if (eof && (consumed >= got || n < maxEnds)) {
            FilePos endOfData = pos + static_cast<FilePos>(got - consumed);
            if (index_.countedEnd < endOfData) {
                AddEnd(endOfData, endOfData - index_.countedEnd);
                tally_.EndRecord();
            }
            index_.complete = true;
            return true;
        }
        if (consumed == 0 && n == 0) {
            index_.complete = true;  // nothing more can be read
            return true;
        }
        if (progress && pos >= nextReport) {
            nextReport = pos + kProgressStep;
            if (!progress(pos, size)) return false;
        }
    }
}

void DelimitedRecords::AddEnd(FilePos end, FilePos length) {
    if (length > index_.longest) {
        index_.longest = length;
        if (LongRecord) LongRecord(RecordSpan{index_.countedEnd, length, end});
    }
    index_.AddEnd(end);
}

void DelimitedRecords::AddEnds(FilePos base, const size_t* ends, size_t n, FilePos delimiter) {
    // The hot loop of counting: one comparison per record, a checkpoint per
    // 64 records; only a record longer than all before takes the slow path.
    FilePos previous = index_.countedEnd;
    FilePos longest = index_.longest;
    RecordNo counted = index_.counted;
    for (size_t k = 0; k < n; ++k) {
        FilePos end = base + static_cast<FilePos>(ends[k]);
        if (end - delimiter - previous > longest) {
            index_.counted = counted;
            index_.countedEnd = previous;
            AddEnd(end, end - delimiter - previous);
            longest = index_.longest;
        } else {
            ++counted;
            index_.counted = counted;
            index_.changed = true;
            if (counted % RecordIndex::kStride == 0) index_.checkpoints.push_back(end);
        }
        counted = index_.counted;
        previous = end;
    }
    index_.countedEnd = previous;
}

bool DelimitedRecords::Locate(RecordNo p, RecordSpan& span, const ProgressHandler& progress) {
    if (p < 0) return false;
    CountTo(p + 1, progress);
    if (index_.counted <= p) return false;
    RecordNo k = p / RecordIndex::kStride;
    RecordNo fromRecord = k * RecordIndex::kStride;
    FilePos from = index_.Checkpoint(static_cast<size_t>(k));
    if (index_.stored && !StartsRecord(from)) {
        // The indexing file is damaged: count afresh.
        index_.Reset(dataStart_);
        cursorRecord_ = -1;
        CountTo(p + 1, progress);
        if (index_.counted <= p) return false;
        from = index_.Checkpoint(static_cast<size_t>(k));
    }
    if (from < 0) return false;
    if (cursorRecord_ >= fromRecord && cursorRecord_ <= p) {
        fromRecord = cursorRecord_;
        from = cursorOffset_;
    }
    if (!Skip(from, p - fromRecord, span)) {
        cursorRecord_ = -1;
        return false;
    }
    cursorRecord_ = p + 1;
    cursorOffset_ = span.next;
    return true;
}

bool DelimitedRecords::StartsRecord(FilePos offset) const {
    // A record starts at the data's start or right after a record delimiter.
    const std::string& delimiter = scanner_.Get().record;
    const auto length = static_cast<FilePos>(delimiter.size());
    if (offset == dataStart_) return true;
    if (offset < dataStart_ + length || offset > reader_.Size()) return false;
    return reader_.ReadString(offset - length, delimiter.size()) == delimiter;
}

bool DelimitedRecords::Skip(FilePos from, RecordNo records, RecordSpan& span) {
    const FilePos size = reader_.Size();
    const FilePos delimiter = static_cast<FilePos>(scanner_.Get().record.size());
    size_t chunk = kFirstSkipChunk;
    char* buffer = buffer_.Get(kCountChunk);
    size_t* ends = ends_.Get(kMaxEnds);
    FilePos pos = from;
    FilePos start = from;
    RecordNo remaining = records;
    ScanMode mode = ScanMode::FieldStart;
    while (true) {
        size_t want =
            pos < size
                ? static_cast<size_t>(std::min<FilePos>(static_cast<FilePos>(chunk), size - pos))
                : 0;
        size_t got = reader_.ReadAt(pos, buffer, want);
        bool eof = got < want || pos + static_cast<FilePos>(got) >= size;
        size_t maxEnds =
            static_cast<size_t>(std::min<RecordNo>(static_cast<RecordNo>(kMaxEnds), remaining + 1));
        size_t consumed = 0;
        size_t n = scanner_.Scan(buffer, got, eof, mode, ends, maxEnds, consumed);
        for (size_t k = 0; k < n; ++k) {
            FilePos end = pos + static_cast<FilePos>(ends[k]);
            if (remaining == 0) {
                span = RecordSpan{start, end - delimiter - start, end};
                return true;
            }
            --remaining;
            start = end;
        }
        pos += static_cast<FilePos>(consumed);
        if (eof && (consumed >= got || n < maxEnds)) {
            FilePos endOfData = pos + static_cast<FilePos>(got - consumed);
            if (remaining != 0 || start >= endOfData) return false;
            span = RecordSpan{start, endOfData - start, endOfData};
            return true;
        }
        if (consumed == 0 && n == 0) return false;
        chunk = std::min(chunk * 2, kCountChunk);
    }
}

void DelimitedRecords::ForEach(
    RecordNo first, size_t maxBytes,
    const std::function<bool(RecordNo, const RecordSpan&, std::string_view)>& visit,
    FilePos stopAt) {
    if (!index_.complete) index_.Materialize();
    RecordSpan span{dataStart_, 0, dataStart_};
    if (first != 0 && !Locate(first, span)) return;
    const FilePos size = reader_.Size();
    const FilePos delimiter = static_cast<FilePos>(scanner_.Get().record.size());
    char* buffer = stream_.Get(kStreamChunk);
    size_t* ends = ends_.Get(kMaxEnds);
    size_t chunk = kFirstSkipChunk;
    FilePos pos = span.start;
    FilePos start = span.start;
    RecordNo record = first;
    ScanMode mode = ScanMode::FieldStart;
    auto emit = [&](FilePos end, FilePos length, FilePos bufferStart, size_t got) {
        RecordSpan s{start, length, end};
        if (record == index_.counted && start == index_.countedEnd) {
            if (length > index_.longest) {
                index_.longest = length;
                if (LongRecord) LongRecord(s);
            }
            index_.AddEnd(end);
        }
        size_t take =
            static_cast<size_t>(std::min<FilePos>(length, static_cast<FilePos>(maxBytes)));
        bool inside = start >= bufferStart &&
                      start + static_cast<FilePos>(take) <= bufferStart + static_cast<FilePos>(got);
        std::string copy;
        std::string_view bytes;
        if (inside) {
            bytes = std::string_view(buffer + (start - bufferStart), take);
        } else {
            copy = reader_.ReadString(start, take);
            bytes = copy;
        }
        bool more = visit(record, s, bytes);
        ++record;
        start = end;
        return more;
    };
    while (pos < stopAt) {
        FilePos room = std::min<FilePos>(size, stopAt) - pos;
        size_t want =
            room > 0 ? static_cast<size_t>(std::min<FilePos>(static_cast<FilePos>(chunk), room))
                     : 0;
        chunk = std::min(chunk * 2, kStreamChunk);
        size_t got = reader_.ReadAt(pos, buffer, want);
        bool eof = got < want || pos + static_cast<FilePos>(got) >= size;
        size_t consumed = 0;
        size_t n = scanner_.Scan(buffer, got, eof, mode, ends, kMaxEnds, consumed);
        for (size_t k = 0; k < n; ++k) {
            FilePos end = pos + static_cast<FilePos>(ends[k]);
            if (!emit(end, end - delimiter - start, pos, got)) return;
        }
        FilePos bufferStart = pos;
        pos += static_cast<FilePos>(consumed);
        if (eof && (consumed >= got || n < kMaxEnds)) {
            FilePos endOfData = pos + static_cast<FilePos>(got - consumed);
            if (start < endOfData) emit(endOfData, endOfData - start, bufferStart, got);
            if (record == index_.counted) index_.complete = true;
            return;
        }
        if (consumed == 0 && n == 0) return;
    }
}

}  // namespace velmor::data
