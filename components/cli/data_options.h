// Command line of velmor-data: parsing, usage text, and how the options are
// handed to the engine. Kept in a header so tests can check the parsing
// without starting the program.
#pragma once

#include <charconv>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "copybook/recordformat.h"
#include "data/converter.h"
#include "data/datareader.h"
#include "data/detection.h"
#include "data/file.h"
#include "data/sidefiles.h"
#include "util/utilities.h"

namespace velmor::cli {

struct DataOptions {
    bool help = false;
    std::string command;
    std::string file;    ///< the data file (the source for convert)
    std::string target;  ///< convert only
    std::string field;   ///< find only
    std::string phrase;  ///< find only
    bool fixed = false;
    bool delimited = false;
    bool ebcdic = false;
    bool header = false;
    bool keepDeleted = false;
    bool noProfiles = false;              ///< detection alone decides
    std::optional<std::string> profiles;  ///< a profile file other than the program's
    std::optional<copybook::RecordFormat> recordFormat;  ///< --rdw, --rdw-le, --bdw
    std::optional<std::int64_t> recordLength;
    std::optional<std::int64_t> byteOffset;
    std::optional<std::string> recordDelimiter;
    std::optional<std::string> fieldDelimiter;
    std::optional<std::string> qualifier;
    std::int64_t from = 1;
    std::optional<std::int64_t> count;
    std::optional<std::string> connectionFolder;
};

inline const char* DataUsage() {
    return "Usage:\n"
           "  velmor-data count FILE [options]\n"
           "  velmor-data records FILE [--from N] [--count N] [--keep-deleted] [options]\n"
           "  velmor-data fields FILE [options]\n"
           "  velmor-data find FILE FIELD PHRASE [options]\n"
           "  velmor-data convert SOURCE TARGET [--keep-deleted] [converter options]\n"
           "                      [--script]\n"
           "  velmor-data layout FILE [--standard | --format | --type]\n"
           "                     [--casing upper|lower|proper|none] [options]\n"
           "  velmor-data codes FILE FIELD [options]\n"
           "  velmor-data connection FILE [options] [--field NAME:START:LENGTH]...\n"
           "  velmor-data bytes find FILE PATTERN [--hex] [--from N] [--all]\n"
           "  velmor-data bytes replace FILE FIND REPLACEMENT [--hex]\n"
           "\n"
           "count    prints the number of data records (a record of field names is not one)\n"
           "records  prints each record as one JSON array of its field values per line;\n"
           "         --from and --count choose record numbers\n"
           "fields   prints the layout: name, starting position, length (tab-separated)\n"
           "find     prints the numbers of the records whose FIELD contains PHRASE\n"
           "         (case and surrounding blanks ignored)\n"
           "convert  writes TARGET from SOURCE read through its own connection; with\n"
           "         --script (TARGET named SOURCE's name + \"Cf.\" + extension) also\n"
           "         writes SOURCE's conversion script and adds it to the folder script\n"
           "         (the script carries the layout SOURCE was read with, so a re-run\n"
           "         reads it the same way wherever the folder has moved)\n"
           "layout   prints the field layout as the layout converter shows it\n"
           "codes    prints each distinct value of FIELD with its number of records;\n"
           "         FIELD as \"fields\" prints it, or #N for the Nth field\n"
           "connection saves FILE's connection (the division options, --header, and\n"
           "         each --field) where the program keeps it, and prints it; without\n"
           "         them prints the connection in force and where it came from\n"
           "bytes    find prints the 1-based position of the first occurrence of PATTERN\n"
           "         at or after byte N (every one with --all), exit status 1 when none;\n"
           "         replace replaces every occurrence and prints how many; --hex reads\n"
           "         the patterns as hex lists such as \"0D 0A\"\n"
           "\n"
           "Options (the record division; without them the file's connection file,\n"
           "format file, file type or detection decides):\n"
           "  --fixed --record-length N [--byte-offset N] [--ebcdic]\n"
           "  --rdw | --rdw-le | --bdw [--byte-offset N] [--ebcdic]\n"
           "              variable records after a record descriptor word (big- or\n"
           "              little-endian length), or in blocks after a block descriptor word\n"
           "  --delimited [--record-delimiter REP] [--field-delimiter REP]\n"
           "              [--qualifier REP] [--header]\n"
           "REP is a representation text such as \"CHR$(13) & CHR$(10)\".\n"
           "With --delimited, a delimiter not given stays as the file's connection or\n"
           "detection has it; a field delimiter nobody found is the most frequent of\n"
           "comma, tab, semicolon and bar.\n"
           "\n"
           "  --connection-folder DIR  keeps connection and indexing files in DIR\n"
           "                         (default: a connection file beside the data file,\n"
           "                         else $XDG_DATA_HOME/Velmor/Connections; indexing\n"
           "                         files in $XDG_CACHE_HOME/Velmor)\n"
           "\n"
           "  --profiles FILE        file types from FILE instead of the program's\n"
           "                         UserConnections.txt (the built-ins when it is absent)\n"
           "  --no-profiles          no file types: detection alone\n"
           "\n"
           "Converter options (the output):\n"
           "  --fixed [--header]     fields padded to their widths, records ended by CR LF\n"
           "  --delimited [--record-delimiter REP] [--field-delimiter REP]\n"
           "              [--qualifier REP] [--header]\n"
           "                         (the default: CR LF, comma, double quote)\n"
           "  A TARGET ending in .dbf is written as a dBase III table.\n"
           "\n"
           "Records a dBase table marks deleted are left out of records and of a\n"
           "converted file that is not dBase, unless --keep-deleted is given; a dBase\n"
           "TARGET keeps them, still marked deleted.\n"
           "\n"
           "Output is UTF-8; bytes that are not UTF-8 are read as Windows-1252\n"
           "(Latin-1 for EBCDIC files). Errors go to stderr with exit status 1\n"
           "(2 for a wrong command line).\n";
}

namespace detail {

inline bool ReadCount(const std::string& option, const std::string& text, std::int64_t minimum,
                      std::optional<std::int64_t>& value, std::string& error) {
    std::int64_t n = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || n < minimum) {
        error = option + " needs a whole number of at least " + std::to_string(minimum) +
                ", not \"" + text + "\".";
        return false;
    }
    value = n;
    return true;
}

inline bool ReadOption(const std::vector<std::string>& args, std::size_t& i, DataOptions& o,
                       std::string& error) {
    const std::string& a = args[i];
    if (a == "--fixed") return o.fixed = true;
    if (a == "--delimited") return o.delimited = true;
    if (a == "--ebcdic") return o.ebcdic = true;
    copybook::RecordFormat format;
    if (a.size() > 2 && a != "--fixed" && copybook::RecordFormatFromName(a.substr(2), format)) {
        o.recordFormat = format;
        return true;
    }
    if (a == "--header") return o.header = true;
    if (a == "--keep-deleted") return o.keepDeleted = true;
    if (a == "--no-profiles") return o.noProfiles = true;
    if (a == "--help" || a == "-h") return o.help = true;
    if (i + 1 >= args.size()) {
        error = a.rfind("--", 0) == 0 ? a + " needs a value." : "Unexpected \"" + a + "\".";
        return false;
    }
    const std::string& v = args[++i];
    if (a == "--record-length") return ReadCount(a, v, 1, o.recordLength, error);
    if (a == "--byte-offset") return ReadCount(a, v, 0, o.byteOffset, error);
    if (a == "--count") return ReadCount(a, v, 0, o.count, error);
    if (a == "--profiles") {
        o.profiles = v;
        return true;
    }
    if (a == "--connection-folder") {
        o.connectionFolder = v;
        return true;
    }
    if (a == "--from") {
        std::optional<std::int64_t> from;
        if (!ReadCount(a, v, 1, from, error)) return false;
        o.from = *from;
        return true;
    }
    std::optional<std::string>* text = a == "--record-delimiter"  ? &o.recordDelimiter
                                       : a == "--field-delimiter" ? &o.fieldDelimiter
                                       : a == "--qualifier"       ? &o.qualifier
                                                                  : nullptr;
    if (text == nullptr) {
        error = "Unknown option \"" + a + "\".";
        return false;
    }
    util::RepresentationResult r = util::RepresentationToCharacters(v);
    if (!r.ok()) {
        error = a + ": \"" + v + "\" is not a representation text (" + r.error + ").";
        return false;
    }
    *text = v;
    return true;
}

inline bool CheckCombination(DataOptions& o, std::string& error) {
    const bool convert = o.command == "convert";
    if (o.fixed && o.delimited) error = "Choose either --fixed or --delimited.";
    if (o.fixed && !convert && !o.recordLength) error = "--fixed needs --record-length N.";
    if (convert && (o.recordLength || o.byteOffset || o.ebcdic)) {
        error =
            "convert reads the source through its own connection; --record-length, "
            "--byte-offset and --ebcdic do not apply.";
    }
    if (!o.fixed && !o.recordFormat && (o.recordLength || o.byteOffset || o.ebcdic)) {
        error = "--record-length, --byte-offset and --ebcdic go with --fixed.";
    }
    if (o.recordFormat && (o.fixed || o.delimited || o.recordLength || convert))
        error = "--rdw, --rdw-le and --bdw take no --fixed, --delimited or --record-length, "
                "and convert reads the source through its own connection.";
    bool delimiterGiven = o.recordDelimiter || o.fieldDelimiter || o.qualifier;
    if (o.fixed && delimiterGiven) error = "Delimiters go with --delimited, not --fixed.";
    if (!convert && !o.delimited && (delimiterGiven || o.header)) {
        error = "Delimiters and --header go with --delimited.";
    }
    if (o.noProfiles && o.profiles) error = "Choose either --profiles or --no-profiles.";
    if (o.command != "records" && (o.count || o.from != 1)) {
        error = "--from and --count go with the records command.";
    }
    if (o.count && *o.count > INT64_MAX - o.from + 1) {
        error = "--from " + std::to_string(o.from) + " --count " + std::to_string(*o.count) +
                " goes past the last possible record number.";
    }
    if (o.keepDeleted && o.command != "records" && !convert) {
        error = "--keep-deleted goes with the records and convert commands.";
    }
    return error.empty();
}

}  // namespace detail

