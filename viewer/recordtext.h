// Texts the grid shows: a record's cells, the column ruler, and the display
// line of a delimited record.
#pragma once

#include <QtGlobal>
#include <string>
#include <string_view>
#include <vector>

namespace velmor::viewer {

/// A record's bytes as grid cells: every CR LF pair removed, then every
/// code below 30 shown as a space.
std::string CellText(std::string text);

/// The ruler over columns First..Last: as many lines as Last has digits,
/// joined with CR LF. Higher digits only above multiples of ten, never as
/// leading zeros.
std::string BuildByteBarText(qint64 first, qint64 last, int& lineCount);

/// One field of a delimited record as the field-name view lays it out.
struct FieldCell {
    std::string value;
    qint64 length = 0;
};

/// The line shown for a delimited record: the fields side by side, each cut
/// or padded to its length, or the raw text padded to RecordLength.
std::string DelimitedDisplayLine(const std::string& raw, bool showFieldNames,
                                 const std::vector<FieldCell>& fields, qint64 recordLength);

/// Characters First..Last (1-based) of Line; shorter when the line ends.
std::string ColumnRange(const std::string& line, qint64 first, qint64 last);

}  // namespace velmor::viewer
