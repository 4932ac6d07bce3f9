// Records of a variable-length file: each begins with a record descriptor
// word (RDW), big- or little-endian, and blocked files put a block
// descriptor word (BDW) before each block of them. Counting walks the chain
// of lengths and keeps the same sparse index as delimited files (the start of
// every 64th record); locating a record starts from the nearest checkpoint.
// A damaged length ends the records there: the count is final and Problem
// says which record and why, the records before it intact.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "copybook/recordformat.h"
#include "data/datareader.h"
#include "data/delimitedrecords.h"
#include "data/recordindex.h"
#include "data/types.h"

namespace velmor::data {

class VariableRecords {
public:
    /// Reader must stay open while this object is used.
    VariableRecords(const DataReader& reader, copybook::RecordFormat format, FilePos dataStart);

    const RecordIndex& Index() const { return index_; }
    RecordIndex& Index() { return index_; }
    /// To load a saved index into; a BDW file's index must hold its
    /// checkpoints' block ends, an RDW file's none. A complete
    /// index that ended before the end of the file is counted on from
    /// there, so the damage is found and told again.
    bool Adopt(const std::string& path, const IndexKey& key);
    /// Records counted so far (physical, from 0).
    RecordNo Counted() const { return index_.counted; }
    bool Complete() const { return index_.complete; }
    /// Why counting stopped before the end of the file; empty when it did not.
    const std::string& Problem() const { return problem_; }

    /// Counts on until at least Target records are known, the file ends or a
    /// damaged length stops it. Progress gets (bytes done, bytes total);
    /// false from it cancels (and this returns false).
    bool CountTo(RecordNo target, const ProgressHandler& progress = {});
    /// Finds record P (0-based): Span covers its data, without the RDW.
    bool Locate(RecordNo p, RecordSpan& span, const ProgressHandler& progress = {});

    /// Called with each record longer than every record counted before it.
    std::function<void(const RecordSpan&)> LongRecord;

private:
    void Stop(FilePos at, const std::string& what);

    const DataReader& reader_;
    copybook::RecordFormat format_;
    FilePos dataStart_ = 0;
    RecordIndex index_;
    std::string problem_;
    RecordNo cursorRecord_ = -1;  // the record after the last one located
    FilePos cursorOffset_ = 0, cursorBlockEnd_ = 0;
    std::unique_ptr<unsigned char[]> buffer_;
};

}  // namespace velmor::data
