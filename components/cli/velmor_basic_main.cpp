// velmor-basic [OPTIONS] SCRIPT [PROCEDURE]: runs a ".VelmorBasic" script from
// a shell or a scheduler, e.g. the folder script that repeats every
// conversion of a folder. Every File and Converter the script creates starts
// with the settings and file types velmor-data uses, so a re-run reads its
// source exactly as the program did. Errors go to stderr as
// "FILE:LINE: description"; the exit code is 0 when the script ran without
// error, 1 when it failed, 2 on wrong usage.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "basic/interpreter.h"
#include "cli/data_options.h"
#include "cli/data_profiles.h"

namespace {

void PrintUsage(std::FILE* to) {
    std::fputs(
        "usage: velmor-basic [--connection-folder DIR] [--profiles FILE | --no-profiles]\n"
        "                    SCRIPT [PROCEDURE]\n"
        "Runs the procedure (default: Main) of a .VelmorBasic script. Its files are\n"
        "read as velmor-data reads them:\n"
        "  --connection-folder DIR  keeps connection and indexing files in DIR\n"
        "                         (default: a connection file beside the data file,\n"
        "                         else $XDG_DATA_HOME/Velmor/Connections)\n"
        "  --profiles FILE        file types from FILE instead of the program's\n"
        "                         UserConnections.txt (the built-ins when it is absent)\n"
        "  --no-profiles          no file types: detection alone\n",
        to);
}

int UsageError(const std::string& text) {
    std::fprintf(stderr, "velmor-basic: %s\n", text.c_str());
    PrintUsage(stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    velmor::cli::DataOptions options;
    std::vector<std::string> positional;
    std::string error;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            PrintUsage(stdout);
            return 0;
        }
        if (!positional.empty() || a.size() < 2 || a[0] != '-') {
            positional.push_back(a);  // after the script everything is its own
            continue;
        }
        if (a != "--connection-folder" && a != "--profiles" && a != "--no-profiles")
            return UsageError("Unknown option \"" + a + "\".");
        if (!velmor::cli::detail::ReadOption(args, i, options, error)) return UsageError(error);
    }
    if (positional.empty() || positional.size() > 2) return UsageError("Give one script.");
    if (options.noProfiles && options.profiles)
        return UsageError("Choose either --profiles or --no-profiles.");
    if (!velmor::cli::ApplySideFileOptions(options, error)) return UsageError(error);
    if (!options.noProfiles &&
        !velmor::cli::UseProfiles(options.profiles.value_or(velmor::cli::DefaultProfileFile()),
                                  error)) {
        std::fprintf(stderr, "velmor-basic: %s\n", error.c_str());
        return 1;
    }
    velmor::basic::Interpreter interpreter;
    interpreter.Error = [&interpreter](const std::string& description, int& line, bool& cancel) {
        std::fprintf(stderr, "%s:%d: %s\n", interpreter.ErrorScriptPath().c_str(), line,
                     description.c_str());
        cancel = true;
    };
    if (!interpreter.LoadFile(positional[0])) return 1;
    return interpreter.Run(positional.size() == 2 ? positional[1] : "Main") ? 0 : 1;
}
