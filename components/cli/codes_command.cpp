// velmor-data codes FILE FIELD: the field code counter's text.
#include <unistd.h>

#include <chrono>
#include <cstdio>

#include "cli/data_options.h"
#include "cli/tools_command.h"
#include "data/convert_text.h"
#include "data/file.h"
#include "data/typedvalues.h"
#include "datatools/codecounter.h"
#include "util/utilities.h"

namespace velmor::cli {

namespace {

// A percentage on a terminal, at most ten times a second.
class TerminalProgress {
public:
    TerminalProgress() : shown_(::isatty(STDERR_FILENO) == 1) {}
    ~TerminalProgress() {
        if (shown_ && printed_) std::fputs("\r              \r", stderr);
    }
    bool operator()(std::int64_t done, std::int64_t total) {
        if (!shown_ || total <= 0) return true;
        const auto now = std::chrono::steady_clock::now();
        if (printed_ && now - last_ < std::chrono::milliseconds(100)) return true;
        last_ = now;
        printed_ = true;
        std::fprintf(stderr, "\rCounting... %3d%%", static_cast<int>(done * 100 / total));
        std::fflush(stderr);
        return true;
    }

private:
    bool shown_;
    bool printed_ = false;
    std::chrono::steady_clock::time_point last_{};
};

}  // namespace

int CodesCommand(const std::vector<std::string>& args) {
    std::vector<std::string> positional;
    std::vector<std::string> rest;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--") {
            positional.insert(positional.end(), args.begin() + static_cast<long>(i) + 1, args.end());
            break;
        }
        if (a.size() > 1 && a[0] == '-') {
            rest.push_back(a);
            if (tool::TakesValue(a) && i + 1 < args.size()) rest.push_back(args[++i]);
        } else {
            positional.push_back(a);
        }
    }
    if (positional.size() != 2) {
        return tool::UsageError("codes needs 2 arguments, not " +
                                std::to_string(positional.size()) + ".");
    }
    DataOptions options;
    if (!tool::ParseDivision(positional[0], rest, options)) return tool::kUsage;
    data::File file;
    bool failed = false;
    if (!tool::OpenData(file, options, failed)) return tool::kFailed;
    const std::string& name = positional[1];
    // As "fields" and "find" have it, a file without a layout is one field.
    if (file.GetFields().Count() == 0 && (name == "#1" || util::EqualsNoCase(name, "Field1")))
        file.GetFields().Add("Field1", data::FilePos{1} << 40, {}, 1);
    int index = datatools::FieldToCount(file.GetFields(), name, datatools::DisplayPage(file));
    if (index == 0) {
        // A field met only past the detection's sample.
        file.CompleteLayout();
        index = datatools::FieldToCount(file.GetFields(), name, datatools::DisplayPage(file));
    }
    if (index == 0) {
        tool::PrintError("\"" + options.file + "\" has no field named \"" + name + "\".");
        return tool::kFailed;
    }
    TerminalProgress progress;
    datatools::CodeCounter::Result result = datatools::CodeCounter::Count(
        file, index, [&progress](std::int64_t done, std::int64_t total) {
            return progress(done, total);
        });
    if (result.outcome != datatools::CodeCounter::Outcome::Counted) {
        tool::PrintError(result.error.empty() ? "The count was cancelled." : result.error);
        return tool::kFailed;
    }
    const std::string text =
        datatools::CodeCounter::Report(result.codes, data::ValueWidth(*file.GetFields().Item(index)));
    std::string out;
    data::AppendDisplayText(text, out, datatools::DisplayPage(file));
    tool::Print(out);
    if (!result.CountsMatch()) {
        tool::PrintError(datatools::kCountMismatchMessage);
        return tool::kFailed;
    }
    return 0;
}

}  // namespace velmor::cli