/// False with Error (for the user) when the command line is wrong.
inline bool ParseDataOptions(const std::vector<std::string>& args, DataOptions& o,
                             std::string& error) {
    std::vector<std::string> positional;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (!optionsEnded && args[i] == "--") {
            optionsEnded = true;  // so a phrase or file may begin with "-"
        } else if (!optionsEnded && args[i].size() > 1 && args[i][0] == '-') {
            if (!detail::ReadOption(args, i, o, error)) return false;
        } else {
            positional.push_back(args[i]);
        }
    }
    if (o.help) return true;
    if (positional.empty()) {
        error = "No command given.";
        return false;
    }
    o.command = positional[0];
    std::size_t wanted = o.command == "find" ? 4 : o.command == "convert" ? 3 : 2;
    if (o.command != "count" && o.command != "records" && o.command != "fields" &&
        o.command != "find" && o.command != "convert") {
        error = "Unknown command \"" + o.command + "\".";
        return false;
    }
    if (positional.size() != wanted) {
        error = o.command + " needs " + std::to_string(wanted - 1) + " argument" +
                (wanted > 2 ? "s" : "") + ", not " + std::to_string(positional.size() - 1) + ".";
        return false;
    }
    o.file = positional[1];
    if (o.command == "convert") o.target = positional[2];
    if (o.command == "find") {
        o.field = positional[2];
        o.phrase = positional[3];
    }
    return detail::CheckCombination(o, error);
}

