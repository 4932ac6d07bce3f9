#include "basic/lexer.h"

#include <charconv>
#include <cstdio>

namespace velmor::basic {
namespace {

bool IsLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string Describe(char c) {
    auto code = static_cast<unsigned char>(c);
    if (code >= 0x21 && code < 0x7f) return std::string("'") + c + "'";
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "with code %u", code);
    return buffer;
}

class Lexer {
public:
    explicit Lexer(std::string_view line) : line_(line) {}

    LexResult Run() {
        LexResult result;
        result.tokens.reserve(16);
        while (pos_ < line_.size() && result.error.empty()) {
            char c = line_[pos_];
            if (c == ' ' || c == '\t' || c == '\r') {
                ++pos_;
            } else if (c == '\'') {
                break;
            } else if (c == '"') {
                ReadText(result);
            } else if (IsLetter(c)) {
                ReadName(result);
            } else if (IsDigit(c)) {
                ReadNumber(result);
            } else if (std::string_view("(),.=&+-").find(c) != std::string_view::npos) {
                result.tokens.push_back({TokenKind::Symbol, std::string(1, c)});
                ++pos_;
            } else {
                result.error = "Unexpected character " + Describe(c) + " at column " +
                               std::to_string(pos_ + 1) + ".";
            }
        }
        return result;
    }

private:
    void ReadText(LexResult& result) {
        std::string text;
        ++pos_;
        while (pos_ < line_.size()) {
            char c = line_[pos_++];
            if (c != '"') {
                text += c;
            } else if (pos_ < line_.size() && line_[pos_] == '"') {
                text += '"';
                ++pos_;
            } else {
                result.tokens.push_back({TokenKind::Text, std::move(text)});
                return;
            }
        }
        result.error = "A quoted text is not closed.";
    }

    void ReadName(LexResult& result) {
        std::size_t start = pos_;
        while (pos_ < line_.size() && (IsLetter(line_[pos_]) || IsDigit(line_[pos_]))) ++pos_;
        if (pos_ < line_.size() && line_[pos_] == '$') ++pos_;
        result.tokens.push_back({TokenKind::Name, std::string(line_.substr(start, pos_ - start))});
    }

    void ReadNumber(LexResult& result) {
        std::size_t start = pos_;
        while (pos_ < line_.size() && IsDigit(line_[pos_])) ++pos_;
        bool fraction = pos_ + 1 < line_.size() && line_[pos_] == '.' && IsDigit(line_[pos_ + 1]);
        if (fraction) {
            ++pos_;
            while (pos_ < line_.size() && IsDigit(line_[pos_])) ++pos_;
        }
        std::string_view digits = line_.substr(start, pos_ - start);
        Token token{fraction ? TokenKind::Number : TokenKind::Whole, std::string(digits)};
        const char* first = digits.data();
        const char* last = first + digits.size();
        std::from_chars_result read = fraction ? std::from_chars(first, last, token.number)
                                               : std::from_chars(first, last, token.whole);
        if (read.ec != std::errc() || read.ptr != last) {
            result.error = "The number " + std::string(digits) + " is too large.";
            return;
        }
        result.tokens.push_back(std::move(token));
    }

    std::string_view line_;
    std::size_t pos_ = 0;
};

}  // namespace

LexResult Tokenize(std::string_view line) {
    if (line.size() > kMaxLineLength) {
        return {{}, "The line is longer than " + std::to_string(kMaxLineLength) + " characters."};
    }
    return Lexer(line).Run();
}

}  // namespace velmor::basic
