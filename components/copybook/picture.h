// PICTURE strings: what kind of item they describe, their digits, scale and
// size in bytes.
#pragma once

#include <string>
#include <string_view>

namespace velmor::copybook {

struct Picture {
    enum class Kind { Alphanumeric, Numeric, Edited };
    Kind kind = Kind::Alphanumeric;
    bool isSigned = false;  ///< an S
    int digits = 0;         ///< 9 positions (numeric) or digit positions (edited)
    int scale = 0;          ///< value = stored integer * 10^-scale
    int length = 0;         ///< bytes of a display item (without a separate sign)
    std::string symbols;    ///< one character a byte for edited items (V removed)
};

/// The most digits a number may have.
constexpr int kMaxDigits = 38;

/// True when symbol I of an edited picture's Symbols holds a digit: 9, Z,
/// *, and every + - $ of a floating string but its first.
bool EditedDigitPosition(std::string_view symbols, size_t i);

/// Parses Text (repeat counts expanded, case ignored). On failure returns
/// false with Error saying what was expected and ErrorAt the 0-based offset
/// in Text.
bool ParsePicture(std::string_view text, Picture& picture, std::string& error, int& errorAt);

}  // namespace velmor::copybook
