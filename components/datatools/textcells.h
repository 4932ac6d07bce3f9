// Names and codes as the reports show them: each well-formed UTF-8
// sequence is one character, every other byte one character of the file's
// single-byte code page (as AppendDisplayText shows them). Reports pad and
// case by these characters, so UTF-8 text lines up and non-ASCII letters
// change case.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace velmor::datatools {

/// The number of characters Bytes shows as.
std::size_t TextWidth(std::string_view bytes);

/// The longest start of Bytes that shows as at most Width characters.
std::string_view CutToWidth(std::string_view bytes, std::size_t width);

/// Bytes cut or padded with blanks to exactly Width characters.
void AppendPadded(std::string_view bytes, std::size_t width, std::string& out);

enum class LetterCase { Upper, Lower, Proper };

/// Bytes in upper or lower case, or Proper: the first character and each
/// one after a blank upper case, the others lower. UTF-8 letters follow
/// the Unicode tables, other bytes the Windows-1252 letters.
std::string CaseText(std::string_view bytes, LetterCase letterCase);

}  // namespace velmor::datatools
