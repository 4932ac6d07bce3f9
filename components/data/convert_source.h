// Every data record of an opened File, in order, as field values: the
// converter's whole-file passes. Plain fixed and delimited files are read in
// large blocks; anything else (EBCDIC, say) goes record by record through
// the File so the values are exactly what the windows show.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "data/convert_format.h"
#include "data/types.h"

namespace velmor::data {

class DelimitedPasses;
class File;

class RecordStream {
public:
    virtual ~RecordStream() = default;

    /// A stream over File's records (File stays open and unchanged while the
    /// stream is used); nullptr with Error set when the file cannot be read.
    /// Records a dBase table marks deleted are left out unless KeepDeleted.
    static std::unique_ptr<RecordStream> For(File& file, std::string& error,
                                             bool keepDeleted = false);

    /// Back to the first data record.
    virtual bool Rewind() = 0;
    /// The next record's values (valid until the next call); nullptr at the
    /// end or on a failure (Error() then non-empty).
    virtual const Values* Next() = 0;
    /// How far the stream got, for progress.
    virtual FilePos Done() const = 0;
    virtual FilePos Total() const = 0;
    /// True when values are cut from fixed positions (and padded with blanks).
    virtual bool FixedPositions() const = 0;
    /// True when the record Next() gave last is marked deleted (dBase).
    virtual bool Deleted() const { return false; }

    /// Faster whole-file passes over the same records, when the source's
    /// shape allows them; nullptr otherwise.
    virtual std::unique_ptr<DelimitedPasses> FastPasses() const { return nullptr; }

    const std::string& Error() const { return error_; }

protected:
    std::string error_;
};

}  // namespace velmor::data
