// One pane of the hex view: sixteen rows of sixteen cells drawn from the
// window's cell values, as two hex digits or as characters. It reports
// clicks, double clicks and drops with their position in pixels.
#pragma once

#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>

namespace velmor::hexedit {

using CellGrid = std::array<std::array<std::int16_t, 16>, 16>;

class HexPane : public QWidget {
public:
    enum class Kind { Hex, Characters };
    HexPane(Kind kind, const CellGrid& cells, QWidget* parent);

    /// Cell size in pixels; cells from Shown on (0-based, row by row) lie
    /// past the end of the file and stay blank.
    void SetMetrics(double cellWidth, double cellHeight);
    void SetShown(int shown);
    void UpdateCell(int row, int column);

    std::function<void(QPointF)> onPress;
    std::function<void()> onDoubleClick;
    std::function<void(QPointF)> onDrop;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QRectF CellRect(int row, int column) const;

    Kind kind_;
    const CellGrid& cells_;
    double cellWidth_ = 24;
    double cellHeight_ = 24;
    int shown_ = 256;
};

/// Two upper-case hex digits of a byte.
QString HexText(int value);

}  // namespace velmor::hexedit
