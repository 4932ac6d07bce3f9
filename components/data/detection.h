// Guessing how a file is divided from its first kilobytes: dBase table,
// delimited text (line end, field delimiter, qualifier, header record) or
// fixed-length records.
#pragma once

#include <string>
#include <string_view>

#include "data/types.h"

namespace velmor::data {

struct Detection {
    enum class Kind { Fixed, Delimited, Dbase };
    Kind kind = Kind::Fixed;
    FilePos recordLength = 0;     ///< fixed: bytes per record, line end included
    std::string recordDelimiter;  ///< raw bytes
    std::string fieldDelimiter;
    std::string qualifier;
    bool header = false;
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

}  // namespace velmor::data
