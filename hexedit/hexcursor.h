// The hex view's arithmetic, free of widgets: which byte is where, how the
// cursor and the first byte shown move for each navigation key, where a
// click lands, and how the scroll bar maps onto a file of any length.
#pragma once

#include <cstdint>

namespace velmor::hexedit {

/// Key codes as the view's handlers receive them.
namespace keys {
constexpr int Backspace = 8;
constexpr int PageUp = 33;
constexpr int PageDown = 34;
constexpr int End = 35;
constexpr int Home = 36;
constexpr int Left = 37;
constexpr int Up = 38;
constexpr int Right = 39;
constexpr int Down = 40;
}  // namespace keys

constexpr int kGridSize = 16;    ///< rows and columns read and drawn
constexpr int kCursorRows = 13;  ///< rows the keyboard cursor reaches
constexpr int kPageBytes = kCursorRows * kGridSize;

struct CursorMove {
    bool navigation = false;  ///< false: not a cursor key, nothing moved
    bool refresh = false;     ///< the bytes shown changed: read them again
};

class HexCursor {
public:
    std::int64_t startingByte = 1;  ///< file position of cell (1, 1)
    int row = 1;
    int column = 1;

    /// 1-based file position of a cell.
    std::int64_t Position(int r, int c) const {
        return startingByte + static_cast<std::int64_t>(r - 1) * kGridSize + c - 1;
    }
    std::int64_t Position() const { return Position(row, column); }

    /// Moves for one key; FileLength decides whether there is room below.
    CursorMove Move(int key, std::int64_t fileLength);

    /// After a byte typed in the hex pane: the next cell, never below row
    /// 13's last cell and never scrolling.
    void AdvanceAfterHexWrite();
    /// After a character typed in the character pane: the next byte, which
    /// scrolls into row 13 when it would leave the cursor rows; true then.
    bool AdvanceAfterCharacterWrite();
};

/// The cell under a point given in inches from a pane's top left.
struct Cell {
    int row;
    int column;
};
Cell CellAt(double x, double y, double cellWidth, double cellHeight);

/// The scroll bar over a file: at most 5000 steps, each worth a fraction
/// of a byte or many bytes.
struct ScrollScale {
    int maximum = 0;
    int smallStep = 1;
    int largeStep = 1;
    double bytesPerStep = 1.0;  ///< 0 for an empty file

    static ScrollScale For(std::int64_t fileLength);
    int ValueFor(std::int64_t startingByte) const;
    std::int64_t StartingByteFor(int value) const;
};

}  // namespace velmor::hexedit
