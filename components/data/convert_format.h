// How one record is laid out in each output type the converter writes:
// delimited (qualified where needed), fixed (space-padded, CR LF ended) and
// dBase III (header, character fields, deletion flag per record).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "data/types.h"

namespace velmor::data {

using Values = std::vector<std::string_view>;

class DelimitedFormat {
public:
    DelimitedFormat(std::string recordDelimiter, std::string fieldDelimiter, std::string qualifier);

    /// Appends the record, at least Columns values (missing ones empty);
    /// false (nothing appended) when a value would need the qualifier and
    /// there is none, so it could not be read back intact.
    bool AppendRecord(const Values& values, std::size_t columns, std::string& out) const;
    /// True when Value must be enclosed in the qualifier to be read back.
    bool NeedsQualifier(std::string_view value) const;
    /// Appends Value, in the qualifier (doubled inside) when it needs one.
    void AppendValue(std::string_view value, std::string& out) const;

    const std::string& RecordDelimiter() const { return recordDelimiter_; }
    const std::string& FieldDelimiter() const { return fieldDelimiter_; }
    const std::string& Qualifier() const { return qualifier_; }

private:

    std::string recordDelimiter_;
    std::string fieldDelimiter_;
    std::string qualifier_;
    bool special_[256] = {};
    static constexpr int kMaxPatterns = 6;
    std::uint64_t pattern_[kMaxPatterns] = {};
    int patterns_ = 0;  ///< special bytes in Pattern, none when there are more
};

/// Appends the values, each padded with blanks to its width, then CR LF.
/// False when a value is wider than its width (nothing appended).
bool AppendFixedRecord(const Values& values, const std::vector<FilePos>& widths, std::string& out);

/// The widest a dBase III character field may be.
constexpr FilePos kDbaseMaxFieldLength = 254;

struct DbaseDate {
    int year = 1970;
    int month = 1;
    int day = 1;
};

/// Field names a dBase reader accepts: upper-case letters, digits and "_",
/// starting with a letter, at most 10 bytes, all different.
std::vector<std::string> DbaseFieldNames(const std::vector<std::string>& names);

/// Empty when a table of these widths can be written, else why not.
std::string DbaseLayoutProblem(const std::vector<std::string>& names,
                               const std::vector<FilePos>& widths);

/// Header and field descriptors, ended by the 0x0D terminator.
std::string DbaseHeader(const std::vector<std::string>& dbaseNames,
                        const std::vector<FilePos>& widths, std::uint32_t recordCount,
                        DbaseDate date);

/// The widest a dBase III numeric field may be.
constexpr FilePos kDbaseMaxNumericLength = 19;

/// Makes field Index (0-based) of a DbaseHeader numeric, with Decimals places.
void MarkDbaseNumeric(std::string& header, std::size_t index, int decimals);

/// Offset and size of the record count inside the header.
constexpr FilePos kDbaseRecordCountOffset = 4;
std::string DbaseRecordCount(std::uint32_t recordCount);

/// Deletion flag (" ", or "*" when Deleted) then the values padded to their
/// widths (each at least 1, as in the header).
bool AppendDbaseRecord(const Values& values, const std::vector<FilePos>& widths, std::string& out,
                       bool deleted = false);

/// The end-of-file mark after the last record.
constexpr char kDbaseEndOfFile = 0x1A;

}  // namespace velmor::data
