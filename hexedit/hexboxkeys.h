// The two-digit hex edit box: it always has one digit selected, so typing
// overwrites a digit; the caret (0, 1 or 2) decides whether a cursor key
// stays inside the box or moves to the next cell, and where the caret goes
// in the cell the cursor lands on.
#pragma once

#include <optional>
#include <string>

namespace velmor::hexedit {

class HexBoxKeys {
public:
    enum class Down { StayInBox, MoveCursor, Discard, Type };

    /// A key went down with the caret at Caret (remembered for KeyUp).
    Down KeyDown(int key, int caret);

    /// The box's text after typing Character with the caret at Caret.
    static std::string Typed(const std::string& text, int caret, char character);

    struct Up {
        int caret = 0;             ///< where to select one character
        bool commit = false;       ///< both digits typed: write Value
        std::optional<int> value;  ///< the byte when commit and the text is one
    };
    /// A key came up; Caret is where the caret now stands, Text the box's text.
    Up KeyUp(int key, int caret, const std::string& text) const;

private:
    int savedCaret_ = 0;
};

}  // namespace velmor::hexedit
