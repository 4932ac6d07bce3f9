// Measuring the record grid and deciding which records and columns are on
// screen. Plain arithmetic, kept apart from the window so it can be checked
// case by case without widgets.
#pragma once

#include <QRect>
#include <QString>
#include <QtGlobal>
#include <functional>
#include <utility>

namespace velmor::viewer {

// Every length of the viewer is in inches; these are the grid's constants.
inline constexpr float kCharWidth = 0.08333334f;
inline constexpr double kLineHeight = 10.0 * 1.1 / 72.0;
inline constexpr double kMarginX = 0.01;
inline constexpr double kMarginY = 0.01;
inline constexpr double kHomeTop = 0.35;
inline constexpr double kHomeLeft = 0.13;

/// Whole number nearest to Value, halves to even (the number boxes' rule).
qint64 RoundEven(double value);

/// How many cells and lines fit a viewport, and how large a tile may grow.
struct ScreenMetrics {
    int columns = 0;
    int rows = 1;
    int maxSlideColumns = 0;
    int maxSlideRows = 2;
};
/// Only cells and lines shown whole count, measured in the pixels the grid
/// is drawn with, so that the current record never sits below what is seen
/// whatever the window's size or the screen's resolution.
ScreenMetrics ComputeMetrics(int viewportWidthPx, int viewportHeightPx, int charPx, int linePx);

/// The part of the file on screen. Records and columns are 1-based.
struct ViewRecord {
    qint64 FirstColumn = 0;
    qint64 LastColumn = 0;
    qint64 FirstRecord = 0;
    qint64 LastRecord = 0;
    qint64 CurrentRecord = 0;
    qint64 ScrollColumn = 0;
    qint64 ScrollRecord = 0;
};

/// What the planner needs to know of the open file. CountTo asks the engine
/// to count a delimited file up to a record and returns the new count.
struct FileShape {
    qint64 recordCount = 0;
    qint64 recordLength = 0;
    bool fixedLayout = true;
    bool isDelimited = false;
    std::function<qint64(qint64)> countTo;
};

struct ViewPlan {
    qint64 firstColumn = 1;
    qint64 lastColumn = 0;
    qint64 first = 1;
    qint64 last = 0;
    qint64 current = 0;
    qint64 column = 1;  ///< the column actually used (written back to the caller)
    qint64 viewColumns() const { return lastColumn - firstColumn + 1; }
    qint64 viewRecords() const { return last - first + 1; }
};

/// Clamps a request to the file and chooses the records and columns shown.
/// Never yields a negative or inverted range: an empty file gives current 0.
ViewPlan PlanView(const ViewRecord& cur, qint64 record, qint64 column, bool keepRow,
                  const ScreenMetrics& screen, FileShape& file);

/// Range, scale and steps of one scroll bar. The scale is kept as text, the
/// way the bar's Tag holds it, and read back from that text.
struct ScrollSetup {
    bool visible = false;
    QString tag;
    double scale = 1.0;
    int maximum = 1;
    int smallChange = 1;
    int largeChange = 1;
};
ScrollSetup PlanHScroll(qint64 recordLength, int columns);
ScrollSetup PlanVScroll(qint64 recordCount, int rows);
/// Scale factor held in a Tag text; 1 when the text holds none.
double ScaleFromTag(const QString& tag);

/// Thumb position standing for Position on a bar with the given maximum.
int ThumbValue(int maximum, double scale, qint64 position);

/// Position a bar's new Value stands for: single steps move exactly one from
/// the engine's position, whatever the scale.
qint64 ScrollTarget(int value, qint64 lastScroll, qint64 enginePosition, double scale);

/// Records a scroll bar's arrow (one) or page area (one screen of Rows)
/// moves; 0 for the thumb, whose position stands for a place in the file.
/// Action is a QAbstractSlider::SliderAction.
qint64 BarActionStep(int action, int rows);

/// Records a wheel turn moves: LinesPerNotch for each notch of 120 eighths
/// of a degree, away from the start for a turn towards the user. Remainder
/// keeps what a fine-grained wheel turned short of a whole record.
qint64 WheelRecords(int angleDelta, int linesPerNotch, int& remainder);

/// A navigation key's target; handled is false for keys that do nothing.
struct KeyMove {
    bool handled = false;
    qint64 record = 0;
    qint64 column = 0;
    bool keepRow = false;
};
/// Key is a Qt::Key value.
KeyMove MoveForKey(int key, bool ctrl, bool shift, qint64 record, qint64 bytePosition,
                   qint64 recordCount, qint64 recordLength, const ScreenMetrics& screen);

/// The one move waiting to be drawn while keys repeat faster than the view
/// is drawn: each new key moves from the waiting target, and only the first
/// asks for a redraw.
class PendingMove {
public:
    bool Pending() const { return pending_; }
    /// The record and column the next key moves from.
    std::pair<qint64, qint64> From(qint64 record, qint64 column) const {
        return pending_ ? std::pair(move_.record, move_.column) : std::pair(record, column);
    }
    /// True when no move was waiting: the caller schedules one redraw.
    bool Put(const KeyMove& move);
    KeyMove Take();

private:
    KeyMove move_;
    bool pending_ = false;
};

/// Top-left corner that centres a window of Size over Owner, moved inside
/// Screen where it would stick out.
QPoint CentredOn(const QRect& owner, const QSize& size, const QRect& screen);

/// The record a record-box text asks for: thousands separators dropped, the
/// leading number rounded, 0 when there is none.
qint64 RecordFromBoxText(const QString& text);

/// "1,234,567" style text of a record number; empty for 0.
QString FormatRecordNumber(qint64 record);

}  // namespace velmor::viewer
