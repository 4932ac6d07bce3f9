#include "data/hexlist.h"

namespace velmor::data {

bool IsValidHexList(std::string_view text) {
    for (std::size_t i = 3; i + 2 <= text.size(); i += 3)
        if (text[i - 1] != ' ') return false;
    return true;
}

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool TokenValue(std::string_view token, int& value) {
    value = 0;
    if (token.empty()) return false;
    for (char c : token) {
        const int digit = HexDigit(c);
        if (digit < 0) return false;
        value = value * 16 + digit;
        if (value > 255) return false;
    }
    return true;
}

}  // namespace

bool HexListToText(std::string_view text, std::string& bytes, std::string& error) {
    bytes.clear();
    std::size_t start = 0;
    while (start <= text.size() && !text.empty()) {
        std::size_t space = text.find(' ', start);
        if (space == std::string_view::npos) space = text.size();
        const std::string_view token = text.substr(start, space - start);
        int value = 0;
        if (!TokenValue(token, value)) {
            error =
                "\"" + std::string(token) + "\" in the hex list is not a byte value (00 to FF).";
            bytes.clear();
            return false;
        }
        bytes.push_back(static_cast<char>(value));
        start = space + 1;
    }
    return true;
}

}  // namespace velmor::data
