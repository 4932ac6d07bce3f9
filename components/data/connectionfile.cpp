#include "data/connectionfile.h"

#include <charconv>

#include "copybook/copybook.h"
#include "copybook/recordformat.h"
#include "util/utilities.h"

namespace velmor::data {

namespace {

constexpr const char* kEnd = "\r\n";

const char* Word(bool v) {
    return v ? "True" : "False";
}

// Names are written on one line: control bytes become spaces.
std::string OneLine(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (static_cast<unsigned char>(c) < 32) c = ' ';
    }
    return out;
}

void Put(std::string& out, std::string_view key, std::string_view value) {
    out.append(key).append("=").append(value).append(kEnd);
}

bool ReadNumber(std::string_view text, FilePos& value) {
    text = std::string_view(text.data(), text.size());
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    return result.ec == std::errc() && result.ptr == text.data() + text.size();
}

std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find_first_of("\r\n", at);
        if (end == std::string_view::npos) end = text.size();
        lines.push_back(text.substr(at, end - at));
        at = end;
        if (at < text.size() && text[at] == '\r') ++at;
        if (at < text.size() && text[at] == '\n') ++at;
    }
    return lines;
}

bool ReadField(std::string_view value, bool positions, FieldLine& field) {
    if (!positions) {
        field.name = std::string(value);
        return true;
    }
    size_t first = value.find(',');
    size_t second = first == std::string_view::npos ? first : value.find(',', first + 1);
    if (second == std::string_view::npos) {
        field.name = std::string(value);
        return true;
    }
    if (!ReadNumber(value.substr(0, first), field.start) ||
        !ReadNumber(value.substr(first + 1, second - first - 1), field.length))
        return false;
    field.name = std::string(value.substr(second + 1));
    return true;
}

bool ApplySetting(std::string_view key, std::string_view value, ConnectionFileContent& c) {
    Connection& k = c.connection;
    std::string v(value);
    FilePos number = 0;
    if (key == "DatabaseType")
        k.SetDatabaseTypeName(v);
    else if (key == "IsFixed")
        k.SetIsFixed(util::ToBoolean(v));
    else if (key == "IsDelimited")
        k.SetIsDelimited(util::ToBoolean(v));
    else if (key == "FirstRecordContainsFieldNames")
        k.SetFirstRecordContainsFieldNames(util::ToBoolean(v));
    else if (key == "RecordDelimiterRepresentation")
        k.SetRecordDelimiterRepresentation(v);
    else if (key == "FieldDelimiterRepresentation")
        k.SetFieldDelimiterRepresentation(v);
    else if (key == "TextQualifierRepresentation")
        k.SetTextQualifierRepresentation(v);
    else if (key == "RecordFormat") {
        copybook::RecordFormat format;
        if (!copybook::RecordFormatFromName(util::Trim(value), format)) return false;
        k.SetRecordFormat(format);
    } else if (key == "ShowFieldNames")
        c.showFieldNames = util::ToBoolean(v);
    else if (key == "RecordLength" || key == "ByteOffset" || key == "FieldCount") {
        if (!ReadNumber(value, number)) return false;
        if (key == "RecordLength") k.SetRecordLength(number);
        if (key == "ByteOffset") k.SetByteOffset(number);
    }
    return true;
}

}  // namespace

std::string FormatConnectionFile(const Connection& connection, const Fields& fields,
                                 bool showFieldNames) {
    std::string out(kConnectionFileHeader);
    out += kEnd;
    const bool delimited = connection.IsDelimited() && !connection.IsFixed();
    Put(out, "DatabaseType", OneLine(connection.DatabaseTypeName()));
    Put(out, "IsFixed", Word(connection.IsFixed()));
    Put(out, "IsDelimited", Word(connection.IsDelimited()));
    Put(out, "FirstRecordContainsFieldNames", Word(connection.FirstRecordContainsFieldNames()));
    Put(out, "RecordLength", std::to_string(delimited ? 0 : connection.RecordLength()));
    Put(out, "ByteOffset", std::to_string(connection.ByteOffset()));
    // Only variable records name their format: fixed-length files are
    // written as they always were.
    if (connection.IsVariable())
        Put(out, "RecordFormat", copybook::RecordFormatName(connection.RecordFormat()));
    Put(out, "RecordDelimiterRepresentation", OneLine(connection.RecordDelimiterRepresentation()));
    Put(out, "FieldDelimiterRepresentation", OneLine(connection.FieldDelimiterRepresentation()));
    Put(out, "TextQualifierRepresentation", OneLine(connection.TextQualifierRepresentation()));
    Put(out, "ShowFieldNames", Word(showFieldNames));
    Put(out, "FieldCount", std::to_string(fields.Count()));
    for (int i = 1; i <= fields.Count(); ++i) {
        const Field& f = *fields.Item(i);
        if (delimited) {
            Put(out, "Field", OneLine(f.Name()));
        } else {
            Put(out, "Field",
                std::to_string(f.StartingPosition()) + "," + std::to_string(f.Length()) + "," +
                    OneLine(f.Name()));
        }
    }
    // Typed fields (from a copybook) after all others, so that a layout of
    // text fields is written exactly as before types existed.
    for (int i = 1; i <= fields.Count() && !delimited; ++i) {
        const std::string clauses = copybook::FormatClauses(fields.Item(i)->Format());
        if (!clauses.empty()) Put(out, "FieldType", std::to_string(i) + "," + clauses);
    }
    return out;
}

