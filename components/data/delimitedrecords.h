// Records of a delimited file: counting with the sparse index, locating a
// record by number, and reading records one after another. Physical records
// are numbered from 0 here; a header record is physical record 0.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "data/datareader.h"
#include "data/delimitedscanner.h"
#include "data/recordindex.h"
#include "data/types.h"

namespace velmor::data {

/// Where one record lies in the file.
struct RecordSpan {
    FilePos start = 0;   ///< first byte
    FilePos length = 0;  ///< bytes without the record delimiter
    FilePos next = 0;    ///< first byte after the record and its delimiter
};

class DelimitedRecords {
public:
    /// Reader must stay open while this object is used.
    DelimitedRecords(const DataReader& reader, DelimitedScanner scanner, FilePos dataStart);

    const DelimitedScanner& Scanner() const { return scanner_; }
    const RecordIndex& Index() const { return index_; }
    RecordIndex& Index() { return index_; }
    FilePos DataStart() const { return dataStart_; }
    /// Records counted so far (physical).
    RecordNo Counted() const { return index_.counted; }
    bool Complete() const { return index_.complete; }

    /// Counts on until at least Target physical records are known or the
    /// file ends. Progress gets (bytes done, bytes total); false from it
    /// stops counting, leaving a shorter but consistent count. Records
    /// longer than any counted before are reported through LongRecord.
    /// Returns false when cancelled.
    bool CountTo(RecordNo target, const ProgressHandler& progress = {});

    /// Finds physical record P (counting as far as needed). False past the end.
    bool Locate(RecordNo p, RecordSpan& span, const ProgressHandler& progress = {});

    /// Called with each record that is longer than every record counted
    /// before it, so the layout can widen.
    std::function<void(const RecordSpan&)> LongRecord;

    /// While on, counting also finds the most values one record holds
    /// (Index().mostValues) and calls MoreValues when that number grows.
    void TallyValues(bool on) { tallying_ = on; }
    /// Forgets what was counted: records are counted again when asked for.
    void ForgetCount() {
        index_.Reset(dataStart_);
        cursorRecord_ = -1;
    }
    std::function<void(std::int64_t values)> MoreValues;

    /// Reads physical records from First on, calling Visit with each span and
    /// the record's bytes (at most MaxBytes of them) until Visit returns false
    /// or the file ends. Counting advances as a side effect. Visit must not
    /// use this object (its scratch space is in use).
    /// Reading stops before StopAt (a file offset): records not complete by
    /// then are not visited.
    void ForEach(RecordNo first, size_t maxBytes,
                 const std::function<bool(RecordNo, const RecordSpan&, std::string_view)>& visit,
                 FilePos stopAt = INT64_MAX);

private:
    /// Counts the rest of the file with a second thread on its second half.
    /// False when the file is not worth it (the caller counts on alone) or
    /// when Cancelled.
    bool CountOnTwoThreads(const ProgressHandler& progress, bool& cancelled);
    bool CountOn(RecordNo target, const ProgressHandler& progress);
    void ReportValues();
    void AddEnd(FilePos end, FilePos length);
    void AddEnds(FilePos base, const size_t* ends, size_t n, FilePos delimiter);
    bool StartsRecord(FilePos offset) const;
    bool Skip(FilePos from, RecordNo records, RecordSpan& span);

    const DataReader& reader_;
    DelimitedScanner scanner_;
    FilePos dataStart_ = 0;
    RecordIndex index_;
    bool tallying_ = false;
    ValueTally tally_;
    // The record after the last one located: sequential moves continue here.
    RecordNo cursorRecord_ = -1;
    FilePos cursorOffset_ = 0;
    // Reused, never zero-filled scratch space: fresh megabyte buffers would
    // cost more in page faults than the reading itself.
    template <typename T>
    struct Scratch {
        std::unique_ptr<T[]> data;
        size_t size = 0;
        T* Get(size_t n) {
            if (n > size) {
                data.reset(new T[n]);
                size = n;
            }
            return data.get();
        }
    };
    Scratch<char> buffer_;
    Scratch<char> stream_;
    Scratch<size_t> ends_;
};

}  // namespace velmor::data
