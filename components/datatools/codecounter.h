// Counting the distinct values ("codes") of one field over every record of a
// data file, and the counter's text. The file counted is a File of its own,
// opened like the viewer's, so the viewer's current record never moves.
// Shared by the field code counter window and "velmor-data codes".
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "data/convert_text.h"
#include "data/types.h"
#include "datatools/codetable.h"

namespace velmor::data {
class Fields;
class File;
}  // namespace velmor::data

namespace velmor::datatools {

class CodeCounter {
public:
    /// Called on the counting thread every few hundred kilobytes or
    /// thousand records; false cancels the count.
    using Progress = std::function<bool(std::int64_t done, std::int64_t total)>;

    enum class Outcome { Counted, Cancelled, Failed };
    struct Result {
        Outcome outcome = Outcome::Failed;
        std::vector<CodeCount> codes;  ///< in ascending byte order
        std::int64_t records = 0;      ///< records counted
        std::int64_t expected = -1;    ///< the engine's record count, when the count knew it
        std::string error;
        /// False when the counts do not add up to the engine's record count.
        bool CountsMatch() const { return expected < 0 || records == expected; }
    };

    /// The values of field Index (1-based) of every record of File, as the
    /// viewer shows them: fixed positions, the Index-th value of a delimited
    /// record, EBCDIC translated. Never throws.
    static Result Count(data::File& file, int fieldIndex, const Progress& progress);

    /// One line per code: the code padded (or cut) to FieldLength + 1, then
    /// the count padded to at least 7 characters (wider when a count has
    /// more digits), then CR LF.
    static std::string Report(const std::vector<CodeCount>& codes, data::FilePos fieldLength);

    /// Opens Copy on Source's data file with Source's connection, database
    /// type and fields. False with Error when it cannot be opened.
    static bool OpenLike(const data::File& source, data::File& copy, std::string& error);
};

/// Gives every unnamed field the first free name "Field" + n, n counting up
/// from the field's own position; returns the names in field order.
std::vector<std::string> NameUnnamedFields(data::Fields& fields);

/// The field Given names, as the command line takes it: "#" and its number,
/// the name's own bytes, or the name as printed (UTF-8, turned into Page's
/// bytes); unnamed fields first get their shown names. 0 when none.
int FieldToCount(data::Fields& fields, const std::string& given, data::CodePage page);

/// The code page the file's values are shown in (EBCDIC files are
/// translated to Latin-1 by the engine).
data::CodePage DisplayPage(const data::File& file);

/// "The code counter has failed to count the correct number of codes in the file."
extern const char* const kCountMismatchMessage;

}  // namespace velmor::datatools
