// velmor-data connection FILE [division options] [--field NAME:START:LENGTH]...
// [--header]: the data-connection wizard and the field editor from the
// command line. With options it saves the file's connection where the
// program saves it, so the viewer, velmor-data and a script's Converter all
// read it; it always prints the connection in force and where it came from.
#include <algorithm>
#include <charconv>

#include "cli/data_options.h"
#include "cli/tools_command.h"
#include "data/connectionfile.h"
#include "data/convert_text.h"
#include "data/file.h"
#include "datatools/codecounter.h"
#include "datatools/wizardrules.h"
#include "util/utilities.h"

namespace velmor::cli {

namespace {

struct FieldOption {
    std::string name;  // UTF-8 as typed
    std::int64_t start = 0;
    std::int64_t length = 0;
};

// NAME:START:LENGTH, the name itself may hold colons.
bool ReadField(const std::string& text, FieldOption& field) {
    const std::size_t second = text.rfind(':');
    const std::size_t first = second == std::string::npos || second == 0
                                  ? std::string::npos
                                  : text.rfind(':', second - 1);
    if (first == std::string::npos || first == 0) return false;
    auto number = [](std::string_view digits, std::int64_t& n) {
        auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
        return !digits.empty() && ec == std::errc() && end == digits.data() + digits.size() && n >= 1;
    };
    field.name = text.substr(0, first);
    const std::string_view rest(text);
    return number(rest.substr(first + 1, second - first - 1), field.start) &&
           number(rest.substr(second + 1), field.length);
}

// Where the connection in force came from, in the order Open looks.
std::string Origin(data::File& file) {
    if (util::FileExists(file.ConnectionPathAndName()))
        return "connection file " + file.ConnectionPathAndName();
    const std::string format = file.FilePath() + file.FileTitle() + ".fmt";
    if (util::FileExists(format)) return "format file " + format;
    if (const data::Connection* type =
            file.GetFileTypes().MatchExtension(file.FileExtension())) {
        return "file type " + type->Name();
    }
    return "detection";
}

}  // namespace

int ConnectionCommand(const std::vector<std::string>& args) {
    std::vector<std::string> positional, rest;
    std::vector<FieldOption> fields;
    bool header = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--field") {
            FieldOption field;
            if (i + 1 >= args.size() || !ReadField(args[++i], field))
                return tool::UsageError("--field needs NAME:START:LENGTH (START and LENGTH 1 or more).");
            fields.push_back(field);
        } else if (a == "--header") {
            header = true;
        } else if (a.size() > 1 && a[0] == '-') {
            rest.push_back(a);
            if (tool::TakesValue(a) && i + 1 < args.size()) rest.push_back(args[++i]);
        } else {
            positional.push_back(a);
        }
    }
    if (positional.size() != 1) {
        return tool::UsageError("connection needs 1 argument, not " +
                                std::to_string(positional.size()) + ".");
    }
    // The wizard's own refusal of a delimiter it cannot read.
    for (std::size_t i = 0; i + 1 < rest.size(); ++i) {
        const int which = rest[i] == "--record-delimiter" ? 0
                          : rest[i] == "--field-delimiter" ? 1
                          : rest[i] == "--qualifier"       ? 2
                                                            : -1;
        if (which < 0) continue;
        const util::RepresentationResult r = util::RepresentationToCharacters(rest[i + 1]);
        if (!r.ok()) {
            tool::PrintError(datatools::UnreadableDelimiterMessage(
                datatools::kDelimiterLabels[which], rest[i + 1], r.error));
            return tool::kFailed;
        }
    }
    const bool delimited = std::find(rest.begin(), rest.end(), "--delimited") != rest.end();
    const bool fixed = std::find(rest.begin(), rest.end(), "--fixed") != rest.end();
    if (header && delimited) rest.push_back("--header");
    if (header && !fixed && !delimited)
        return tool::UsageError("--header goes with --fixed or --delimited.");
    DataOptions options;
    if (!tool::ParseDivision(positional[0], rest, options)) return tool::kUsage;
    data::File file;
    bool failed = false;
    if (!tool::OpenData(file, options, failed)) return tool::kFailed;
    const bool change = fixed || delimited || options.recordFormat || !fields.empty();
    if (fixed && header) {
        // As the wizard does: the names record is skipped by the offset.
        file.GetConnection().SetFirstRecordContainsFieldNames(true);
        if (!options.byteOffset) file.GetConnection().SetByteOffset(*options.recordLength);
    }
    const data::CodePage page = datatools::DisplayPage(file);
    if (!fields.empty()) {
        data::Fields& layout = file.GetFields();
        layout.Clear();
        for (const FieldOption& f : fields) {
            std::string name;
            if (!data::FromUtf8(f.name, page, name)) {
                tool::PrintError("The field name \"" + f.name +
                                 "\" holds a character the file's code page cannot hold.");
                return tool::kFailed;
            }
            if (layout.Exists(name)) {
                tool::PrintError(datatools::FieldExistsMessage(f.name));
                return tool::kFailed;
            }
            layout.Add(name, f.length, {}, f.start);
        }
        file.Refresh();
    }
    if (change && !file.SaveConnection({}, false)) return tool::kFailed;
    std::string text;
    data::AppendDisplayText(
        data::FormatConnectionFile(file.GetConnection(), file.GetFields(), file.ShowFieldNames()),
        text, page);
    // The file's CR LF lines, printed as a terminal's lines.
    std::string out = "Source: " + Origin(file) + "\n";
    for (char c : text) {
        if (c != '\r') out += c;
    }
    tool::Print(out);
    return failed ? tool::kFailed : 0;
}

}  // namespace velmor::cli
