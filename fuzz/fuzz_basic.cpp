// Feeds arbitrary bytes to the script interpreter as a script and runs its
// Main. File access is off (no Open, Convert, SaveConnection or Execute), and
// the line and text budgets are small, so a fuzzed script touches no file and
// stays quick; every other statement runs for real against engine objects.
#include <cstddef>
#include <cstdint>
#include <string>

#include "basic/interpreter.h"
#include "basic/parser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);

    // The parser alone, line by line, as the interpreter reads each line.
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        velmor::basic::ParseStatement(std::string_view(text).substr(start, end - start));
        start = end + 1;
    }

    velmor::basic::Interpreter interpreter;
    interpreter.SetFileAccess(false);
    velmor::basic::Interpreter::Limits limits;
    limits.lines = 2000;
    limits.textLength = 4096;
    interpreter.SetLimits(limits);
    int errors = 0;
    // Errors do not cancel, so the lines after a failing one are run too.
    interpreter.Error = [&errors](const std::string&, int&, bool& cancel) {
        cancel = ++errors > 50;
    };
    interpreter.BeforeLineExecutes = [](std::string& line) {
        if (line.size() > 2 && line[0] == '#') line.erase(0, 1);
    };
    interpreter.AfterLineExecutes = [](const std::string& line, const velmor::basic::Variables& v) {
        if (!line.empty()) (void)v.Item(v.IndexOf(line.substr(0, 1))).Value().AsFile();
    };
    if (interpreter.LoadText(text, "/nonexistent/fuzz.VelmorBasic")) {
        interpreter.Run("Main", {velmor::basic::Value("argument")});
    }
    return 0;
}
