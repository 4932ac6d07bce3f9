#include "viewer/viewgeometry.h"

#include <QAbstractSlider>

#include <algorithm>
#include <cmath>

#include "util/utilities.h"

namespace velmor::viewer {

namespace {
constexpr qint64 kScrollSteps = 5000;

QString ScaleText(double scale) {
    return QString::number(scale, 'g', 15);
}

qint64 Clamp(qint64 value, qint64 low, qint64 high) {
    return std::max(low, std::min(value, high));
}

qint64 ChooseFirstRecord(const ViewRecord& cur, qint64 record, bool keepRow, int rows) {
    const qint64 row = cur.CurrentRecord - cur.FirstRecord + 1;
    if (record >= cur.FirstRecord && record <= cur.LastRecord) return cur.FirstRecord;
    if (record > cur.LastRecord) return keepRow ? record - row + 1 : record - rows + 1;
    return keepRow ? record - row + 1 : record;
}
}  // namespace

qint64 RoundEven(double value) {
    if (!std::isfinite(value)) return 0;
    return static_cast<qint64>(std::nearbyint(value));
}

ScreenMetrics ComputeMetrics(int viewportWidthPx, int viewportHeightPx, int charPx, int linePx) {
    ScreenMetrics m;
    m.columns = charPx > 0 ? std::max(0, viewportWidthPx) / charPx : 0;
    m.rows = linePx > 0 ? std::max(0, viewportHeightPx) / linePx : 0;
    // A tile must hold at least one line and the one below it, even when the
    // viewport is smaller than a line.
    m.maxSlideColumns = std::max(2, 2 * m.columns);
    m.maxSlideRows = std::max(2, 2 * m.rows);
    if (m.rows < 1) m.rows = 1;
    return m;
}

ViewPlan PlanView(const ViewRecord& cur, qint64 record, qint64 column, bool keepRow,
                  const ScreenMetrics& screen, FileShape& file) {
    ViewPlan p;
    // No file holds more records or columns than this; the arithmetic below
    // stays clear of overflow for any number typed.
    constexpr qint64 kMost = qint64{1} << 60;
    record = std::clamp<qint64>(record, 1, kMost);
    column = std::clamp<qint64>(column, 1, kMost);
    qint64 first = std::max<qint64>(ChooseFirstRecord(cur, record, keepRow, screen.rows), 1);
    if (file.fixedLayout && first > file.recordCount - screen.rows + 1)
        first = std::max<qint64>(file.recordCount - screen.rows + 1, 1);
    qint64 last = first + screen.rows - 1;
    if (last > file.recordCount && !file.fixedLayout && file.isDelimited && file.countTo) {
        file.recordCount = file.countTo(last + 1);
        // Counting stopped short: the end is known, so a request past it
        // shows the last screen, as for fixed records.
        if (file.recordCount <= last && first > file.recordCount - screen.rows + 1)
            first = std::max<qint64>(file.recordCount - screen.rows + 1, 1);
    }
    last = std::min(last, file.recordCount);
    if (first > last) first = std::max<qint64>(last, 0);

    qint64 firstColumn = column;
    if (firstColumn + screen.columns > file.recordLength)
        firstColumn = std::max<qint64>(file.recordLength - screen.columns + 1, 1);
    const qint64 lastColumn =
        std::max(std::min(firstColumn + screen.columns - 1, file.recordLength), firstColumn - 1);

    p.first = first;
    p.last = std::max(last, first - 1);
    p.firstColumn = firstColumn;
    p.lastColumn = lastColumn;
    p.column = firstColumn;
    p.current = last < 1 ? 0 : Clamp(record, first, last);
    return p;
}

ScrollSetup PlanHScroll(qint64 recordLength, int columns) {
    ScrollSetup s;
    const qint64 range = recordLength - columns + 1;
    if (recordLength <= columns) return s;
    s.visible = true;
    if (range <= kScrollSteps) {
        s.tag = QStringLiteral("1");
        s.maximum = static_cast<int>(range);
        s.largeChange = s.maximum >= 10 ? static_cast<int>(RoundEven(s.maximum / 10.0)) : 1;
    } else {
        s.tag = ScaleText(static_cast<double>(range) / kScrollSteps);
        s.scale = ScaleFromTag(s.tag);
        s.maximum = static_cast<int>(RoundEven(range / s.scale));
        s.largeChange = static_cast<int>(RoundEven(s.maximum / 10.0));
    }
    return s;
}

ScrollSetup PlanVScroll(qint64 recordCount, int rows) {
    ScrollSetup s;
    if (recordCount <= rows) return s;
    s.visible = true;
    if (recordCount <= kScrollSteps) {
        s.tag = QStringLiteral("1");
        s.maximum = static_cast<int>(recordCount);
    } else {
        s.tag = ScaleText(static_cast<double>(recordCount) / kScrollSteps);
        s.scale = ScaleFromTag(s.tag);
        s.maximum = static_cast<int>(RoundEven(recordCount / s.scale));
    }
    const double small = s.maximum / 35.0;
    const double large = s.maximum / 10.0;
    s.smallChange = small >= 1 ? static_cast<int>(RoundEven(small)) : 1;
    s.largeChange = large >= 1 ? static_cast<int>(RoundEven(large)) : 1;
    return s;
}

double ScaleFromTag(const QString& tag) {
    bool ok = false;
    const double v = tag.toDouble(&ok);
    return ok && v > 0 ? v : 1.0;
}

int ThumbValue(int maximum, double scale, qint64 position) {
    if (maximum * scale < static_cast<double>(position)) return maximum;
    const qint64 v = RoundEven(position / scale);
    return v == 0 ? 1 : static_cast<int>(v);
}

qint64 ScrollTarget(int value, qint64 lastScroll, qint64 enginePosition, double scale) {
    if (value == 1) return 1;
    if (value - lastScroll == 1) return enginePosition + 1;
    if (value - lastScroll == -1) return enginePosition - 1;
    return RoundEven(value * scale);
}

KeyMove MoveForKey(int key, bool ctrl, bool shift, qint64 r, qint64 b, qint64 n, qint64 l,
                   const ScreenMetrics& screen) {
    const qint64 rows = screen.rows;
    const qint64 cols = screen.columns;
    auto move = [](qint64 record, qint64 column, bool keepRow) {
        return KeyMove{true, record, column, keepRow};
    };
    switch (key) {
        case Qt::Key_Down:
            return ctrl    ? move(n, b, false)
                   : shift ? move(r + rows, b, true)
                           : move(r + 1, b, false);
        case Qt::Key_Up:
            return ctrl    ? move(1, b, false)
                   : shift ? move(r - rows, b, true)
                           : move(r - 1, b, false);
        case Qt::Key_Right:
            return ctrl ? move(r, l, true) : shift ? move(r, b + cols, true) : move(r, b + 1, true);
        case Qt::Key_Left:
            return ctrl ? move(r, 1, true) : shift ? move(r, b - cols, true) : move(r, b - 1, true);
        case Qt::Key_PageUp:
            return move(r - rows, b, true);
        case Qt::Key_PageDown:
            return move(r + rows, b, true);
        case Qt::Key_Home:
            return move(1, 1, true);
        case Qt::Key_End:
            return move(n, l, true);
        default:
            return {};
    }
}

qint64 BarActionStep(int action, int rows) {
    switch (action) {
        case QAbstractSlider::SliderSingleStepAdd:
            return 1;
        case QAbstractSlider::SliderSingleStepSub:
            return -1;
        case QAbstractSlider::SliderPageStepAdd:
            return std::max(rows, 1);
        case QAbstractSlider::SliderPageStepSub:
            return -std::max(rows, 1);
        default:
            return 0;
    }
}

qint64 WheelRecords(int angleDelta, int linesPerNotch, int& remainder) {
    // Eighths of a degree times lines, so a fine wheel's small turns add up.
    remainder -= angleDelta * std::max(linesPerNotch, 1);
    const qint64 whole = remainder / 120;
    remainder -= static_cast<int>(whole * 120);
    return whole;
}

bool PendingMove::Put(const KeyMove& move) {
    const bool first = !pending_;
    const bool keepRow = pending_ ? move_.keepRow || move.keepRow : move.keepRow;
    move_ = move;
    move_.keepRow = keepRow;
    pending_ = true;
    return first;
}

KeyMove PendingMove::Take() {
    pending_ = false;
    return move_;
}

QPoint CentredOn(const QRect& owner, const QSize& size, const QRect& screen) {
    QPoint p(owner.x() + (owner.width() - size.width()) / 2,
             owner.y() + (owner.height() - size.height()) / 2);
    if (screen.isValid()) {
        p.setX(std::max(screen.left(), std::min(p.x(), screen.right() + 1 - size.width())));
        p.setY(std::max(screen.top(), std::min(p.y(), screen.bottom() + 1 - size.height())));
    }
    return p;
}

qint64 RecordFromBoxText(const QString& text) {
    const std::string plain = util::RemoveCharacter(text.toStdString(), ',');
    return util::ReadWholeNumber(plain);
}

QString FormatRecordNumber(qint64 record) {
    if (record == 0) return {};
    QString digits = QString::number(record < 0 ? -record : record);
    for (int i = static_cast<int>(digits.size()) - 3; i > 0; i -= 3)
        digits.insert(i, QLatin1Char(','));
    return record < 0 ? QLatin1Char('-') + digits : digits;
}

}  // namespace velmor::viewer