/// Side files go where the program's first-start settings put them (the
/// user's data and cache folders), or into --connection-folder; never beside
/// the data unless a connection file is already there.
inline bool ApplySideFileOptions(const DataOptions& o, std::string& error) {
    data::EngineDefaults defaults = data::GetEngineDefaults();
    defaults.sideFiles = {false, {}};
    std::error_code ec;
    if (o.connectionFolder) {
        if (!std::filesystem::is_directory(*o.connectionFolder, ec)) {
            error = "--connection-folder: \"" + *o.connectionFolder + "\" is not a folder.";
            return false;
        }
        defaults.sideFiles.secondaryPath = std::filesystem::absolute(*o.connectionFolder, ec);
    }
    data::SetEngineDefaults(std::move(defaults));
    return true;
}

/// The output settings of convert.
inline void ApplyConverterSettings(data::Converter& c, const DataOptions& o) {
    c.SetIsFixed(o.fixed);
    c.SetIsDelimited(!o.fixed);
    c.SetFirstRecordContainsFieldNames(o.header);
    c.SetKeepDeletedRecords(o.keepDeleted);
    c.SetRecordDelimiterRepresentation(o.recordDelimiter.value_or("CHR$(13) & CHR$(10)"));
    c.SetFieldDelimiterRepresentation(o.fieldDelimiter.value_or("CHR$(44)"));
    c.SetTextQualifierRepresentation(o.qualifier.value_or("CHR$(34)"));
}

