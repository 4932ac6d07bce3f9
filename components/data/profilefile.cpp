#include "data/profilefile.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "data/convert_text.h"
#include "data/casefold.h"
#include "data/datareader.h"
#include "util/utilities.h"

namespace velmor::data {

namespace {

constexpr size_t kMaxProfileFile = size_t{16} << 20;

ProfileEntry Named(const std::string& name, const std::string& extensions) {
    ProfileEntry p;
    p.Name = name;
    p.Extensions = extensions;
    return p;
}

ProfileEntry Delimited(const std::string& name, const std::string& extensions,
                       const std::string& fieldDelimiter) {
    ProfileEntry p = Named(name, extensions);
    p.IsDelimited = true;
    p.RecordDelimiterRepresentation = "CHR$(13) & CHR$(10)";
    p.FieldDelimiterRepresentation = fieldDelimiter;
    p.TextQualifierRepresentation = "CHR$(34)";
    p.FirstRecordContainsFieldNames = true;
    return p;
}

// Hand-edited files come from any system: a UTF-16 file with its byte-order
// mark is read, and otherwise every line is read on its own, as UTF-8 when it
// is valid and as Windows-1252 when not, so one stray byte does not change
// how the rest of the file reads.
std::string Utf16ToUtf8(std::string_view bytes, bool littleEndian) {
    std::string out;
    auto unit = [&](size_t i) {
        const auto a = static_cast<unsigned char>(bytes[i]);
        const auto b = static_cast<unsigned char>(bytes[i + 1]);
        return static_cast<std::uint32_t>(littleEndian ? (b << 8 | a) : (a << 8 | b));
    };
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        std::uint32_t code = unit(i);
        if (code >= 0xD800 && code < 0xDC00 && i + 3 < bytes.size()) {
            const std::uint32_t low = unit(i + 2);
            if (low >= 0xDC00 && low < 0xE000) {
                code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        if (code >= 0xD800 && code < 0xE000) code = 0xFFFD;  // a lone surrogate
        AppendUtf8(code, out);
    }
    return out;
}

void AppendLine(std::string_view line, std::string& out) {
    if (IsUtf8(line)) {
        out += line;
        return;
    }
    // One byte at a time, so even bytes that would form UTF-8 together are
    // read in Windows-1252 like the rest of their line.
    for (size_t i = 0; i < line.size(); ++i) AppendDisplayText(line.substr(i, 1), out);
}

std::string DecodeProfileBytes(std::string_view bytes) {
    if (bytes.starts_with("\xFF\xFE")) return Utf16ToUtf8(bytes.substr(2), true);
    if (bytes.starts_with("\xFE\xFF")) return Utf16ToUtf8(bytes.substr(2), false);
    if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
    std::string text;
    text.reserve(bytes.size());
    size_t from = 0;
    while (from <= bytes.size()) {
        size_t end = bytes.find_first_of("\r\n", from);
        if (end == std::string_view::npos) end = bytes.size();
        AppendLine(bytes.substr(from, end - from), text);
        if (end < bytes.size()) text += bytes[end];
        from = end + 1;
    }
    return text;
}

std::int32_t ReadLong(const std::string& value) {
    // Not a number reads as 0 instead of ending the load, so that the
    // profiles after it are not lost at the next save.
    const std::int64_t n = util::ReadWholeNumber(util::Unquote(value));
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        n, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

void ApplyKeyLine(ProfileEntry& p, std::string_view line) {
    std::string key = util::RemoveCharacter(util::RemoveCharacter(util::ToUpper(line), '\t'), ' ');
    key = key.substr(0, key.find('='));
    const size_t equals = line.find('=');
    const std::string value =
        equals == std::string_view::npos ? std::string() : util::Trim(line.substr(equals + 1));
    if (key == "BYTEOFFSET") {
        p.ByteOffset = ReadLong(value);
    } else if (key == "EXTENSIONS") {
        p.Extensions = util::Unquote(value);
    } else if (key == "FIELDDELIMITERREPRESENTATION") {
        p.FieldDelimiterRepresentation = value;
    } else if (key == "FIRSTRECORDCONTAINSFIELDNAMES") {
        p.FirstRecordContainsFieldNames = util::ToBoolean(value);
    } else if (key == "ISDELIMITED") {
        p.IsDelimited = util::ToBoolean(value);
    } else if (key == "ISFIXED") {
        p.IsFixed = util::ToBoolean(value);
    } else if (key == "RECORDDELIMITERREPRESENTATION") {
        p.RecordDelimiterRepresentation = value;
    } else if (key == "RECORDLENGTH" || key == "RL") {
        p.RecordLength = ReadLong(value);
    } else if (key == "TEXTQUALIFIERREPRESENTATION") {
        p.TextQualifierRepresentation = value;
    }
}

// A line break inside a value would start a new line of the file.
std::string OneLine(std::string text) {
    std::replace(text.begin(), text.end(), '\r', ' ');
    std::replace(text.begin(), text.end(), '\n', ' ');
    return text;
}

}  // namespace

ProfileEntries ParseProfileText(std::string_view bytes) {
    const std::string text = DecodeProfileBytes(bytes);
    ProfileEntries profiles;
    ProfileEntry beforeFirst;  // key lines before any "Begin" land here
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) end = text.size();
        std::string_view line(text.data() + start, end - start);
        start = end + 1;
        if (end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n') ++start;
        if (util::ToUpper(line.substr(0, 6)) == "BEGIN ") {
            profiles.push_back(Named(std::string(line.substr(6)), {}));
        } else {
            ApplyKeyLine(profiles.empty() ? beforeFirst : profiles.back(), line);
        }
    }
    return profiles;
}

std::string FormatProfileText(const ProfileEntries& profiles) {
    std::string out;
    auto line = [&out](const std::string& text) { out += OneLine(text) + "\r\n"; };
    auto trueFalse = [](bool v) { return std::string(v ? "True" : "False"); };
    for (const ProfileEntry& p : profiles) {
        line("Begin " + p.Name);
        line("  ByteOffset=" + std::to_string(p.ByteOffset));
        line("  Extensions=" + p.Extensions);
        line("  FirstRecordContainsFieldNames=" + trueFalse(p.FirstRecordContainsFieldNames));
        if (p.IsDelimited) {
            line("  IsDelimited=True");
            line("  RecordDelimiterRepresentation=" + p.RecordDelimiterRepresentation);
            line("  FieldDelimiterRepresentation=" + p.FieldDelimiterRepresentation);
            line("  TextQualifierRepresentation=" + p.TextQualifierRepresentation);
        } else {
            line("  IsFixed=" + trueFalse(p.IsFixed));
            line("  RecordLength=" + std::to_string(p.RecordLength));
        }
        line("End");
        line("");
    }
    return out;
}

ProfileEntries BuiltInProfileEntries() {
    ProfileEntry flat = Named("Flat Files", "*.dat");
    flat.IsFixed = true;
    ProfileEntry index = Named("Index Files", "*.*index");
    index.IsDelimited = true;
    ProfileEntry query = Named("Query Files", "*.query");
    query.IsDelimited = true;
    return {flat, Delimited("CSV", "*.csv", "CHR$(44)"),
            Delimited("Tab Delimited", "*.tab", "CHR$(9)"), index, query};
}

ProfileEntries ExtraProfileEntries() {
    return {Named("DBase III", "*.dbf"), Named("All Files", "*.*")};
}

ProfileEntries AllFileTypeEntries(const ProfileEntries& connections) {
    ProfileEntries all = connections;
    ProfileEntries extra = ExtraProfileEntries();
    all.insert(all.end(), extra.begin(), extra.end());
    std::stable_sort(all.begin(), all.end(),
                     [](const ProfileEntry& a, const ProfileEntry& b) { return a.Name < b.Name; });
    return all;
}

void RegisterProfileEntries(const ProfileEntries& all, FileTypes& types) {
    for (const ProfileEntry& p : all) {
        Connection& c = types.Add(p.Name, std::string());
        c.SetExtensions(p.Extensions);
        c.SetIsFixed(p.IsFixed);
        c.SetIsDelimited(p.IsDelimited);
        c.SetRecordLength(p.RecordLength);
        c.SetByteOffset(p.ByteOffset);
        c.SetFirstRecordContainsFieldNames(p.FirstRecordContainsFieldNames);
        c.SetRecordDelimiterRepresentation(p.RecordDelimiterRepresentation);
        c.SetFieldDelimiterRepresentation(p.FieldDelimiterRepresentation);
        c.SetTextQualifierRepresentation(p.TextQualifierRepresentation);
    }
}

bool LoadProfileFile(const std::string& path, ProfileEntries& connections) {
    connections = BuiltInProfileEntries();
    if (!util::FileExists(path)) return true;
    std::string bytes;
    if (!ReadWholeFile(path, bytes, kMaxProfileFile)) return false;
    ProfileEntries read = ParseProfileText(bytes);
    // A file that yields no profile is one we cannot read: the built-ins serve.
    if (read.empty() && !bytes.empty()) return false;
    connections = std::move(read);
    return true;
}

}  // namespace velmor::data
