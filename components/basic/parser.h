// Turns the tokens of one line into a statement.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "basic/lexer.h"
#include "basic/value.h"

namespace velmor::basic {

enum class ExprKind {
    Literal,   ///< literal
    Name,      ///< a variable, "App", or a procedure called without parentheses
    Call,      ///< name(args): CreateObject, Execute or a procedure of the script
    Member,    ///< object.name or object.name(args)
    Join,      ///< args[0] & args[1]
    Add,       ///< args[0] + args[1]
    Subtract,  ///< args[0] - args[1]
    Negate     ///< -args[0]
};

struct Expr {
    ExprKind kind = ExprKind::Literal;
    Value literal;
    std::string name;              ///< Name, Call, Member: as written
    std::unique_ptr<Expr> object;  ///< Member: what the member belongs to
    std::vector<std::unique_ptr<Expr>> args;
    bool parenthesised = false;  ///< Call, Member: written with "(...)"
    int height = 1;              ///< levels of the tree below and including this node
};
using ExprPtr = std::unique_ptr<Expr>;

enum class StatementKind {
    Nothing,    ///< blank line or comment
    Dim,        ///< names
    Assign,     ///< target = value
    SetObject,  ///< Set target = value
    Call,       ///< value is the call
    ExitSub,    ///< "Exit Sub", "End Sub"
    Procedure   ///< "Sub ...": only valid as a procedure's first line
};

struct Statement {
    StatementKind kind = StatementKind::Nothing;
    std::vector<std::string> names;
    ExprPtr target;
    ExprPtr value;
};

struct ParseResult {
    Statement statement;
    std::string error;  ///< empty on success
};

/// Deepest nesting of parentheses and signs the parser follows, and the
/// highest expression tree it builds (long chains of "&" or members); both
/// keep evaluation far from the stack's limit.
constexpr int kMaxNesting = 64;
constexpr int kMaxExpressionHeight = 512;

ParseResult ParseStatement(std::string_view line);
/// The same for a line already cut into tokens.
ParseResult ParseLexed(LexResult lexed);

/// A procedure heading "[Public|Private] Sub Name[(params)]": its name and
/// parameter names. False (with Error) when the line is no heading.
struct ProcedureHeading {
    std::string name;
    std::vector<std::string> parameters;
};
bool ParseProcedureHeading(std::string_view line, ProcedureHeading& heading, std::string& error);

/// True for a line that is exactly "End Sub" (any case and blanks, comment allowed).
bool IsEndSub(std::string_view line);
bool IsEndSub(const LexResult& lexed);

}  // namespace velmor::basic