/// True when the open file's fields come from its own connection file or a
/// format file beside it, which the options leave alone.
inline bool HasOwnLayout(const data::File& file) {
    return util::FileExists(file.ConnectionPathAndName()) ||
           util::FileExists(file.FilePath() + file.FileTitle() + ".fmt");
}

/// Lets the options set the record division of an open file.
inline void ApplyDivision(data::File& file, const DataOptions& o) {
    if (!o.fixed && !o.delimited && !o.recordFormat) return;
    const bool ownLayout = HasOwnLayout(file);
    data::Connection& c = file.GetConnection();
    if (o.recordFormat) {
        file.SetDatabaseType(o.ebcdic ? "Flat EBCDIC" : "Flat ASCII");
        c.SetIsDelimited(false);
        c.SetIsFixed(true);
        c.SetByteOffset(o.byteOffset.value_or(0));
        c.SetRecordFormat(*o.recordFormat);
        if (!ownLayout) file.GetFields().Clear();
    } else if (o.fixed) {
        file.SetDatabaseType(o.ebcdic ? "Flat EBCDIC" : "Flat ASCII");
        c.SetIsDelimited(false);
        c.SetIsFixed(true);
        c.SetByteOffset(o.byteOffset.value_or(0));
        c.SetRecordFormat(copybook::RecordFormat::Fixed);
        c.SetRecordLength(*o.recordLength);
        // Without a layout of its own each record is one value.
        if (!ownLayout) file.GetFields().Clear();
    } else {
        const bool wasDelimited = c.IsDelimited();
        // Without delimiters of its own the file's head tells what is likely.
        std::string head, error;
        data::DataReader reader;
        if (reader.Open(file.PathAndName(), error))
            head = reader.ReadString(0, data::kDetectionSample);
        auto Own = [&](const std::string& current, const std::string& likely) {
            return wasDelimited && !current.empty() ? current
                                                    : util::CharactersToRepresentation(likely);
        };
        std::string lineEnd = data::DetectLineEnd(head);
        file.SetDatabaseType("Flat ASCII");
        c.SetIsFixed(false);
        c.SetIsDelimited(true);
        c.SetRecordDelimiterRepresentation(o.recordDelimiter.value_or(
            Own(c.RecordDelimiterRepresentation(), lineEnd.empty() ? "\r\n" : lineEnd)));
        c.SetFieldDelimiterRepresentation(o.fieldDelimiter.value_or(
            Own(c.FieldDelimiterRepresentation(), data::LikeliestFieldDelimiter(head))));
        c.SetTextQualifierRepresentation(
            o.qualifier.value_or(wasDelimited ? c.TextQualifierRepresentation() : "CHR$(34)"));
        c.SetFirstRecordContainsFieldNames(o.header);
        if (!ownLayout) {
            file.GetFields().Clear();
            file.Refresh();
        }
    }
}

}  // namespace velmor::cli
