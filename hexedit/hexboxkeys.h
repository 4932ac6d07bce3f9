// The two-digit hex edit box: it always has one digit selected, so typing
// overwrites a digit. A byte is written only when the second digit is typed
// after the first was typed (or stepped over with Right inside the box);
// whatever else happens to the box (a new cell, the mouse, the focus coming
// back) starts it again on its first digit with nothing typed.
#pragma once

#include <string>

namespace velmor::hexedit {

class HexBoxKeys {
public:
    enum class Action {
        None,        ///< nothing changes (not a hex digit, Backspace, End...)
        InBox,       ///< the box's text or selected digit changed
        MoveCursor,  ///< a navigation key for the cursor table
        Write,       ///< both digits typed: write Value
    };
    struct Result {
        Action action = Action::None;
        int value = 0;
    };

    /// The box shows the byte Value, first digit selected, nothing typed.
    void Show(int value);
    /// The mouse pressed, released, moved or double-clicked over the box.
    void Mouse() { Show(shown_); }

    /// One key. Key is a navigation code from keys:: (Backspace included)
    /// or 0; Character is the typed character, 0 when the key types none.
    /// The two are kept apart because '%' .. '(' share the cursor keys' codes.
    Result Key(int key, char32_t character);

    const std::string& Text() const { return text_; }
    int Caret() const { return caret_; }  ///< the selected digit, 0 or 1

private:
    std::string text_ = "00";
    int shown_ = 0;
    int caret_ = 0;
};

}  // namespace velmor::hexedit
