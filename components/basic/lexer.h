// Cuts one script line into tokens. A "'" outside a quoted text starts a
// comment that runs to the end of the line.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velmor::basic {

enum class TokenKind { Name, Text, Whole, Number, Symbol };

struct Token {
    TokenKind kind = TokenKind::Symbol;
    std::string text;        ///< name as written, text without quotes, or the symbol
    std::int64_t whole = 0;  ///< for Whole
    double number = 0;       ///< for Number
};

struct LexResult {
    std::vector<Token> tokens;
    std::string error;  ///< empty when the line was read completely
};

/// Longest line the interpreter accepts; longer lines are refused, not cut.
constexpr std::size_t kMaxLineLength = 1 << 20;

LexResult Tokenize(std::string_view line);

}  // namespace velmor::basic
