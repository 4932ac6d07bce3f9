#include "editors/fieldimport.h"

#include <memory>

#include "basic/interpreter.h"
#include "data/fields.h"
#include "data/file.h"
#include "util/utilities.h"

namespace velmor::editors {

std::string FieldImport::CreatedFileVariable(const std::string& line) {
    static const std::string kCreateFile = "CreateObject(\"Velmor_Data.File\")";
    if (line.find(kCreateFile) == std::string::npos) return {};
    // The line is an object assignment after a three-letter keyword ("Set"):
    // the name runs from the fourth character to the first "=".
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos || equals < 3) return {};
    return util::Trim(std::string_view(line).substr(3, equals - 3));
}

FieldImport::Outcome FieldImport::Run(const std::string& scriptPath, data::Fields& target,
                                      const ErrorReporter& reportError) {
    basic::Interpreter mClass;
    bool ScriptFailed = false;
    std::shared_ptr<data::File> ScriptFile;
    mClass.AfterLineExecutes = [&ScriptFile](const std::string& line,
                                             const basic::Variables& variables) {
        const std::string name = CreatedFileVariable(line);
        if (name.empty()) return;
        const int index = variables.IndexOf(name);
        if (index == 0) return;
        ScriptFile = variables.Item(index).Value().AsFile();
    };
    mClass.Error = [&ScriptFailed, &reportError](const std::string& description, int& lineNumber,
                                                 bool& cancel) {
        if (reportError) reportError(description, lineNumber);
        ScriptFailed = true;
        cancel = true;
    };
    const bool loaded = mClass.LoadFile(scriptPath);
    const bool ran = loaded && mClass.Run("SetConnectionProperties", {});
    // A run that failed without saying why is still a failure: half a layout
    // must never replace the user's.
    if (ScriptFailed || !ran) return Outcome::Failed;
    if (!ScriptFile) return Outcome::NoFile;
    target.CopyFrom(ScriptFile->GetFields());
    return Outcome::Taken;
}

}  // namespace velmor::editors
