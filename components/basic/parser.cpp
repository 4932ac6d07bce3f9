#include "basic/parser.h"

#include <algorithm>
#include <array>

#include "util/utilities.h"

namespace velmor::basic {
namespace {

using util::EqualsNoCase;

bool IsReserved(std::string_view name) {
    return util::IsReservedWord(name);
}

struct ParseFailure {
    std::string message;
};

class Parser {
public:
    explicit Parser(std::vector<Token> tokens) : tokens_(std::move(tokens)) {}

    Statement ParseLine() {
        if (tokens_.empty() || IsWord("rem")) return {};
        if (IsWord("dim")) return ParseDim();
        if (IsWord("set")) return ParseAssignment(StatementKind::SetObject, 1);
        if (IsWord("let")) return ParseAssignment(StatementKind::Assign, 1);
        if (IsWord("call")) return ParseCall();
        if (IsWord("exit") || IsWord("end")) return ParseEnd();
        if (IsWord("sub") || IsWord("public") || IsWord("private") || IsWord("function")) {
            Statement s;
            s.kind = StatementKind::Procedure;
            return s;
        }
        return ParseAssignmentOrCall();
    }

    ProcedureHeading ParseHeading() {
        if (IsWord("public") || IsWord("private")) ++pos_;
        if (!IsWord("sub")) Fail("A procedure must begin with \"Sub\".");
        ++pos_;
        ProcedureHeading heading;
        heading.name = ExpectName("a procedure name");
        if (Accept("(") && !Accept(")")) {
            do {
                if (IsWord("byval") || IsWord("byref")) ++pos_;
                heading.parameters.push_back(ExpectName("a parameter name"));
                SkipAsType();
            } while (Accept(","));
            Expect(")");
        }
        ExpectEnd();
        return heading;
    }

private:
    Statement ParseDim() {
        Statement s;
        s.kind = StatementKind::Dim;
        ++pos_;
        do {
            s.names.push_back(ExpectName("a variable name"));
            SkipAsType();
        } while (Accept(","));
        ExpectEnd();
        return s;
    }

    Statement ParseAssignment(StatementKind kind, std::size_t skip) {
        pos_ += skip;
        Statement s;
        s.kind = kind;
        s.target = ParsePostfix();
        CheckTarget(*s.target);
        Expect("=");
        s.value = ParseExpression();
        ExpectEnd();
        return s;
    }

    Statement ParseCall() {
        ++pos_;
        Statement s;
        s.kind = StatementKind::Call;
        s.value = ParsePostfix();
        if (s.value->kind != ExprKind::Call && s.value->kind != ExprKind::Member &&
            s.value->kind != ExprKind::Name) {
            Fail("\"Call\" must be followed by a procedure or a method.");
        }
        ExpectEnd();
        return s;
    }

    Statement ParseEnd() {
        ++pos_;
        if (!IsWord("sub")) Fail("Only \"Exit Sub\" and \"End Sub\" are known here.");
        ++pos_;
        ExpectEnd();
        Statement s;
        s.kind = StatementKind::ExitSub;
        return s;
    }

    Statement ParseAssignmentOrCall() {
        if (tokens_[0].kind != TokenKind::Name) Fail("Unknown statement.");
        Statement s;
        ExprPtr first = ParsePostfix();
        if (Accept("=")) {
            CheckTarget(*first);
            s.kind = StatementKind::Assign;
            s.target = std::move(first);
            s.value = ParseExpression();
            ExpectEnd();
            return s;
        }
        if (first->kind == ExprKind::Name && !AtEnd()) Fail("Unknown statement.");
        if (first->kind != ExprKind::Member && first->kind != ExprKind::Call &&
            first->kind != ExprKind::Name) {
            Fail("Unknown statement.");
        }
        if (!AtEnd() && !first->parenthesised) {
            // BASIC also allows "object.Method arg, arg" without parentheses.
            first->args = ParseArguments();
            first->parenthesised = true;
        }
        ExpectEnd();
        s.kind = StatementKind::Call;
        s.value = std::move(first);
        return s;
    }

