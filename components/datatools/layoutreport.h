// The field layout of a data file as text: a standard layout listing, a
// format file or a record type declaration. Shared by the layout converter
// window and "velmor-data layout", so both give the same bytes.
#pragma once

#include <cstddef>
#include <string>

namespace velmor::data {
class Fields;
}

namespace velmor::datatools {

enum class LayoutType { None, Standard, TypeStatement, FormatFile };
enum class Casing { None, Upper, Lower, Proper };

/// Field Index's name (1-based) without surrounding blanks, cased.
/// Proper: the first character and each one after a space upper-case, all
/// others lower-case.
std::string GetFieldName(const data::Fields& fields, int index, Casing casing);

/// The longest field name as stored (blanks included), in characters; 0
/// without fields.
std::size_t GetMaxWidth(const data::Fields& fields);

/// One line per field: the name padded (or cut) to the longest name + 1,
/// then "start-end"; every line ends with CR LF.
std::string DrawStandardLayout(const data::Fields& fields, Casing casing);
/// One line per field: "name, length" and CR LF.
std::string DrawFormatFile(const data::Fields& fields, Casing casing);
/// "Type " + FileTitle, one "  name AS STRING * length" line per field, and
/// "End Type" with no line end after it.
std::string DrawTypeStatement(const data::Fields& fields, const std::string& fileTitle,
                              Casing casing);
/// The form Type asks for; "" for LayoutType::None.
std::string DrawLayout(const data::Fields& fields, const std::string& fileTitle, LayoutType type,
                       Casing casing);

/// The file name the save dialog proposes for the data file Name.Extension:
/// Name + ".lay", ".typ" or ".fmt" by form (".txt" for none), with ".txt"
/// added when that would be the data file's own name.
std::string ProposedSaveName(const std::string& name, const std::string& extension,
                             LayoutType type);

/// True when Candidate and DataFile name the same file: the same text
/// ignoring case, or the same file reached through another name (a link).
bool SameFileAs(const std::string& candidate, const std::string& dataFile);

}  // namespace velmor::datatools
