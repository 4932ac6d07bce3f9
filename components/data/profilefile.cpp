#include "data/profilefile.h"

#include <algorithm>
#include <limits>

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

bool ValidUtf8(std::string_view s) {
    size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        size_t more = 0;
        if (c >= 0xC2 && c < 0xE0) {
            more = 1;
        } else if (c >= 0xE0 && c < 0xF0) {
            more = 2;
        } else if (c >= 0xF0 && c < 0xF5) {
            more = 3;
        } else if (c >= 0x80) {
            return false;
        }
        if (s.size() - i <= more) return false;
        for (size_t k = 1; k <= more; ++k) {
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        }
        i += more + 1;
    }
    return true;
}

std::string Latin1ToUtf8(std::string_view s) {
    std::string out;
    out.reserve(s.size() * 2);
    for (char ch : s) {
        auto c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            out += ch;
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
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
    const std::string text = ValidUtf8(bytes) ? std::string(bytes) : Latin1ToUtf8(bytes);
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
    connections = ParseProfileText(bytes);
    return true;
}

}  // namespace velmor::data
