#include "hexedit/hexboxkeys.h"

#include <string>

#include "hexedit/hexcursor.h"

namespace velmor::hexedit {

namespace {

bool IsCursorKey(int key) {
    return key >= keys::PageUp && key <= keys::Down;
}

std::optional<int> HexValue(const std::string& text) {
    if (text.empty() || text.size() > 2) return std::nullopt;
    int value = 0;
    for (char c : text) {
        int digit = -1;
        if (c >= '0' && c <= '9') digit = c - '0';
        if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        if (digit < 0) return std::nullopt;
        value = value * 16 + digit;
    }
    return value;
}

}  // namespace

HexBoxKeys::Down HexBoxKeys::KeyDown(int key, int caret) {
    savedCaret_ = caret;
    if ((key == keys::Right && caret == 0) || (key == keys::Left && caret == 1))
        return Down::StayInBox;
    if (IsCursorKey(key)) return Down::MoveCursor;
    if (key == keys::Backspace) return Down::Discard;
    return Down::Type;
}

std::string HexBoxKeys::Typed(const std::string& text, int caret, char character) {
    std::string out = text;
    if (caret < 0) caret = 0;
    if (static_cast<std::size_t>(caret) < out.size())
        out[static_cast<std::size_t>(caret)] = character;
    else if (out.size() < 2)
        out.push_back(character);
    return out;
}

HexBoxKeys::Up HexBoxKeys::KeyUp(int key, int caret, const std::string& text) const {
    Up up;
    switch (key) {
        case keys::Up:
        case keys::Down:
            up.caret = savedCaret_ > 1 ? 1 : savedCaret_;
            return up;
        case keys::Left:
        case keys::Right:
            // Right from the first digit and Left from the second stayed in the
            // box; otherwise the cursor changed cells.
            up.caret = savedCaret_ == 0 ? 1 : 0;
            return up;
        default:
            break;
    }
    if (caret >= 2) {
        up.commit = true;
        up.value = HexValue(text);
        up.caret = 0;
    } else {
        up.caret = caret;
    }
    return up;
}

}  // namespace velmor::hexedit
