// The four cached picture tiles ("slides") the view is composed from, and
// the coverage arithmetic that decides which tiles still serve a view and
// which cells must be read and drawn anew.
#pragma once

#include <QtGlobal>
#include <array>
#include <functional>
#include <vector>

#include "viewer/viewgeometry.h"

namespace velmor::viewer {

struct Slide {
    quint32 BackColor = 0xFFFFFF;
    qint64 FirstRecord = 0;
    qint64 LastRecord = 0;
    qint64 FirstColumn = 0;  ///< 0 marks an empty slide
    qint64 LastColumn = 0;
    // Placement inside the viewport, in cells (columns) and lines (records).
    qint64 Left = 0;
    qint64 Top = 0;
    qint64 ClipLeft = 0;
    qint64 ClipTop = 0;
    qint64 VisibleWidth = 0;
    qint64 VisibleHeight = 0;
    int ImageIndex = 0;  ///< 1..4, kept for the window's lifetime
    quint32 ForeColor = 0x000000;
    bool Drawn = false;
    bool InUse = false;

    bool Empty() const { return FirstColumn == 0; }
};

/// Which cells of a view are already covered by a tile. Rows and columns
/// are 1-based, as the view's cells.
class CoverageGrid {
public:
    CoverageGrid(qint64 rows, qint64 columns);
    qint64 Rows() const { return rows_; }
    qint64 Columns() const { return columns_; }
    bool Covered(qint64 row, qint64 column) const;
    void Cover(qint64 row, qint64 column);
    void Clear();

private:
    qint64 rows_;
    qint64 columns_;
    std::vector<char> cells_;
};

/// Marks the cells of View that Slide holds; the slide becomes in use when
/// it overlaps the view at all.
void CoverWithSlide(Slide& slide, const ViewRecord& view, CoverageGrid& grid);
/// First uncovered cell, row by row; false when every cell is covered.
bool FindUncovered(const CoverageGrid& grid, qint64& row, qint64& column);

/// How the composer learns the file's extent while it plans new tiles.
struct ComposeLimits {
    int maxSlideRows = 2;
    int maxSlideColumns = 2;
    bool fixedLayout = true;
    qint64 recordLength = 0;
    /// Returns the record count after asking the engine to count to Record
    /// (delimited files grow lazily); for fixed layouts the count itself.
    std::function<qint64(qint64)> countTo;
    std::function<qint64()> recordCount;
};

class SlideSet {
public:
    SlideSet();

    std::array<Slide, 4>& Slides() { return slides_; }
    const std::array<Slide, 4>& Slides() const { return slides_; }
    /// Empties all four slides (their pictures become invalid).
    void Erase();

    /// Plans the tiles for View (ViewRecords x ViewColumns cells): keeps the
    /// slides that overlap it and defines new rectangles for the rest. False
    /// when the view itself is impossible (nothing changes then). Sets
    /// Erased when every tile had to be given up.
    bool Compose(const ViewRecord& view, qint64 viewRecords, qint64 viewColumns,
                 const ComposeLimits& limits);
    /// Computes Left/Top/Clip/Visible of every slide in use for View.
    void Place(const ViewRecord& view);

    int ErasedCount() const { return erasedCount_; }

private:
    void SortByPosition();
    int ChooseSlide(const ViewRecord& view, int previous) const;
    void DefineSlide(Slide& s, const ViewRecord& view, CoverageGrid& grid, qint64 r, qint64 c,
                     const ComposeLimits& limits);

    std::array<Slide, 4> slides_;
    int erasedCount_ = 0;
};

}  // namespace velmor::viewer
