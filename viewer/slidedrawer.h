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
#include <tuple>
#include <utility>
#include <vector>

#include "viewer/recordsource.h"
#include "viewer/recordtext.h"
#include "viewer/slides.h"

class QPainter;

namespace velmor::viewer {

/// Pixel size of one grid cell for a screen's logical resolution.
struct CellMetrics {
    int charPx = 8;
    int linePx = 15;
    int baselinePx = 12;  ///< from a cell's top row to the text's baseline
    static CellMetrics ForDpi(double dpiX, double dpiY);
    /// These cells grown, where they must, to hold ink reaching Ascent above
    /// and Descent below the baseline under the separator on a cell's top row.
    CellMetrics FitInk(double ascent, double descent) const;
};

/// One line of text put on a tile, kept for checking what was drawn.
struct DrawnText {
    int imageIndex = 0;
    qint64 record = 0;
    qint64 firstColumn = 0;  ///< file column of the text's first cell
    int x = 0;               ///< pixel position of the line's top-left inside the tile
    int y = 0;
    std::string text;
    std::u32string cells;  ///< the characters put in the tile's cells, one per cell
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
    /// Height of a ruler strip of Lines lines of digits.
    int ByteBarHeight(int lines) const;

    /// How record bytes become characters in the cells (see DisplayCells).
    void SetDisplayEncoding(DisplayEncoding encoding) { encoding_ = encoding; }
    DisplayEncoding Encoding() const { return encoding_; }

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
    /// CellCount cells holding a character beyond Latin-1, drawn once per colours.
    const QImage& CellGlyph(char32_t character, int cellCount, QRgb fore, QRgb back);
    static void PutValue(const FieldLayout& f, const std::string& value, qint64 first,
                         qint64 columns, std::string& bytes);
    void DrawRecordLines(QPainter& p, const QColor& color, int startY, QSize size) const;
    void DrawFieldDividers(QPainter& p, const Slide& slide, RecordSource& source, int height) const;
    void DrawFieldDivider(QPainter& p, qint64 offset, int height) const;
    void PrintLine(QImage& tile, const QImage& glyphs, const Slide& slide, qint64 record,
                   const std::string& text);
    void PrintText(QPainter& p, int x, int baseline, const QString& chars) const;
    void PrintRulerLine(QPainter& p, int baseline, const std::string& digits) const;
    /// Bytes read past a tile's last column, so a character begun there is whole.
    qint64 Lookahead() const { return encoding_ == DisplayEncoding::Utf8 ? 3 : 0; }

    CellMetrics cells_;
    int digitAscentPx_ = 10;  ///< ink of the ruler's digits above their baseline
    QFont font_;
    QRawFont raw_;
    std::map<std::pair<QRgb, QRgb>, QImage> glyphCache_;
    std::map<std::tuple<char32_t, int, QRgb, QRgb>, QImage> cellCache_;
    DisplayEncoding encoding_ = DisplayEncoding::Windows1252;
    QRgb fore_ = 0;
    QRgb back_ = 0;
    bool logging_ = false;
    std::vector<DrawnText> log_;
};

}  // namespace velmor::viewer
