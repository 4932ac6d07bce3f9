// Code page 037 (EBCDIC, US/Canada) to Latin-1 and back. "Flat EBCDIC" files
// keep their bytes on disk; the engine translates what it hands out.
#pragma once

#include <string>
#include <string_view>

namespace velmor::data::ebcdic {

/// Latin-1 byte for an EBCDIC byte.
unsigned char ToLatin1(unsigned char b);
/// EBCDIC byte for a Latin-1 byte.
unsigned char FromLatin1(unsigned char b);
/// Translates Text in place from EBCDIC to Latin-1.
void ToLatin1(std::string& text);
std::string ToLatin1Copy(std::string_view text);

}  // namespace velmor::data::ebcdic
