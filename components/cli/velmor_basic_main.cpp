// velmor-basic SCRIPT [PROCEDURE]: runs a ".VelmorBasic" script from a shell
// or a scheduler, e.g. the folder script that repeats every conversion of a
// folder. Errors go to stderr as "FILE:LINE: description"; the exit code is 0
// when the script ran without error, 1 when it failed, 2 on wrong usage.
#include <cstdio>
#include <cstring>
#include <string>

#include "basic/interpreter.h"

namespace {

void PrintUsage(std::FILE* to) {
    std::fputs(
        "usage: velmor-basic SCRIPT [PROCEDURE]\n"
        "Runs the procedure (default: Main) of a .VelmorBasic script.\n",
        to);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        PrintUsage(stdout);
        return 0;
    }
    if (argc < 2 || argc > 3) {
        PrintUsage(stderr);
        return 2;
    }
    velmor::basic::Interpreter interpreter;
    interpreter.Error = [&interpreter](const std::string& description, int& line, bool& cancel) {
        std::fprintf(stderr, "%s:%d: %s\n", interpreter.ErrorScriptPath().c_str(), line,
                     description.c_str());
        cancel = true;
    };
    if (!interpreter.LoadFile(argv[1])) return 1;
    return interpreter.Run(argc == 3 ? argv[2] : "Main") ? 0 : 1;
}
