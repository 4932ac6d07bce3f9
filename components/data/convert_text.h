// Data bytes as UTF-8 text for output meant for other programs: valid UTF-8
// passes unchanged, every other byte is read in the file's code page, so
// Latin-1 and Windows data show their characters instead of being dropped.
// Text known to be Latin-1 (translated EBCDIC) is read byte by byte.
#pragma once

#include <string>
#include <string_view>

namespace velmor::data {

/// Windows 1252 for files written on Windows; Latin-1 for EBCDIC files,
/// whose bytes the engine translates to Latin-1.
enum class CodePage { Windows1252, Latin1 };

/// Appends Bytes as UTF-8 (see above).
void AppendDisplayText(std::string_view bytes, std::string& out,
                       CodePage page = CodePage::Windows1252);

/// True when Text is well-formed UTF-8.
bool IsUtf8(std::string_view text);

/// The bytes of UTF-8 Text in code Page; false when Text is not UTF-8 or
/// holds a character the page lacks.
bool FromUtf8(std::string_view text, CodePage page, std::string& bytes);

/// Appends Bytes as a JSON string literal, quotes included, in UTF-8.
void AppendJsonString(std::string_view bytes, std::string& out,
                      CodePage page = CodePage::Windows1252);

}  // namespace velmor::data
