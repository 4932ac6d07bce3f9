// Renders tiles off-screen: record text in monospaced cells, the record
// separators, the field dividers and each tile's ruler strip.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPixmap>
#include <QRawFont>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "viewer/recordsource.h"
#include "viewer/slides.h"

class QPainter;

namespace velmor::viewer {

/// Pixel size of one grid cell for a screen's logical resolution.
struct CellMetrics {
    int charPx = 8;
    int linePx = 15;
    static CellMetrics ForDpi(double dpiX, double dpiY);
};

/// One line of text put on a tile, kept for checking what was drawn.
struct DrawnText {
    int imageIndex = 0;
    qint64 record = 0;
    qint64 firstColumn = 0;  ///< file column of the text's first cell
    int x = 0;               ///< pixel position of the line's top-left inside the tile
    int y = 0;
    std::string text;
};

class SlideDrawer {
public:
    explicit SlideDrawer(CellMetrics cells);

    const CellMetrics& Cells() const { return cells_; }
    const QFont& Font() const { return font_; }

    /// Draws Slide's records into Picture. False when drawing stopped (an
    /// engine error, an impossible slide, no record division): the tile is
    /// then left not Drawn.
    bool DrawSlide(Slide& slide, RecordSource& source, const bool& engineError, QPixmap& picture);
    /// The ruler strip over the slide's columns.
    QPixmap DrawSlideByteBar(const Slide& slide) const;
    int ByteBarLineStep() const;

    /// Lines drawn since the last ClearLog (only while logging is on).
    void SetLogging(bool on) { logging_ = on; }
    const std::vector<DrawnText>& Log() const { return log_; }
    void ClearLog() { log_.clear(); }

private:
    bool DrawFixedSlide(Slide& slide, RecordSource& source, const bool& engineError, QImage& tile,
                        const QImage& glyphs);
    bool DrawDelimitedSlide(Slide& slide, RecordSource& source, const bool& engineError,
                            QImage& tile, const QImage& glyphs);
    /// Every Latin-1 character drawn once into its own cell, side by side.
    const QImage& Glyphs(QRgb fore, QRgb back);
    void DrawRecordLines(QPainter& p, const QColor& color, int startY, QSize size) const;
    void DrawFieldDividers(QPainter& p, const Slide& slide, RecordSource& source, int height) const;
    void DrawFieldDivider(QPainter& p, qint64 offset, int height) const;
    void PrintLine(QImage& tile, const QImage& glyphs, const Slide& slide, qint64 record,
                   const std::string& text);
    void PrintText(QPainter& p, int x, int top, const std::string& text) const;

    CellMetrics cells_;
    QFont font_;
    QRawFont raw_;
    std::map<std::pair<QRgb, QRgb>, QImage> glyphCache_;
    bool logging_ = false;
    std::vector<DrawnText> log_;
};

}  // namespace velmor::viewer