    void CheckTarget(const Expr& target) const {
        bool plainMember = target.kind == ExprKind::Member && !target.parenthesised;
        if (target.kind != ExprKind::Name && !plainMember) {
            Fail("Only a variable or a property can be assigned.");
        }
    }

    ExprPtr ParseExpression() {
        if (++nesting_ > kMaxNesting) Fail("The expression is nested too deeply.");
        ExprPtr left = ParseAdditive();
        while (Accept("&")) left = Binary(ExprKind::Join, std::move(left), ParseAdditive());
        --nesting_;
        return left;
    }

    ExprPtr ParseAdditive() {
        ExprPtr left = ParseUnary();
        for (;;) {
            if (Accept("+")) {
                left = Binary(ExprKind::Add, std::move(left), ParseUnary());
            } else if (Accept("-")) {
                left = Binary(ExprKind::Subtract, std::move(left), ParseUnary());
            } else {
                return left;
            }
        }
    }

    ExprPtr ParseUnary() {
        if (Accept("-") || Accept("+")) {
            bool negate = tokens_[pos_ - 1].text == "-";
            if (++nesting_ > kMaxNesting) Fail("The expression is nested too deeply.");
            ExprPtr operand = ParseUnary();
            --nesting_;
            if (!negate) return operand;
            auto node = std::make_unique<Expr>();
            node->kind = ExprKind::Negate;
            Adopt(*node, std::move(operand));
            return node;
        }
        return ParsePostfix();
    }

    ExprPtr ParsePostfix() {
        ExprPtr node = ParsePrimary();
        while (Accept(".")) {
            auto member = std::make_unique<Expr>();
            member->kind = ExprKind::Member;
            member->name = ExpectName("a member name", false);
            Grow(*member, *node);
            member->object = std::move(node);
            if (Accept("(")) {
                member->parenthesised = true;
                AdoptArguments(*member);
            }
            node = std::move(member);
        }
        return node;
    }

    ExprPtr ParsePrimary() {
        if (AtEnd()) Fail("A value is missing at the end of the line.");
        const Token& token = tokens_[pos_++];
        auto node = std::make_unique<Expr>();
        switch (token.kind) {
            case TokenKind::Text:
                node->literal = Value(token.text);
                return node;
            case TokenKind::Whole:
                node->literal = Value(token.whole);
                return node;
            case TokenKind::Number:
                node->literal = Value(token.number);
                return node;
            case TokenKind::Name:
                return ParseNamed(token, std::move(node));
            case TokenKind::Symbol:
                break;
        }
        if (token.text != "(") Fail("Unexpected \"" + token.text + "\".");
        ExprPtr inner = ParseExpression();
        Expect(")");
        return inner;
    }

    ExprPtr ParseNamed(const Token& token, ExprPtr node) {
        if (EqualsNoCase(token.text, "true") || EqualsNoCase(token.text, "false")) {
            node->literal = Value(EqualsNoCase(token.text, "true"));
            return node;
        }
        if (EqualsNoCase(token.text, "nothing")) return node;
        if (IsReserved(token.text)) Fail("\"" + token.text + "\" cannot be used here.");
        node->name = token.text;
        node->kind = ExprKind::Name;
        if (Accept("(")) {
            node->kind = ExprKind::Call;
            node->parenthesised = true;
            AdoptArguments(*node);
        }
        return node;
    }

    void AdoptArguments(Expr& node) {
        if (Accept(")")) return;
        if (++nesting_ > kMaxNesting) Fail("The expression is nested too deeply.");
        for (ExprPtr& arg : ParseArguments()) Adopt(node, std::move(arg));
        --nesting_;
        Expect(")");
    }

