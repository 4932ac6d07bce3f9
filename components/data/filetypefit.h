// Fitting a file type's delimited settings to the file at hand: the type's
// settings hold unless the file's first kilobytes plainly contradict them.
#pragma once

#include <string_view>

#include "data/connection.h"

namespace velmor::data {

/// Connection holds a delimited file type's settings; Head is the first
/// bytes of a file of FileSize bytes. A line end, field delimiter or
/// qualifier the file does not use, field names where the header test sees
/// data, and comment lines at the start are replaced by what the file
/// shows. Settings the type leaves empty are taken from detection.
void FitDelimitedSettings(Connection& connection, std::string_view head, FilePos fileSize);

/// Whether Head plainly contradicts a fixed-length type of RecordLength
/// bytes from ByteOffset: the file is delimited text whose line ends fall at
/// varying columns of those records (without a length: lines of clearly
/// different lengths).
bool FixedTypeContradicted(std::string_view head, FilePos fileSize, FilePos recordLength,
                           FilePos byteOffset);

}  // namespace velmor::data
