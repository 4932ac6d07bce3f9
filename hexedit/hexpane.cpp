#include "hexedit/hexpane.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMouseEvent>
#include <QPainter>

namespace velmor::hexedit {

QString HexText(int value) {
    return QStringLiteral("%1").arg(value & 0xFF, 2, 16, QLatin1Char('0')).toUpper();
}

HexPane::HexPane(Kind kind, const CellGrid& cells, QWidget* parent)
    : QWidget(parent), kind_(kind), cells_(cells) {
    setAcceptDrops(true);
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::white);
    p.setColor(QPalette::WindowText, Qt::black);
    setPalette(p);
}

void HexPane::SetMetrics(double cellWidth, double cellHeight) {
    cellWidth_ = cellWidth;
    cellHeight_ = cellHeight;
    update();
}

void HexPane::SetShown(int shown) {
    if (shown == shown_) return;
    shown_ = shown;
    update();
}

QRectF HexPane::CellRect(int row, int column) const {
    return {(column - 1) * cellWidth_, (row - 1) * cellHeight_, cellWidth_, cellHeight_};
}

void HexPane::UpdateCell(int row, int column) {
    update(CellRect(row, column).toAlignedRect().adjusted(-1, -1, 1, 1));
}

void HexPane::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.setFont(font());
    painter.setPen(palette().color(QPalette::WindowText));
    for (int row = 1; row <= 16; ++row)
        for (int column = 1; column <= 16; ++column) {
            if ((row - 1) * 16 + column > shown_) return;
            const QRectF cell = CellRect(row, column);
            if (!event->rect().intersects(cell.toAlignedRect())) continue;
            const int value = cells_[static_cast<size_t>(row - 1)][static_cast<size_t>(column - 1)];
            // Control codes would draw as boxes or move the pen: left blank.
            const QString text = kind_ == Kind::Hex ? HexText(value)
                                 : value > 26       ? QString(QChar(value))
                                                    : QString();
            const QRectF at = cell.translated(0, 0.11 * cellHeight_);
            painter.drawText(at, Qt::AlignLeft | Qt::AlignTop, text);
        }
}

void HexPane::mousePressEvent(QMouseEvent* event) {
    if (onPress) onPress(event->position());
}

void HexPane::mouseDoubleClickEvent(QMouseEvent*) {
    if (onDoubleClick) onDoubleClick();
}

void HexPane::dragEnterEvent(QDragEnterEvent* event) {
    event->acceptProposedAction();
}

void HexPane::dropEvent(QDropEvent* event) {
    if (onDrop) onDrop(event->position());
    event->acceptProposedAction();
}

}  // namespace velmor::hexedit
