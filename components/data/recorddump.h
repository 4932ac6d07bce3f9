// The positional dump of one record as it is printed: a header, then blocks
// of 100 positions with three ruler lines, the text and its codes in two
// hexadecimal lines. Plain text, shared by the printout and velmor-data.
#pragma once

#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "data/types.h"

namespace velmor::data {

class File;

class RecordDump {
public:
    static constexpr FilePos kBlockWidth = 100;

    /// The record's text as it is dumped: field by field (each padded or cut
    /// to its length) for a delimited file showing field names, else the
    /// raw record; CR LF pairs removed and codes below 30 made blanks.
    static std::string PrintableText(const File& file);

    /// "File Name: ...", "Record Number: ...", "Record Length: ...",
    /// "Date: ..." (long date) and "Time: ..." (12-hour clock, AM/PM).
    static std::vector<std::string> HeaderLines(const std::string& pathAndName, RecordNo record,
                                                FilePos recordLength, const std::tm& now);

    /// Every block: two empty lines, hundreds, tens, units, text, high and
    /// low hexadecimal digits. Blocks cover RecordLength rounded up to 100,
    /// but never more than the text shown (at least one block): a stated
    /// length beyond the bytes that exist prints no empty rulers. Text starts
    /// at position First (1 + a multiple of 100), so a long record can be
    /// dumped piece by piece.
    static std::vector<std::string> BlockLines(std::string_view text, FilePos recordLength,
                                               FilePos first = 1);

    /// The record length a dump states: the connection's, or the current
    /// record's own for variable records (the connection's is the longest).
    static FilePos StatedLength(const File& file);

    /// Moves File to Record and gives the whole dump.
    static std::vector<std::string> Lines(File& file, RecordNo record, const std::tm& now);

    /// True for the lines of Lines() that hold the record's own bytes; the
    /// others are ASCII or the file's name as the system gives it.
    static bool IsRecordTextLine(std::size_t index);

    /// "###,###,###": thousands separated by commas.
    static std::string GroupThousands(RecordNo number);
    static std::string LongDate(const std::tm& t);
    static std::string ClockTime(const std::tm& t);
};

}  // namespace velmor::data
