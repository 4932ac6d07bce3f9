// Text, path and number helpers shared by the engine, the interpreter and
// every window. Plain C++: texts are byte strings (the data files' own bytes).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmor::util {

/// True when Path names an existing regular file (a folder is not a file).
bool FileExists(std::string_view path);

/// "Yes", "True" (any case, surrounding blanks ignored) and texts that are
/// wholly a non-zero number are true; everything else, the empty text
/// included, is false.
bool ToBoolean(std::string_view text);

/// Removes one pair of surrounding double quotes (after trimming blanks).
std::string Unquote(std::string_view text);

/// Text without any occurrence of Character.
std::string RemoveCharacter(std::string_view text, char character);

/// Removes Find from Text in place; every occurrence when All, else the first.
void RemoveText(std::string& text, std::string_view find, bool all);

/// Splits at the first Separator; without one, Before is the whole text.
void SplitAt(std::string_view text, std::string_view separator, std::string& before,
             std::string& after);

/// Folder ends with the path separator "/" (empty when there is no folder),
/// Name has neither folder nor extension, Extension has no dot. A leading dot
/// belongs to the name: ".profile" has no extension.
void SplitPath(std::string_view pathAndName, std::string& folder, std::string& name,
               std::string& extension);

/// Splits at every occurrence of the character with code SeparatorCode.
/// Parts are returned 0-based here; Count is Parts.size(). The empty text
/// has no parts; "a;" has two, the second empty.
std::vector<std::string> SplitList(std::string_view text, int separatorCode);

/// 1-based position of the last occurrence of Find in Text, 0 when none.
std::int64_t FindLast(std::string_view text, std::string_view find);

/// A text usable as a script variable name: letters, digits and "_", never
/// starting with a digit, never empty. Every other byte becomes "_". Neither
/// the name nor the name followed by more letters (a generated script adds
/// "C") is a reserved word: such a name gets a leading "_".
std::string ToVariableName(std::string_view text);

/// True for the words of the script language that are never names
/// (statements and the values True, False and Nothing), in any case.
bool IsReservedWord(std::string_view name);

/// Takes the next line (up to CR LF, LF or CR) off Text; More is false once
/// Text is used up.
void NextLine(std::string& text, bool& more, std::string& line);

/// Characters as representation text: "CHR$(13) & CHR$(10)"; "" for "".
std::string CharactersToRepresentation(std::string_view characters);

/// Result of reading a representation text.
struct RepresentationResult {
    std::string characters;  ///< the bytes the text stands for
    std::string error;       ///< empty when the text was valid
    bool ok() const { return error.empty(); }
};

/// Inverse of CharactersToRepresentation: accepts exactly "CHR$(n)" terms
/// (n 0..255) joined by "&", any blanks around them, and the empty text.
/// Anything else is reported as an error, never guessed.
RepresentationResult RepresentationToCharacters(std::string_view representation);

/// Number-box convention: the leading decimal number of the text (blanks
/// and a sign allowed before it; no exponent), 0 when there is none. Too many
/// digits give an infinity, which RoundHalfEven saturates.
double LeadingNumber(std::string_view text);

/// Rounds to the nearest whole number, halves to even; saturates at the
/// limits of int64 instead of overflowing.
std::int64_t RoundHalfEven(double value);

/// LeadingNumber then RoundHalfEven: how every number box is read.
std::int64_t ReadWholeNumber(std::string_view text);

/// Trims blanks (space and tab) at both ends.
std::string Trim(std::string_view text);

/// ASCII upper and lower case; other bytes unchanged.
std::string ToUpper(std::string_view text);
std::string ToLower(std::string_view text);
bool EqualsNoCase(std::string_view a, std::string_view b);

}  // namespace velmor::util
