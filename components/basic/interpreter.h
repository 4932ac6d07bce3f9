// The line-by-line interpreter of ".VelmorBasic" scripts: procedures ("Sub
// Main()" ... "End Sub"), "Dim", "Set x = CreateObject(...)" for the data
// engine's File and Converter, property assignment (also through members),
// "Call" of methods and procedures, "&" joining, App.Path and
// "Call Execute(path)". Keywords and names ignore case. Never throws: every
// failure comes through the Error event.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "basic/value.h"
#include "basic/variables.h"

namespace velmor::basic {

class Script;
struct Frame;
struct Expr;
struct Statement;

class Interpreter {
public:
    Interpreter();
    ~Interpreter();
    Interpreter(const Interpreter&) = delete;
    Interpreter& operator=(const Interpreter&) = delete;

    // ---- events, raised on the caller's thread during Run ----

    /// Before each non-blank line of a procedure runs. The text as the handler
    /// leaves it is what runs; a line that then begins with "'" does nothing.
    std::function<void(std::string& line)> BeforeLineExecutes;
    /// After each line that ran a statement: its text without leading blanks,
    /// and the variables of the procedure it belongs to.
    std::function<void(const std::string& line, const Variables& variables)> AfterLineExecutes;
    /// A failure: description, 1-based line number in the script that holds
    /// the line (0 when no line is concerned) and the cancel flag. With Cancel
    /// set, or without a handler, the run stops; otherwise the failing line
    /// is skipped. Either way Run answers false.
    std::function<void(const std::string& description, int& lineNumber, bool& cancel)> Error;

    // ---- operations ----

    /// Forgets the loaded script and the last run.
    void Reset();
    /// Loads a script file; false (after Error) when it cannot be read or its
    /// procedures are malformed.
    bool LoadFile(const std::string& path);
    /// Loads a script from text; PathForAppPath names the file it stands for
    /// (App.Path is its folder; relative Execute paths start there).
    bool LoadText(const std::string& text, const std::string& pathForAppPath);
    /// Runs a procedure of the loaded script. Arguments fill its parameters;
    /// a procedure without parameters ignores them. True when the run ended
    /// without any error.
    bool Run(const std::string& procedure, const std::vector<Value>& args = {});

    /// The path of the script that holds the line of the error being reported
    /// (valid inside the Error handler and after a failed run).
    const std::string& ErrorScriptPath() const { return errorPath_; }

    /// What one run may use; beyond each limit the line fails with an error
    /// (the line budget stops the run), so no script can exhaust the stack,
    /// the memory or the time of the program.
    struct Limits {
        int callDepth = 32;                 ///< nested Execute and procedure calls
        std::int64_t lines = 10'000'000;    ///< lines run in one Run
        std::size_t textLength = 1u << 20;  ///< longest text built by "&"
    };
    void SetLimits(const Limits& limits) { limits_ = limits; }
    const Limits& GetLimits() const { return limits_; }

    /// Off: file-touching members (Open, Convert, SaveConnection, ...) and
    /// Execute refuse to run. For untrusted scripts.
    void SetFileAccess(bool allowed) { fileAccess_ = allowed; }

private:
    void RunProcedure(const std::shared_ptr<Script>& script, const std::string& name,
                      std::vector<Value> args, bool strictArguments);
    void RunLine(Frame& frame, int number, bool& exitProcedure);
    void Execute(Frame& frame, const Statement& statement, bool& exitProcedure);
    void Assign(Frame& frame, const Expr& target, Value value, bool setObject);
    Value Evaluate(Frame& frame, const Expr& expr);
    Value EvaluateName(Frame& frame, const Expr& expr);
    Value EvaluateCall(Frame& frame, const Expr& expr);
    Value EvaluateMember(Frame& frame, const Expr& expr);
    Value EvaluateObject(Frame& frame, const Expr& expr);
    Value EvaluateBinary(Frame& frame, const Expr& expr);
    std::vector<Value> EvaluateArgs(Frame& frame, const Expr& expr);
    void WriteBack(Frame& frame, const Expr& expr, std::vector<Value>& args);
    Value CallEngine(const Object& object, const std::function<Value()>& call);
    void ExecuteScript(Frame& frame, const std::string& path);
    void Report(const std::string& path, bool nested, const std::string& description, int line);

    std::shared_ptr<Script> script_;
    std::string loadError_;
    bool loadFailed_ = false;
    bool running_ = false;
    bool failed_ = false;
    bool cancelled_ = false;
    bool fileAccess_ = true;
    Limits limits_;
    std::int64_t linesRun_ = 0;
    bool engineErrorReported_ = false;
    int depth_ = 0;
    std::string errorPath_;
    const Script* currentScript_ = nullptr;
    int currentLine_ = 0;
};

}  // namespace velmor::basic
