// Guessing how a file is divided from its first kilobytes: dBase table,
// delimited text (line end, field delimiter, qualifier, header record,
// leading comment lines) or fixed-length records.
#pragma once

#include <string>
#include <string_view>

#include "copybook/recordformat.h"
#include "data/delimitedscanner.h"
#include "data/types.h"

namespace velmor::data {

struct Detection {
    enum class Kind { Fixed, Delimited, Dbase };
    Kind kind = Kind::Fixed;
    FilePos recordLength = 0;     ///< fixed: bytes per record, line end included
    /// Fixed kind: variable records when their lengths chain through the sample.
    copybook::RecordFormat recordFormat = copybook::RecordFormat::Fixed;
    bool ebcdic = false;  ///< variable records whose text looks like EBCDIC
    std::string recordDelimiter;  ///< raw bytes
    std::string fieldDelimiter;
    std::string qualifier;
    bool header = false;
    /// Bytes of the comment lines ("#" ...) at the start of the file, with
    /// the empty lines among them: the records begin after them.
    FilePos byteOffset = 0;
};

/// Where the records of a delimited file begin: at ByteOffset, or past a
/// UTF-8 byte-order mark at the very start (which is no part of any value).
FilePos DelimitedDataStart(std::string_view head, FilePos byteOffset);

/// How many bytes of a file detection looks at.
constexpr size_t kDetectionSample = size_t{64} << 10;

/// Detects from Sample, the first bytes of a file of FileSize bytes.
Detection DetectConnection(std::string_view sample, FilePos fileSize);

/// The most frequent of comma, tab, semicolon and bar in Sample (comma when
/// none occurs): for a file said to be delimited whose fields vary in number.
std::string LikeliestFieldDelimiter(std::string_view sample);

/// The line end that divides Sample (CR LF, LF or CR); "" when none.
std::string DetectLineEnd(std::string_view sample);

/// A record length for fixed records: the common line length plus the line
/// end when the sample has line ends, otherwise 80 (or the file's size when
/// smaller). Never 0 for a file that has bytes.
FilePos DetectRecordLength(std::string_view sample, FilePos fileSize);

/// How well given delimiters fit the sample, read from byte Offset on.
struct DelimitedFit {
    /// Share of the sampled records (comment and empty lines left out) that
    /// the field delimiter splits into more than one field; 0 without any.
    double support = 0;
    /// Whether it splits every sampled record into the same number (more
    /// than one) of fields.
    bool uniform = false;
    /// Whether some value is wrapped in the qualifier.
    bool qualifierUsed = false;
    /// The header test's verdict on the first record: above 0 field names,
    /// below 0 data, 0 when the values below do not tell.
    int headerVote = 0;
};

DelimitedFit JudgeDelimited(std::string_view sample, FilePos fileSize, const Delimiters& delimiters,
                            FilePos offset);

/// The header test: Rows[0] is the candidate record of names, the rows
/// after it the records below. Each column votes by how the candidate
/// differs from the values below it in kind (number or text), length and
/// digits, as CSV sniffers do.
int HeaderVote(const std::vector<std::vector<std::string>>& rows);

}  // namespace velmor::data
