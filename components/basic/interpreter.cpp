#include "basic/interpreter.h"

#include <new>
#include <stdexcept>

#include "basic/bindings.h"
#include "basic/conversions.h"
#include "basic/parser.h"
#include "basic/script.h"
#include "data/converter.h"
#include "data/file.h"
#include "util/utilities.h"

namespace velmor::basic {

struct Frame {
    std::shared_ptr<Script> script;
    Variables variables;
};

namespace {

bool IsBlank(std::string_view line) {
    return line.find_first_not_of(" \t") == std::string_view::npos;
}

std::string WithoutLeadingBlanks(const std::string& line) {
    std::size_t first = line.find_first_not_of(" \t");
    return first == std::string::npos ? std::string() : line.substr(first);
}

std::string Describe(const Expr& expr) {
    if (expr.kind == ExprKind::Name) return expr.name;
    if (expr.kind == ExprKind::Member && expr.object)
        return Describe(*expr.object) + "." + expr.name;
    if (expr.kind == ExprKind::Call) return expr.name + "(...)";
    return "the value";
}

// Restores a value when the scope ends, also when a ScriptError passes.
template <class T>
class Restore {
public:
    explicit Restore(T& target) : target_(target), saved_(target) {}
    ~Restore() { target_ = std::move(saved_); }
    Restore(const Restore&) = delete;
    Restore& operator=(const Restore&) = delete;

private:
    T& target_;
    T saved_;
};

data::ErrorHandler* ErrorSourceOf(const Object& object) {
    if (const auto* converter = std::get_if<std::shared_ptr<data::Converter>>(&object.target)) {
        return *converter ? &(*converter)->OnError : nullptr;
    }
    return object.owner ? &object.owner->OnError : nullptr;
}

std::int64_t CheckedWhole(bool overflow, std::int64_t result) {
    if (overflow) Fail("The result is too large for a whole number.");
    return result;
}

}  // namespace

Interpreter::Interpreter() = default;
Interpreter::~Interpreter() = default;

void Interpreter::Reset() {
    script_.reset();
    loadFailed_ = false;
    failed_ = false;
    cancelled_ = false;
    errorPath_.clear();
}

bool Interpreter::LoadFile(const std::string& path) {
    Reset();
    auto script = std::make_shared<Script>();
    std::string error;
    int line = 0;
    if (!script->LoadFile(path, error, line)) {
        loadFailed_ = true;
        Report(script->Path().empty() ? path : script->Path(), false, error, line);
        return false;
    }
    script_ = std::move(script);
    return true;
}

bool Interpreter::LoadText(const std::string& text, const std::string& pathForAppPath) {
    Reset();
    auto script = std::make_shared<Script>();
    std::string error;
    int line = 0;
    if (!script->Load(text, pathForAppPath, error, line)) {
        loadFailed_ = true;
        Report(pathForAppPath, false, error, line);
        return false;
    }
    script_ = std::move(script);
    return true;
}

bool Interpreter::Run(const std::string& procedure, const std::vector<Value>& args) {
    if (running_) {
        int line = 0;
        bool cancel = false;
        if (Error) Error("A script is already running in this interpreter.", line, cancel);
        return false;
    }
    if (!script_) {
        if (!loadFailed_) Report({}, false, "No script is loaded.", 0);
        return false;
    }
    Restore<bool> running(running_);
    running_ = true;
    failed_ = false;
    cancelled_ = false;
    depth_ = 0;
    linesRun_ = 0;
    std::shared_ptr<Script> script = script_;
    try {
        RunProcedure(script, procedure, args, false);
    } catch (const ScriptError& error) {
        Report(script->Path(), false, error.message, 0);
    }
    return !failed_;
}

void Interpreter::RunProcedure(const std::shared_ptr<Script>& script, const std::string& name,
                               std::vector<Value> args, bool strictArguments) {
    const Procedure* procedure = script->Find(name);
    if (procedure == nullptr) Fail("The script has no procedure \"" + name + "\".");
    if (depth_ >= limits_.callDepth) {
        Fail("Procedures and scripts call each other too deeply (more than " +
             std::to_string(limits_.callDepth) + " levels); \"" + name + "\" was not run.");
    }
    const auto& parameters = procedure->heading.parameters;
    if (strictArguments && args.size() != parameters.size()) {
        Fail("The procedure \"" + procedure->heading.name + "\" expects " +
             std::to_string(parameters.size()) + " arguments, not " + std::to_string(args.size()) +
             ".");
    }
    Frame frame{script, {}};
    for (std::size_t i = 0; i < parameters.size(); ++i) {
        frame.variables.Declare(parameters[i]);
        if (i < args.size()) frame.variables.Find(parameters[i])->SetValue(std::move(args[i]));
    }
    Restore<int> depth(depth_);
    ++depth_;
    bool exitProcedure = false;
    for (int n = procedure->headingLine + 1;
         n < procedure->endLine && !cancelled_ && !exitProcedure; ++n) {
        RunLine(frame, n, exitProcedure);
    }
}

void Interpreter::RunLine(Frame& frame, int number, bool& exitProcedure) {
    std::string text = frame.script->Line(number);
    if (IsBlank(text)) return;
    if (BeforeLineExecutes) BeforeLineExecutes(text);
    std::string statementText = WithoutLeadingBlanks(text);
    if (statementText.empty() || statementText[0] == '\'') return;
    if (++linesRun_ > limits_.lines) {
        Report(frame.script->Path(), frame.script != script_,
               "The run was stopped after " + std::to_string(limits_.lines) + " lines.", number);
        cancelled_ = true;
        return;
    }

    Restore<const Script*> script(currentScript_);
    Restore<int> line(currentLine_);
    Restore<bool> engineError(engineErrorReported_);
    currentScript_ = frame.script.get();
    currentLine_ = number;
    engineErrorReported_ = false;
    std::string failure;
    bool ran = false;
    try {
        const ParseResult* parsed = nullptr;
        ParseResult changed;
        if (text == frame.script->Line(number)) parsed = frame.script->Parsed(number);
        if (parsed == nullptr) {
            changed = ParseStatement(statementText);
            parsed = &changed;
        }
        if (!parsed->error.empty()) Fail(parsed->error);
        Execute(frame, parsed->statement, exitProcedure);
        ran = parsed->statement.kind != StatementKind::Nothing;
    } catch (const ScriptError& error) {
        failure = error.message;
    } catch (const std::bad_alloc&) {
        failure = "Not enough memory to run this line.";
    } catch (const std::exception& error) {
        failure = error.what();
    }
    if (!failure.empty() && !engineErrorReported_) {
        Report(frame.script->Path(), frame.script != script_, failure, number);
    }
    if (failure.empty() && !engineErrorReported_ && ran && AfterLineExecutes) {
        AfterLineExecutes(statementText, frame.variables);
    }
}

void Interpreter::Execute(Frame& frame, const Statement& statement, bool& exitProcedure) {
    switch (statement.kind) {
        case StatementKind::Nothing:
            return;
        case StatementKind::Dim:
            for (const std::string& name : statement.names) {
                if (!frame.variables.Declare(name))
                    Fail("The variable \"" + name + "\" is declared twice.");
            }
            return;
        case StatementKind::Assign:
        case StatementKind::SetObject:
            Assign(frame, *statement.target, Evaluate(frame, *statement.value),
                   statement.kind == StatementKind::SetObject);
            return;
        case StatementKind::Call:
            if (statement.value->kind == ExprKind::Member) {
                EvaluateMember(frame, *statement.value);
            } else {
                EvaluateCall(frame, *statement.value);
            }
            return;
        case StatementKind::ExitSub:
            exitProcedure = true;
            return;
        case StatementKind::Procedure:
            Fail("A procedure cannot begin inside another procedure.");
    }
}

void Interpreter::Assign(Frame& frame, const Expr& target, Value value, bool setObject) {
    if (setObject && !value.IsObject() && !value.IsEmpty()) {
        Fail("\"Set\" assigns objects only; this value is a " + value.TypeName() + ".");
    }
    if (!setObject && value.IsObject()) {
        Fail("An object is assigned with \"Set " + Describe(target) + " = ...\".");
    }
    if (target.kind == ExprKind::Name) {
        Variable* variable = frame.variables.Find(target.name);
        if (variable == nullptr) {
            Fail("The variable \"" + target.name + "\" is not declared (declare it with \"Dim\").");
        }
        variable->SetValue(std::move(value));
        return;
    }
    Value owner = EvaluateObject(frame, *target.object);
    const Object* object = owner.AsObject();
    CallEngine(*object, [&] {
        AssignMember(*object, target.name, value);
        return Value();
    });
}

Value Interpreter::Evaluate(Frame& frame, const Expr& expr) {
    switch (expr.kind) {
        case ExprKind::Literal:
            return expr.literal;
        case ExprKind::Name:
            return EvaluateName(frame, expr);
        case ExprKind::Call:
            return EvaluateCall(frame, expr);
        case ExprKind::Member:
            return EvaluateMember(frame, expr);
        case ExprKind::Join:
        case ExprKind::Add:
        case ExprKind::Subtract:
        case ExprKind::Negate:
            return EvaluateBinary(frame, expr);
    }
    Fail("Unknown expression.");
}

Value Interpreter::EvaluateName(Frame& frame, const Expr& expr) {
    if (const Variable* variable = frame.variables.Find(expr.name)) {
        if (variable->Value().IsEmpty()) {
            Fail("The variable \"" + variable->Name() + "\" has not been given a value.");
        }
        return variable->Value();
    }
    if (util::EqualsNoCase(expr.name, "App")) {
        return Value(Object{std::make_shared<AppInfo>(AppInfo{frame.script->Folder()}), nullptr});
    }
    if (frame.script->Find(expr.name) != nullptr) {
        Fail("The procedure \"" + expr.name + "\" gives no value; run it with \"Call\".");
    }
    Fail("The variable \"" + expr.name + "\" is not declared (declare it with \"Dim\").");
}

Value Interpreter::EvaluateCall(Frame& frame, const Expr& expr) {
    std::vector<Value> args = EvaluateArgs(frame, expr);
    if (util::EqualsNoCase(expr.name, "CreateObject") || util::EqualsNoCase(expr.name, "Execute")) {
        const char* what = util::EqualsNoCase(expr.name, "Execute") ? "Execute" : "CreateObject";
        if (args.size() != 1) Fail(std::string(what) + " expects 1 argument.");
        std::string text = ToText(args[0], what);
        if (what[0] == 'E') {
            ExecuteScript(frame, text);
            return Value();
        }
        if (util::EqualsNoCase(text, "Velmor_Data.File")) return Value(NewFileObject());
        if (util::EqualsNoCase(text, "Velmor_Data.Converter")) return Value(NewConverterObject());
        Fail("CreateObject cannot create \"" + text +
             "\"; the known objects are \"Velmor_Data.File\" and \"Velmor_Data.Converter\".");
    }
    if (frame.script->Find(expr.name) == nullptr) {
        Fail("There is no procedure or function \"" + expr.name + "\".");
    }
    RunProcedure(frame.script, expr.name, std::move(args), true);
    return Value();
}

Value Interpreter::EvaluateObject(Frame& frame, const Expr& expr) {
    if (expr.kind == ExprKind::Name) {
        const Variable* variable = frame.variables.Find(expr.name);
        if (variable != nullptr && variable->Value().IsEmpty()) {
            Fail("The object variable \"" + variable->Name() + "\" is not set (use \"Set " +
                 variable->Name() + " = ...\").");
        }
    }
    Value base = Evaluate(frame, expr);
    if (!base.IsObject()) {
        Fail("\"" + Describe(expr) + "\" is not an object but a " + base.TypeName() + ".");
    }
    return base;
}

Value Interpreter::EvaluateMember(Frame& frame, const Expr& expr) {
    Value base = EvaluateObject(frame, *expr.object);
    const Object* object = base.AsObject();
    std::vector<Value> args = EvaluateArgs(frame, expr);
    Value result = CallEngine(*object, [&] {
        return InvokeMember(*object, expr.name, MemberUse{args, fileAccess_});
    });
    WriteBack(frame, expr, args);
    return result;
}

Value Interpreter::EvaluateBinary(Frame& frame, const Expr& expr) {
    Value left = Evaluate(frame, *expr.args[0]);
    if (expr.kind == ExprKind::Join) {
        std::string text = ToText(left, "\"&\"");
        std::string right = ToText(Evaluate(frame, *expr.args[1]), "\"&\"");
        if (text.size() + right.size() > limits_.textLength) {
            Fail("The joined text would be longer than " + std::to_string(limits_.textLength) +
                 " characters.");
        }
        return Value(text + right);
    }
    const char* what = expr.kind == ExprKind::Add ? "\"+\"" : "\"-\"";
    if (expr.kind == ExprKind::Negate) {
        if (std::holds_alternative<double>(left.Get())) return Value(-std::get<double>(left.Get()));
        std::int64_t result = 0;
        bool overflow = __builtin_sub_overflow(std::int64_t{0}, ToWhole(left, "\"-\""), &result);
        return Value(CheckedWhole(overflow, result));
    }
    Value right = Evaluate(frame, *expr.args[1]);
    bool real =
        std::holds_alternative<double>(left.Get()) || std::holds_alternative<double>(right.Get());
    if (real) {
        auto number = [&](const Value& v) {
            if (const auto* d = std::get_if<double>(&v.Get())) return *d;
            return static_cast<double>(ToWhole(v, what));
        };
        double a = number(left);
        double b = number(right);
        return Value(expr.kind == ExprKind::Add ? a + b : a - b);
    }
    std::int64_t a = ToWhole(left, what);
    std::int64_t b = ToWhole(right, what);
    std::int64_t result = 0;
    bool overflow = expr.kind == ExprKind::Add ? __builtin_add_overflow(a, b, &result)
                                               : __builtin_sub_overflow(a, b, &result);
    return Value(CheckedWhole(overflow, result));
}

std::vector<Value> Interpreter::EvaluateArgs(Frame& frame, const Expr& expr) {
    std::vector<Value> args;
    args.reserve(expr.args.size());
    for (const ExprPtr& arg : expr.args) args.push_back(Evaluate(frame, *arg));
    return args;
}

// Arguments written as plain variables are passed by reference, as BASIC
// does: what the method left in them goes back into the variables.
void Interpreter::WriteBack(Frame& frame, const Expr& expr, std::vector<Value>& args) {
    for (std::size_t i = 0; i < args.size() && i < expr.args.size(); ++i) {
        if (expr.args[i]->kind != ExprKind::Name) continue;
        if (Variable* variable = frame.variables.Find(expr.args[i]->name)) {
            variable->SetValue(std::move(args[i]));
        }
    }
}

// While an engine object works for the script, its Error event speaks to
// the script's Error event, for the line that runs.
Value Interpreter::CallEngine(const Object& object, const std::function<Value()>& call) {
    data::ErrorHandler* source = ErrorSourceOf(object);
    if (source == nullptr) return call();
    Restore<data::ErrorHandler> previous(*source);
    const Script* script = currentScript_;
    int line = currentLine_;
    *source = [this, script, line](const std::string& description, bool& cancel) {
        engineErrorReported_ = true;
        Report(script->Path(), script != script_.get(), description, line);
        cancel = true;
    };
    return call();
}

void Interpreter::ExecuteScript(Frame& frame, const std::string& path) {
    if (!fileAccess_) Fail("Execute is not allowed: this script runs without file access.");
    std::string resolved = path;
    if (!path.empty() && path[0] != '/') resolved = frame.script->Folder() + path;
    if (depth_ >= limits_.callDepth) {
        Fail("Scripts call each other too deeply (more than " + std::to_string(limits_.callDepth) +
             " levels); \"" + resolved + "\" was not run.");
    }
    auto nested = std::make_shared<Script>();
    std::string error;
    int line = 0;
    if (!nested->LoadFile(resolved, error, line)) {
        if (line == 0) Fail(error);
        Report(nested->Path(), true, error, line);
        return;
    }
    if (nested->Find("Main") == nullptr) {
        Fail("The script \"" + nested->Path() + "\" has no procedure \"Main\".");
    }
    RunProcedure(nested, "Main", {}, false);
}

void Interpreter::Report(const std::string& path, bool nested, const std::string& description,
                         int line) {
    failed_ = true;
    errorPath_ = path;
    std::string text = description;
    if (nested) text += " (in the script \"" + path + "\")";
    int number = line;
    bool cancel = false;
    if (Error) {
        Error(text, number, cancel);
    } else {
        cancel = true;
    }
    if (cancel) cancelled_ = true;
}

}  // namespace velmor::basic