bool ParseConnectionFile(std::string_view text, ConnectionFileContent& content,
                         std::string& error) {
    content = ConnectionFileContent{};
    auto lines = SplitLines(text);
    if (lines.empty() || lines[0] != kConnectionFileHeader) {
        error = "it is not a connection file";
        return false;
    }
    std::vector<std::string_view> fieldValues, typeValues;
    for (size_t n = 1; n < lines.size(); ++n) {
        std::string_view line = lines[n];
        if (line.empty()) continue;
        size_t eq = line.find('=');
        if (eq == std::string_view::npos) {
            error = "line " + std::to_string(n + 1) + " is damaged";
            return false;
        }
        std::string_view key = line.substr(0, eq), value = line.substr(eq + 1);
        if (key == "Field") {
            fieldValues.push_back(value);
        } else if (key == "FieldType") {
            typeValues.push_back(value);
        } else if (!ApplySetting(key, value, content)) {
            error = "line " + std::to_string(n + 1) + " is damaged";
            return false;
        }
    }
    const Connection& k = content.connection;
    const bool positions = !(k.IsDelimited() && !k.IsFixed());
    for (auto value : fieldValues) {
        FieldLine field;
        if (!ReadField(value, positions, field)) {
            error = "the field line \"Field=" + std::string(value) + "\" is damaged";
            return false;
        }
        content.fields.push_back(std::move(field));
    }
    for (auto value : typeValues) {
        const size_t comma = value.find(',');
        FilePos index = 0;
        copybook::FieldFormat format;
        std::string why;
        if (comma == std::string_view::npos || !ReadNumber(value.substr(0, comma), index) ||
            index < 1 || index > static_cast<FilePos>(content.fields.size()) ||
            !copybook::FormatFromClauses(value.substr(comma + 1), format, why)) {
            error = "the field type line \"FieldType=" + std::string(value) + "\" is damaged";
            return false;
        }
        content.fields[static_cast<size_t>(index - 1)].type = std::string(value.substr(comma + 1));
    }
    return true;
}

std::string FormatFormatFile(const Fields& fields) {
    std::string out;
    for (int i = 1; i <= fields.Count(); ++i) {
        const Field& f = *fields.Item(i);
        out += OneLine(f.Name()) + ", " + std::to_string(f.Length()) + kEnd;
    }
    return out;
}

std::vector<FieldLine> ParseFormatFile(std::string_view text) {
    std::vector<FieldLine> fields;
    FilePos start = 1;
    for (auto line : SplitLines(text)) {
        if (util::Trim(line).empty()) continue;
        size_t comma = line.rfind(',');
        FieldLine field;
        field.name = util::Trim(comma == std::string_view::npos ? line : line.substr(0, comma));
        field.length =
            comma == std::string_view::npos ? 0 : util::ReadWholeNumber(line.substr(comma + 1));
        if (field.length < 0) field.length = 0;
        field.start = start;
        start += field.length;
        fields.push_back(std::move(field));
    }
    return fields;
}

void AddFieldLines(const std::vector<FieldLine>& lines, Fields& fields) {
    for (const FieldLine& f : lines) {
        Field& field = fields.Add(f.name, f.length, {}, f.start);
        copybook::FieldFormat format;
        std::string ignored;  // checked when the text was read
        if (!f.type.empty() && copybook::FormatFromClauses(f.type, format, ignored))
            field.SetFormat(format);
    }
}

}  // namespace velmor::data