    std::vector<ExprPtr> ParseArguments() {
        std::vector<ExprPtr> args;
        do {
            args.push_back(ParseExpression());
        } while (Accept(","));
        return args;
    }

    ExprPtr Binary(ExprKind kind, ExprPtr left, ExprPtr right) {
        auto node = std::make_unique<Expr>();
        node->kind = kind;
        Adopt(*node, std::move(left));
        Adopt(*node, std::move(right));
        return node;
    }

    void Adopt(Expr& parent, ExprPtr child) {
        Grow(parent, *child);
        parent.args.push_back(std::move(child));
    }

    void Grow(Expr& parent, const Expr& child) {
        parent.height = std::max(parent.height, child.height + 1);
        if (parent.height > kMaxExpressionHeight) Fail("The expression is too long.");
    }

    void SkipAsType() {
        if (!IsWord("as")) return;
        ++pos_;
        do {
            ExpectName("a type name", false);
        } while (Accept("."));
    }

    std::string ExpectName(const char* what, bool refuseReserved = true) {
        if (AtEnd() || tokens_[pos_].kind != TokenKind::Name) {
            Fail(std::string("Expected ") + what + ".");
        }
        const std::string& name = tokens_[pos_++].text;
        if (refuseReserved && IsReserved(name)) {
            Fail("\"" + name + "\" cannot be used as " + what + ".");
        }
        return name;
    }

    bool IsWord(std::string_view word) const { return Word(pos_, word); }
    bool Word(std::size_t at, std::string_view word) const {
        return at < tokens_.size() && tokens_[at].kind == TokenKind::Name &&
               EqualsNoCase(tokens_[at].text, word);
    }
    bool AtEnd() const { return pos_ >= tokens_.size(); }
    bool Accept(std::string_view symbol) {
        if (AtEnd() || tokens_[pos_].kind != TokenKind::Symbol || tokens_[pos_].text != symbol) {
            return false;
        }
        ++pos_;
        return true;
    }
    void Expect(std::string_view symbol) {
        if (!Accept(symbol)) Fail("Expected \"" + std::string(symbol) + "\"" + Where() + ".");
    }
    void ExpectEnd() const {
        if (!AtEnd()) Fail("Unexpected \"" + tokens_[pos_].text + "\" after the statement.");
    }
    std::string Where() const {
        return AtEnd() ? " at the end of the line" : " before \"" + tokens_[pos_].text + "\"";
    }
    [[noreturn]] static void Fail(std::string message) { throw ParseFailure{std::move(message)}; }

    std::vector<Token> tokens_;
    std::size_t pos_ = 0;
    int nesting_ = 0;
};

}  // namespace

ParseResult ParseStatement(std::string_view line) {
    return ParseLexed(Tokenize(line));
}

ParseResult ParseLexed(LexResult lexed) {
    if (!lexed.error.empty()) return {{}, std::move(lexed.error)};
    try {
        return {Parser(std::move(lexed.tokens)).ParseLine(), {}};
    } catch (const ParseFailure& failure) {
        return {{}, failure.message};
    }
}

bool ParseProcedureHeading(std::string_view line, ProcedureHeading& heading, std::string& error) {
    LexResult lexed = Tokenize(line);
    if (!lexed.error.empty()) {
        error = lexed.error;
        return false;
    }
    try {
        heading = Parser(std::move(lexed.tokens)).ParseHeading();
        return true;
    } catch (const ParseFailure& failure) {
        error = failure.message;
        return false;
    }
}

bool IsEndSub(std::string_view line) {
    return IsEndSub(Tokenize(line));
}

bool IsEndSub(const LexResult& lexed) {
    const std::vector<Token>& t = lexed.tokens;
    return lexed.error.empty() && t.size() == 2 && t[0].kind == TokenKind::Name &&
           t[1].kind == TokenKind::Name && EqualsNoCase(t[0].text, "end") &&
           EqualsNoCase(t[1].text, "sub");
}

}  // namespace velmor::basic
