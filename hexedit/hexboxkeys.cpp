#include "hexedit/hexboxkeys.h"

#include <string>

#include "hexedit/hexcursor.h"

namespace velmor::hexedit {

namespace {

const char kDigits[] = "0123456789ABCDEF";

int DigitValue(char32_t c) {
    if (c >= '0' && c <= '9') return static_cast<int>(c - '0');
    if (c >= 'A' && c <= 'F') return static_cast<int>(c - 'A' + 10);
    if (c >= 'a' && c <= 'f') return static_cast<int>(c - 'a' + 10);
    return -1;
}

}  // namespace

void HexBoxKeys::Show(int value) {
    shown_ = value & 0xFF;
    text_ = {kDigits[shown_ >> 4], kDigits[shown_ & 15]};
    caret_ = 0;
}

HexBoxKeys::Result HexBoxKeys::Key(int key, char32_t character) {
    if (key == keys::Right && caret_ == 0) {
        caret_ = 1;
        return {Action::InBox};
    }
    if (key == keys::Left && caret_ == 1) {
        caret_ = 0;
        return {Action::InBox};
    }
    if (key >= keys::PageUp && key <= keys::Down) return {Action::MoveCursor};
    if (key != 0) return {};
    const int digit = DigitValue(character);
    if (digit < 0) return {};
    text_[static_cast<size_t>(caret_)] = kDigits[digit];
    if (caret_ == 0) {
        caret_ = 1;
        return {Action::InBox};
    }
    return {Action::Write, DigitValue(static_cast<unsigned char>(text_[0])) * 16 + digit};
}

}  // namespace velmor::hexedit
