#include "hexedit/hexcursor.h"

#include <algorithm>
#include <cmath>

namespace velmor::hexedit {

namespace {

int RoundToEven(double v) {
    return static_cast<int>(std::nearbyint(v));
}

}  // namespace

CursorMove HexCursor::Move(int key, std::int64_t fileLength) {
    const bool roomBelow = startingByte + kPageBytes <= fileLength;
    CursorMove move{true, false};
    auto scrollUp = [this](std::int64_t bytes) {
        startingByte = std::max<std::int64_t>(startingByte - bytes, 1);
    };
    switch (key) {
        case keys::Down:
            if (row < kCursorRows) {
                ++row;
                break;
            }
            if (roomBelow) startingByte += kGridSize;
            move.refresh = true;
            break;
        case keys::PageDown:
            if (roomBelow) startingByte += kPageBytes;
            move.refresh = true;
            break;
        case keys::Up:
            if (row >= 2) {
                --row;
                break;
            }
            scrollUp(kGridSize);
            move.refresh = true;
            break;
        case keys::PageUp:
            scrollUp(kPageBytes);
            move.refresh = true;
            break;
        case keys::Right:
            if (row == kCursorRows && column == kGridSize) {
                if (roomBelow) {
                    column = 1;
                    startingByte += kGridSize;
                }
                move.refresh = true;
            } else if (column < kGridSize) {
                ++column;
            } else {
                ++row;
                column = 1;
            }
            break;
        case keys::Left:
        case keys::Backspace:
            if (row == 1 && column == 1) {
                column = kGridSize;
                startingByte -= kGridSize;
                if (startingByte < 1) {
                    startingByte = 1;
                    column = 1;
                }
                move.refresh = true;
            } else if (column > 1) {
                --column;
            } else {
                --row;
                column = kGridSize;
            }
            break;
        case keys::Home:
            startingByte = 1;
            move.refresh = true;
            break;
        default:
            move.navigation = false;
    }
    return move;
}

void HexCursor::AdvanceAfterHexWrite() {
    if (column < kGridSize) {
        ++column;
    } else if (row < kCursorRows) {
        ++row;
        column = 1;
    }
}

bool HexCursor::AdvanceAfterCharacterWrite() {
    if (column < kGridSize) {
        ++column;
        return false;
    }
    if (row < kCursorRows) {
        ++row;
        column = 1;
        return false;
    }
    // The next byte goes to row 13 (a click may have put the cursor lower).
    startingByte += static_cast<std::int64_t>(row + 1 - kCursorRows) * kGridSize;
    row = kCursorRows;
    column = 1;
    return true;
}

Cell CellAt(double x, double y, double cellWidth, double cellHeight) {
    auto index = [](double v, double size) {
        const double i = size > 0 ? std::floor(v / size) + 1 : 1;
        return static_cast<int>(std::clamp(i, 1.0, static_cast<double>(kGridSize)));
    };
    return {index(y, cellHeight), index(x, cellWidth)};
}

ScrollScale ScrollScale::For(std::int64_t fileLength) {
    ScrollScale s;
    if (fileLength <= 0) {
        s.bytesPerStep = 0;
        return s;
    }
    s.maximum = static_cast<int>(std::min<std::int64_t>(fileLength, 5000));
    // Very short files would get steps of 0, which moves nothing.
    s.smallStep = std::max(RoundToEven(s.maximum / 50.0), 1);
    s.largeStep = std::max(RoundToEven(s.maximum / 10.0), 1);
    s.bytesPerStep = static_cast<double>(fileLength) / s.maximum;
    return s;
}

int ScrollScale::ValueFor(std::int64_t startingByte) const {
    if (bytesPerStep <= 0) return 0;
    const double v = std::floor(static_cast<double>(startingByte) / bytesPerStep);
    return static_cast<int>(std::clamp(v, 0.0, static_cast<double>(maximum)));
}

std::int64_t ScrollScale::StartingByteFor(int value) const {
    return static_cast<std::int64_t>(std::nearbyint(bytesPerStep * value));
}

}  // namespace velmor::hexedit
