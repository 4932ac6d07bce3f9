// The scripts a conversion leaves behind: the file's own script, which
// repeats the conversion and doubles as the converter's saved settings, and
// the folder script, which calls the scripts of every file converted in that
// folder. Shared by the data converter window and "velmor-data convert
// --script", so both write the same bytes.
#pragma once

#include <string>
#include <string_view>

namespace velmor::datatools {

/// The output settings written into a file's script.
struct ConversionSettings {
    bool isFixed = false;
    bool firstRecordContainsFieldNames = false;
    std::string recordDelimiterRepresentation;
    std::string fieldDelimiterRepresentation;
    std::string textQualifierRepresentation;
    /// The source's layout the conversion read it with (a connection file's
    /// text, data::CarriedConnection); "" leaves the source to its own.
    std::string sourceConnection;
};

/// The names a conversion of Folder + Title + "." + Extension into the
/// target extension uses. Folder ends with the path separator.
struct ConversionNames {
    std::string folder;
    std::string title;
    std::string extension;
    std::string targetExtension;

    /// Splits a data file's path; TargetExtension stays to be set.
    static ConversionNames Of(const std::string& pathAndName);
    /// Folder + Title + "Cf." + TargetExtension ("Cf" alone without one).
    std::string Target() const;
    /// Folder + Title + "C.VelmorBasic".
    std::string Script() const;
    /// Folder + (the folder's own name) + ".VelmorBasic".
    std::string FolderScript() const;
};

/// The file's script, every line ended by CR LF. A source layout is set
/// line by line just before the conversion line.
std::string FileScriptText(const ConversionNames& names, const ConversionSettings& settings);

/// The folder script's line that runs Title's script.
std::string FolderScriptLine(const std::string& title);

/// The folder script after adding Line: "" when the script already holds the
/// line (ignoring case) or has no "End Sub" to put it before (then it stays
/// as it is). Lines end with CR LF.
std::string FolderScriptWithLine(std::string_view current, const std::string& line);

/// Writes Text to a temporary file beside Path and renames it over Path, so
/// Path is never left half written. False with Error on a failure.
bool WriteFileAtomically(const std::string& path, std::string_view text, std::string& error);

/// False with Error when the file's script or the folder script is one the
/// writers refuse (no write bit, not a regular file): checked before
/// converting, so that a refused script leaves no new target behind.
bool CanWriteConversionScripts(const ConversionNames& names, std::string& error);

/// Writes the file's script, then brings the folder script up to date. A
/// folder script that cannot be read is left alone and reported.
bool WriteConversionScripts(const ConversionNames& names, const ConversionSettings& settings,
                            std::string& error);

/// True for the conversion line of a script: its lower-case text holds ".convert(".
bool IsConversionLine(std::string_view line);
/// The target extension a conversion line names: the extension of its last
/// string literal, "" when that has none.
std::string TargetExtensionOf(std::string_view line);
/// The variable a line such as Set v = CreateObject("Velmor_Data.Converter")
/// assigns; "" when the line creates no converter.
std::string CreatedConverterVariable(std::string_view line);

}  // namespace velmor::datatools
