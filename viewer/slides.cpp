#include "viewer/slides.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace velmor::viewer {

CoverageGrid::CoverageGrid(qint64 rows, qint64 columns)
    : rows_(std::max<qint64>(rows, 0)),
      columns_(std::max<qint64>(columns, 0)),
      cells_(static_cast<size_t>(rows_ * columns_), 0) {}

bool CoverageGrid::Covered(qint64 row, qint64 column) const {
    return cells_[static_cast<size_t>((row - 1) * columns_ + (column - 1))] != 0;
}

void CoverageGrid::Cover(qint64 row, qint64 column) {
    cells_[static_cast<size_t>((row - 1) * columns_ + (column - 1))] = 1;
}

void CoverageGrid::Clear() {
    std::fill(cells_.begin(), cells_.end(), 0);
}

void CoverWithSlide(Slide& slide, const ViewRecord& view, CoverageGrid& grid) {
    if (slide.Empty()) return;
    if (view.FirstRecord > slide.LastRecord || view.LastRecord < slide.FirstRecord ||
        view.LastColumn < slide.FirstColumn || view.FirstColumn > slide.LastColumn)
        return;
    const qint64 rowFrom = std::max(slide.FirstRecord, view.FirstRecord) - view.FirstRecord + 1;
    const qint64 rowTo = std::min(slide.LastRecord, view.LastRecord) - view.FirstRecord + 1;
    const qint64 colFrom = std::max(slide.FirstColumn, view.FirstColumn) - view.FirstColumn + 1;
    const qint64 colTo = std::min(slide.LastColumn, view.LastColumn) - view.FirstColumn + 1;
    for (qint64 i = std::max<qint64>(rowFrom, 1); i <= std::min(rowTo, grid.Rows()); ++i)
        for (qint64 j = std::max<qint64>(colFrom, 1); j <= std::min(colTo, grid.Columns()); ++j)
            grid.Cover(i, j);
    slide.InUse = true;
}

bool FindUncovered(const CoverageGrid& grid, qint64& row, qint64& column) {
    for (qint64 i = 1; i <= grid.Rows(); ++i)
        for (qint64 j = 1; j <= grid.Columns(); ++j)
            if (!grid.Covered(i, j)) {
                row = i;
                column = j;
                return true;
            }
    return false;
}

SlideSet::SlideSet() {
    for (int i = 0; i < 4; ++i) slides_[static_cast<size_t>(i)].ImageIndex = i + 1;
}

void SlideSet::Erase() {
    for (Slide& s : slides_) {
        s.FirstRecord = s.LastRecord = s.FirstColumn = s.LastColumn = 0;
        s.Drawn = false;
        s.InUse = false;
    }
    ++erasedCount_;
}

void SlideSet::SortByPosition() {
    auto before = [](const Slide& a, const Slide& b) {
        return a.FirstRecord < b.FirstRecord ||
               (a.FirstRecord == b.FirstRecord && a.FirstColumn < b.FirstColumn);
    };
    for (size_t i = 0; i < 3; ++i)
        for (size_t j = i + 1; j < 4; ++j)
            if (before(slides_[j], slides_[i])) std::swap(slides_[i], slides_[j]);
}

int SlideSet::ChooseSlide(const ViewRecord& view, int previous) const {
    int chosen = -1;
    qint64 best = -1;
    for (int i = 0; i < 4; ++i) {
        const Slide& s = slides_[static_cast<size_t>(i)];
        if (s.InUse) continue;
        if (s.Empty()) return i;
        const double dc = static_cast<double>(s.FirstColumn - view.FirstColumn);
        const double dr = static_cast<double>(s.FirstRecord - view.FirstRecord);
        const qint64 d = RoundEven(std::sqrt(dc * dc + dr * dr));
        if (chosen < 0 || d > best) {
            chosen = i;
            best = d;
        }
    }
    return chosen < 0 ? previous : chosen;
}

