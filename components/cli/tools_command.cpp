#include "cli/tools_command.h"

#include <algorithm>
#include <cstdio>

#include "cli/data_options.h"
#include "cli/data_profiles.h"
#include "data/convert_text.h"
#include "data/file.h"
#include "util/utilities.h"

namespace velmor::cli {

bool RunToolCommand(const std::vector<std::string>& args, int& status) {
    if (args.empty()) return false;
    const bool help = args.size() > 1 && (args[1] == "--help" || args[1] == "-h");
    if (help) return false;
    if (args[0] == "layout") {
        status = LayoutCommand({args.begin() + 1, args.end()});
    } else if (args[0] == "connection") {
        status = ConnectionCommand({args.begin() + 1, args.end()});
    } else if (args[0] == "codes") {
        status = CodesCommand({args.begin() + 1, args.end()});
    } else if (args[0] == "convert" &&
               std::find(args.begin(), args.end(), "--script") != args.end()) {
        status = ConvertScriptCommand(args);
    } else {
        return false;
    }
    std::fflush(stdout);
    if (std::ferror(stdout)) {
        tool::PrintError("Cannot write the output.");
        status = tool::kFailed;
    }
    return true;
}

namespace tool {

void Print(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
}

void PrintError(const std::string& text) {
    std::string line = "velmor-data: ";
    data::AppendDisplayText(text, line);
    line += "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
}

int UsageError(const std::string& text) {
    PrintError(text);
    std::fputs("Try \"velmor-data --help\".\n", stderr);
    return kUsage;
}

bool TakesValue(const std::string& option) {
    return option == "--record-length" || option == "--byte-offset" ||
           option == "--record-delimiter" || option == "--field-delimiter" ||
           option == "--qualifier" || option == "--from" || option == "--count" ||
           option == "--casing" || option == "--connection-folder" || option == "--profiles";
}

bool ParseDivision(const std::string& file, const std::vector<std::string>& rest,
                   DataOptions& options) {
    std::vector<std::string> args{"fields", "--", file};
    // Options first: after "--" everything is an argument.
    args.insert(args.begin() + 1, rest.begin(), rest.end());
    std::string error;
    if (!ParseDataOptions(args, options, error) || !ApplySideFileOptions(options, error)) {
        UsageError(error);
        return false;
    }
    return ReadProfiles(options);
}

bool ReadProfiles(const DataOptions& options) {
    std::string error;
    if (options.noProfiles ||
        UseProfiles(options.profiles.value_or(DefaultProfileFile()), error)) {
        return true;
    }
    PrintError(error);
    return false;
}

bool OpenData(data::File& file, const DataOptions& options, bool& failed) {
    file.OnError = [&failed](const std::string& description, bool& cancel) {
        PrintError(description);
        failed = true;
        cancel = true;
    };
    if (!util::FileExists(options.file)) {
        PrintError("\"" + options.file + "\" is not a readable file.");
        return false;
    }
    if (!file.Open(options.file) || !file.Connected() || failed) {
        if (!failed) PrintError("Cannot open \"" + options.file + "\".");
        return false;
    }
    ApplyDivision(file, options);
    return !failed;
}

}  // namespace tool
}  // namespace velmor::cli
