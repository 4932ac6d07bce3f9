// The texts of the connection file (one setting per line, then one line per
// field, always in the same order) and of the format file ("name, length").
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "data/connection.h"
#include "data/fields.h"

namespace velmor::data {

struct FieldLine {
    std::string name;
    FilePos start = 0;  ///< 0 when the line holds no position
    FilePos length = 0;
    std::string type;  ///< picture and usage of a typed field ("PIC S9(5) COMP-3"), else empty
};

struct ConnectionFileContent {
    Connection connection;
    bool showFieldNames = false;
    std::vector<FieldLine> fields;
};

/// The first line of every connection file.
inline constexpr std::string_view kConnectionFileHeader = "[Velmor Data Connection]";

/// The connection file's text. Delimited layouts store only the names: their
/// positions follow from the data.
std::string FormatConnectionFile(const Connection& connection, const Fields& fields,
                                 bool showFieldNames);
/// Reads a connection file's text; Error names the first bad line.
bool ParseConnectionFile(std::string_view text, ConnectionFileContent& content, std::string& error);

/// Adds the fields a connection file names, typed ones with their format.
void AddFieldLines(const std::vector<FieldLine>& lines, Fields& fields);

std::string FormatFormatFile(const Fields& fields);
/// Fields of a format file, placed one after another from position 1.
std::vector<FieldLine> ParseFormatFile(std::string_view text);

}  // namespace velmor::data