void SlideSet::DefineSlide(Slide& s, const ViewRecord& view, CoverageGrid& grid, qint64 r, qint64 c,
                           const ComposeLimits& limits) {
    s.Drawn = false;
    s.FirstRecord = view.FirstRecord + r - 1;
    s.FirstColumn = view.FirstColumn + c - 1;
    qint64 lastRow = r;
    while (lastRow + 1 <= grid.Rows() && !grid.Covered(lastRow + 1, c) &&
           lastRow + 1 - r + 1 <= limits.maxSlideRows)
        ++lastRow;
    qint64 lastCol = c;
    while (lastCol + 1 <= grid.Columns() && !grid.Covered(r, lastCol + 1) &&
           lastCol + 1 - c + 1 <= limits.maxSlideColumns)
        ++lastCol;
    s.LastRecord = view.FirstRecord + lastRow - 1;
    s.LastColumn = view.FirstColumn + lastCol - 1;
    for (qint64 i = r; i <= lastRow; ++i)
        for (qint64 j = c; j <= lastCol; ++j) grid.Cover(i, j);

    // Grow the tile away from the tiles already there, so that scrolling on
    // by up to a screen finds it drawn.
    if (lastCol == grid.Columns())
        s.LastColumn = s.FirstColumn + limits.maxSlideColumns - 1;
    else if (c == 1)
        s.FirstColumn = std::max<qint64>(s.LastColumn - limits.maxSlideColumns + 1, 1);
    else
        s.LastColumn = s.FirstColumn + limits.maxSlideColumns - 1;
    if (lastRow == grid.Rows())
        s.LastRecord = s.FirstRecord + limits.maxSlideRows - 1;
    else if (r == 1)
        s.FirstRecord = std::max<qint64>(s.LastRecord - limits.maxSlideRows + 1, 1);
    else
        s.LastRecord = s.FirstRecord + limits.maxSlideRows - 1;

    qint64 count = limits.recordCount ? limits.recordCount() : s.LastRecord;
    if (!limits.fixedLayout && limits.countTo) count = limits.countTo(s.LastRecord + 1);
    s.LastRecord = std::min(s.LastRecord, std::max(count, view.LastRecord));
    s.LastColumn = std::min(s.LastColumn, std::max(limits.recordLength, view.LastColumn));
    s.InUse = true;
}

bool SlideSet::Compose(const ViewRecord& view, qint64 viewRecords, qint64 viewColumns,
                       const ComposeLimits& limits) {
    if (viewRecords <= 0 || viewColumns <= 0) return true;
    if (view.FirstRecord < 1 || view.FirstColumn < 1 || view.LastColumn < view.FirstColumn)
        return false;
    CoverageGrid grid(viewRecords, viewColumns);
    SortByPosition();
    for (Slide& s : slides_) s.InUse = false;
    qint64 r = 0;
    qint64 c = 0;
    bool uncovered = true;
    for (Slide& s : slides_) {
        CoverWithSlide(s, view, grid);
        uncovered = FindUncovered(grid, r, c);
        if (!uncovered) break;
    }
    const bool allInUse =
        std::all_of(slides_.begin(), slides_.end(), [](const Slide& s) { return s.InUse; });
    if (uncovered && allInUse) {
        Erase();
        grid.Clear();
    }
    int previous = 0;
    while (FindUncovered(grid, r, c)) {
        int chosen = ChooseSlide(view, -1);
        if (chosen < 0) {
            // Reusing a tile already placed in this view would leave its
            // cells blank: start again from empty tiles, which always cover
            // the whole view in one rectangle.
            Erase();
            grid.Clear();
            chosen = ChooseSlide(view, previous);
            if (!FindUncovered(grid, r, c)) break;
        }
        previous = chosen;
        DefineSlide(slides_[static_cast<size_t>(chosen)], view, grid, r, c, limits);
    }
    return true;
}

void SlideSet::Place(const ViewRecord& view) {
    for (Slide& s : slides_) {
        if (!s.InUse) continue;
        if (view.FirstColumn <= s.FirstColumn) {
            s.ClipLeft = 0;
            s.Left = s.FirstColumn - view.FirstColumn;
        } else {
            s.Left = 0;
            s.ClipLeft = view.FirstColumn - s.FirstColumn;
        }
        if (view.FirstRecord <= s.FirstRecord) {
            s.ClipTop = 0;
            s.Top = s.FirstRecord - view.FirstRecord;
        } else {
            s.Top = 0;
            s.ClipTop = view.FirstRecord - s.FirstRecord;
        }
        s.VisibleHeight = std::min(view.LastRecord, s.LastRecord) - s.FirstRecord + 1 - s.ClipTop;
        s.VisibleWidth = std::min(view.LastColumn, s.LastColumn) - s.FirstColumn + 1 - s.ClipLeft;
    }
}

}  // namespace velmor::viewer
