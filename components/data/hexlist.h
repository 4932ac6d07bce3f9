// Hex lists: byte sequences typed as hexadecimal values separated by single
// spaces, as in "0D 0A".
#pragma once

#include <string>
#include <string_view>

namespace velmor::data {

/// The quick shape check: every third character (3rd, 6th, ...) before the
/// last two must be a space. Short and empty texts pass.
bool IsValidHexList(std::string_view text);

/// Converts a hex list into its bytes. A token that is not a hexadecimal
/// number of at most FF refuses the whole list: false, Error says which.
bool HexListToText(std::string_view text, std::string& bytes, std::string& error);

}  // namespace velmor::data
