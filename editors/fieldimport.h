// Importing a field layout by script: the script's "SetConnectionProperties"
// procedure creates a data-engine File and defines its fields; those fields
// become the layout of the open file. Free of widgets: the window asks for
// the script and shows the errors.
#pragma once

#include <functional>
#include <string>

namespace velmor::data {
class Fields;
}

namespace velmor::editors {

class FieldImport {
public:
    enum class Outcome {
        Taken,   ///< the script's fields became the layout
        Failed,  ///< the script reported an error; the layout is unchanged
        NoFile,  ///< the script ran but created no File; nothing to take
    };

    /// Description and 1-based line number of a script error.
    using ErrorReporter = std::function<void(const std::string& description, int lineNumber)>;

    /// Runs ScriptPath's "SetConnectionProperties" and copies the fields of
    /// the File it creates into Target, only when the whole run succeeded.
    static Outcome Run(const std::string& scriptPath, data::Fields& target,
                       const ErrorReporter& reportError);

    /// The variable a line such as "Set f = CreateObject(\"Velmor_Data.File\")"
    /// assigns the new File to; "" when the line creates no File.
    static std::string CreatedFileVariable(const std::string& line);
};

}  // namespace velmor::editors
