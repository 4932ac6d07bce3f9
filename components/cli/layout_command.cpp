// velmor-data layout FILE [--standard | --format | --type] [--casing C]
#include "cli/data_options.h"
#include "cli/tools_command.h"
#include "data/convert_text.h"
#include "data/file.h"
#include "datatools/layoutreport.h"

namespace velmor::cli {

namespace {

using datatools::Casing;
using datatools::LayoutType;

bool ReadCasing(const std::string& text, Casing& casing) {
    if (text == "upper") casing = Casing::Upper;
    else if (text == "lower") casing = Casing::Lower;
    else if (text == "proper") casing = Casing::Proper;
    else if (text == "none") casing = Casing::None;
    else return false;
    return true;
}

}  // namespace

int LayoutCommand(const std::vector<std::string>& args) {
    LayoutType type = LayoutType::Standard;
    Casing casing = Casing::None;
    int forms = 0;
    std::vector<std::string> positional;
    std::vector<std::string> rest;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--standard" || a == "--format" || a == "--type") {
            type = a == "--standard" ? LayoutType::Standard
                   : a == "--format" ? LayoutType::FormatFile
                                     : LayoutType::TypeStatement;
            ++forms;
        } else if (a == "--casing") {
            if (i + 1 >= args.size() || !ReadCasing(args[i + 1], casing)) {
                return tool::UsageError("--casing needs upper, lower, proper or none.");
            }
            ++i;
        } else if (a == "--") {
            positional.insert(positional.end(), args.begin() + static_cast<long>(i) + 1, args.end());
            break;
        } else if (a.size() > 1 && a[0] == '-') {
            rest.push_back(a);
            if (tool::TakesValue(a) && i + 1 < args.size()) rest.push_back(args[++i]);
        } else {
            positional.push_back(a);
        }
    }
    if (forms > 1) return tool::UsageError("Choose one of --standard, --format and --type.");
    if (positional.size() != 1) {
        return tool::UsageError("layout needs 1 argument, not " +
                                std::to_string(positional.size()) + ".");
    }
    DataOptions options;
    if (!tool::ParseDivision(positional[0], rest, options)) return tool::kUsage;
    data::File file;
    bool failed = false;
    if (!tool::OpenData(file, options, failed)) return tool::kFailed;
    const std::string text =
        datatools::DrawLayout(file.GetFields(), file.FileTitle(), type, casing);
    std::string out;
    data::AppendDisplayText(text, out);
    tool::Print(out);
    return failed ? tool::kFailed : 0;
}

}  // namespace velmor::cli
