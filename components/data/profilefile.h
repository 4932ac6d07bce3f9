// The connection-profile file "UserConnections.txt" as plain text: its
// reading and writing, the built-in profiles, and handing profiles to the
// engine's file types. The program's profile store and velmor-data both use
// it, so the two read a data file the same way.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "data/filetypes.h"

namespace velmor::data {

/// One file type with its record settings; texts are UTF-8.
struct ProfileEntry {
    std::string Name;
    std::string Extensions;
    bool IsFixed = false;
    bool IsDelimited = false;
    std::int32_t RecordLength = 0;
    std::int32_t ByteOffset = 0;
    bool FirstRecordContainsFieldNames = false;
    std::string RecordDelimiterRepresentation;
    std::string FieldDelimiterRepresentation;
    std::string TextQualifierRepresentation;
};
using ProfileEntries = std::vector<ProfileEntry>;

/// The profiles of a file's bytes. A UTF-16 file with a byte-order mark is
/// read; otherwise each line is UTF-8 when valid, else Windows-1252. Key
/// lines before any "Begin" line have no effect.
ProfileEntries ParseProfileText(std::string_view bytes);
/// The file's text, lines ending in CR LF.
std::string FormatProfileText(const ProfileEntries& profiles);
/// The five profiles used when the file does not exist.
ProfileEntries BuiltInProfileEntries();
/// "DBase III" and "All Files", never saved.
ProfileEntries ExtraProfileEntries();
/// Connections followed by the extra types, sorted by name as the program
/// lists them.
ProfileEntries AllFileTypeEntries(const ProfileEntries& connections);
/// Hands every entry to the engine's file types, in order.
void RegisterProfileEntries(const ProfileEntries& all, FileTypes& types);

/// Reads the profile file at Path: its profiles, or the built-ins when it
/// does not exist. False (with the built-ins) when it exists but cannot be read.
bool LoadProfileFile(const std::string& path, ProfileEntries& connections);

}  // namespace velmor::data
