#include "viewer/slidedrawer.h"

#include <QFontMetricsF>
#include <QGlyphRun>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstring>

#include "data/typedvalues.h"
#include "viewer/recordtext.h"

namespace velmor::viewer {

namespace {
const QColor kSeparatorColor(0x80, 0x80, 0x80);
const QColor kByteBarBack(0xC0, 0xC0, 0xC0);
const QColor kByteBarText(0x40, 0x40, 0x40);

QColor FromRgb(quint32 rgb) {
    return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

/// Restores the engine's loading flag unless drawing was abandoned, which
/// leaves it raised as the engine expects after an error.
struct LoadingScope {
    RecordSource& source;
    bool completed = false;
    explicit LoadingScope(RecordSource& s) : source(s) { source.SetLoading(true); }
    ~LoadingScope() {
        if (completed) source.SetLoading(false);
    }
};
}  // namespace

CellMetrics CellMetrics::ForDpi(double dpiX, double dpiY) {
    CellMetrics m;
    m.charPx = std::max(1, static_cast<int>(std::lround(dpiX * kCharWidth)));
    m.linePx = std::max(1, static_cast<int>(std::lround(dpiY * kLineHeight)));
    m.baselinePx = std::max(1, m.linePx * 4 / 5);
    return m;
}

CellMetrics CellMetrics::FitInk(double ascent, double descent) const {
    const int above = static_cast<int>(std::ceil(std::max(0.0, ascent)));
    const int below = static_cast<int>(std::ceil(std::max(0.0, descent)));
    const int needed = 1 + above + below;
    CellMetrics m = *this;
    m.linePx = std::max(linePx, needed);
    m.baselinePx = 1 + above + (m.linePx - needed) / 2;
    return m;
}

namespace {
/// Highest ink above and deepest ink below the baseline over the characters
/// a cell may show from the font itself (Latin-1 and Windows-1252).
std::pair<double, double> InkExtent(const QRawFont& raw, const QString& chars) {
    double above = raw.ascent() * 0.5;
    double below = 0;
    for (const quint32 glyph : raw.glyphIndexesForString(chars)) {
        if (glyph == 0) continue;
        const QRectF box = raw.boundingRect(glyph);
        if (box.isEmpty()) continue;
        above = std::max(above, -box.top());
        below = std::max(below, box.bottom());
    }
    return {above, below};
}
}  // namespace

SlideDrawer::SlideDrawer(CellMetrics cells) : cells_(cells) {
    font_ = QFont(QStringLiteral("DejaVu Sans Mono"));
    font_.setStyleHint(QFont::Monospace);
    font_.setFixedPitch(true);
    font_.setBold(false);
    font_.setItalic(false);
    // Ten points at the cell's own resolution: 1/12 inch is the advance of
    // a ten-point monospaced glyph.
    font_.setPixelSize(std::max(6, static_cast<int>(std::lround(cells_.linePx * 10.0 / 11.0))));
    raw_ = QRawFont::fromFont(font_);
    if (!raw_.isValid()) return;
    // The cell grows where the font's accents or descenders would not fit:
    // a capital's accent must not be cut at the cell's top.
    QString chars;
    for (int c = 0x21; c < 0x100; ++c)
        if (c < 0x7F || c > 0xA0) chars += QChar(c);
    chars += QStringLiteral("\u20AC\u201A\u0192\u201E\u2026\u2020\u2021\u02C6\u2030\u0160\u2039"
                            "\u0152\u017D\u2018\u2019\u201C\u201D\u2022\u2013\u2014\u02DC"
                            "\u2122\u0161\u203A\u0153\u017E\u0178");
    const auto [above, below] = InkExtent(raw_, chars);
    cells_ = cells_.FitInk(above, below);
    digitAscentPx_ = static_cast<int>(std::ceil(InkExtent(raw_, QStringLiteral("0123456789")).first));
}

int SlideDrawer::ByteBarLineStep() const {
    return std::max({1, static_cast<int>(std::lround(cells_.linePx * 0.7)), digitAscentPx_ + 2});
}

int SlideDrawer::ByteBarHeight(int lines) const {
    // Digits have no descent: the last line needs its ascent and a row under it.
    return std::max(1, (std::max(lines, 1) - 1) * ByteBarLineStep() + digitAscentPx_ + 3);
}

void SlideDrawer::PrintText(QPainter& p, int x, int baseline, const QString& chars) const {
    if (chars.isEmpty()) return;
    if (!raw_.isValid()) {
        p.drawText(QPoint(x, baseline), chars);
        return;
    }
    const QList<quint32> glyphs = raw_.glyphIndexesForString(chars);
    QList<QPointF> positions;
    positions.reserve(glyphs.size());
    for (qsizetype i = 0; i < glyphs.size(); ++i)
        positions.append(QPointF(x + static_cast<qreal>(i) * cells_.charPx, baseline));
    QGlyphRun run;
    run.setRawFont(raw_);
    run.setGlyphIndexes(glyphs);
    run.setPositions(positions);
    p.drawGlyphRun(QPointF(0, 0), run);
}

void SlideDrawer::PrintRulerLine(QPainter& p, int baseline, const std::string& digits) const {
    PrintText(p, 0, baseline,
              QString::fromLatin1(digits.data(), static_cast<qsizetype>(digits.size())));
}

const QImage& SlideDrawer::Glyphs(QRgb fore, QRgb back) {
    auto& atlas = glyphCache_[{fore, back}];
    if (!atlas.isNull()) return atlas;
    atlas = QImage(256 * cells_.charPx, cells_.linePx, QImage::Format_RGB32);
    atlas.fill(back);
    QPainter p(&atlas);
    p.setFont(font_);
    p.setPen(QColor(fore));
    for (int c = 0; c < 256; ++c) {
        p.setClipRect(c * cells_.charPx, 0, cells_.charPx, cells_.linePx);
        PrintText(p, c * cells_.charPx, cells_.baselinePx, QString(QChar(c)));
    }
    return atlas;
}

const QImage& SlideDrawer::CellGlyph(char32_t character, int cellCount, QRgb fore, QRgb back) {
    QImage& cell = cellCache_[{character, cellCount, fore, back}];
    if (!cell.isNull()) return cell;
    cell = QImage(cellCount * cells_.charPx, cells_.linePx, QImage::Format_RGB32);
    cell.fill(back);
    QPainter p(&cell);
    p.setPen(QColor(fore));
    const QString text = QString::fromUcs4(&character, 1);
    if (!raw_.isValid() || raw_.supportsCharacter(character)) {
        p.setFont(font_);
        PrintText(p, 0, cells_.baselinePx, text);
        return cell;
    }
    // A character the grid's font lacks comes from the system's fallback
    // fonts, which may be wider and taller than a cell: scaled down to fit
    // the cells its bytes take, centred in them.
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setFont(font_);
    const QRectF ink = QFontMetricsF(font_).tightBoundingRect(text);
    if (ink.isEmpty()) return cell;
    const QRectF room(0.5, 1.5, cell.width() - 1.0, cells_.linePx - 2.0);
    const double scale =
        std::min({1.0, room.width() / ink.width(), room.height() / ink.height()});
    const QPointF inkCentre = ink.center() * scale;
    p.translate(room.center() - inkCentre);
    p.scale(scale, scale);
    p.drawText(QPointF(0, 0), text);
    return cell;
}

void SlideDrawer::PrintLine(QImage& tile, const QImage& glyphs, const Slide& slide, qint64 record,
                            const std::string& text) {
    // Cells are copied from pre-drawn glyphs: a tile is thousands of cells
    // and must be ready within a key press.
    const int y = static_cast<int>(record - slide.FirstRecord) * cells_.linePx;
    const int cw = cells_.charPx;
    std::u32string chars = DisplayCells(text, encoding_);
    if (chars.size() > static_cast<size_t>(tile.width() / cw))
        chars.resize(static_cast<size_t>(tile.width() / cw));
    const int rows = std::min(cells_.linePx, tile.height() - y);
    const size_t bytes = static_cast<size_t>(cw) * 4;
    for (size_t i = 0; i < chars.size(); ++i) {
        const char32_t ch = chars[i];
        if (ch == U' ') continue;
        if (ch < 256) {
            const size_t from = static_cast<size_t>(ch) * bytes;
            for (int r = 0; r < rows; ++r)
                std::memcpy(tile.scanLine(y + r) + i * bytes, glyphs.constScanLine(r) + from,
                            bytes);
            continue;
        }
        // In UTF-8 the blank cells after a character belong to its bytes, so
        // a wide character may use them.
        size_t span = 1;
        if (encoding_ == DisplayEncoding::Utf8) {
            const size_t length = ch < 0x800 ? 2 : ch < 0x10000 ? 3 : 4;
            while (span < length && i + span < chars.size() && chars[i + span] == U' ') ++span;
        }
        const QImage& glyph = CellGlyph(ch, static_cast<int>(span), fore_, back_);
        for (int r = 0; r < rows; ++r)
            std::memcpy(tile.scanLine(y + r) + i * bytes, glyph.constScanLine(r), bytes * span);
        i += span - 1;
    }
    if (logging_)
        log_.push_back({slide.ImageIndex, record, slide.FirstColumn, 0, y, text, std::move(chars)});
}

bool SlideDrawer::DrawSlide(Slide& slide, RecordSource& source, const bool& engineError,
                            QPixmap& picture) {
    if (slide.FirstRecord <= 0 || slide.FirstColumn <= 0 || slide.LastColumn < slide.FirstColumn)
        return false;
    const bool fixed = source.IsFixed();
    if (!fixed && !source.IsDelimited()) return false;
    if (!fixed && source.FixedLayout())
        slide.LastRecord = std::min(slide.LastRecord, source.RecordCount());
    else if (!fixed && source.RecordCount() < slide.LastRecord + 1)
        source.MoveTo(slide.LastRecord + 1);
    const qint64 rows = std::max<qint64>(slide.LastRecord - slide.FirstRecord + 1, 1);
    const qint64 cols = slide.LastColumn - slide.FirstColumn + 1;
    const QSize size(static_cast<int>(cols * cells_.charPx),
                     static_cast<int>(rows * cells_.linePx));
    const QRgb back = fixed ? FromRgb(slide.BackColor).rgb() : qRgb(255, 255, 255);
    const QRgb fore = fixed ? qRgb(0, 0, 0) : FromRgb(slide.ForeColor).rgb();
    const QImage& glyphs = Glyphs(fore, back);
    fore_ = fore;
    back_ = back;
    QImage tile(size, QImage::Format_RGB32);
    tile.fill(back);
    const bool done = fixed ? DrawFixedSlide(slide, source, engineError, tile, glyphs)
                            : DrawDelimitedSlide(slide, source, engineError, tile, glyphs);
    if (!done) {
        picture = QPixmap::fromImage(std::move(tile));
        return false;
    }
    slide.Drawn = true;
    {
        QPainter p(&tile);
        DrawRecordLines(p, kSeparatorColor, 0, size);
        if (source.ShowFieldNames()) DrawFieldDividers(p, slide, source, size.height());
    }
    picture = QPixmap::fromImage(std::move(tile));
    return true;
}

// The value laid into the field's cells (see TypedCells), the part inside
// the tile's Bytes, which begin at file column First.
void SlideDrawer::PutValue(const FieldLayout& f, const std::string& value, qint64 first,
                           qint64 columns, std::string& bytes) {
    const std::string cells = data::TypedCells(value, true, static_cast<std::size_t>(f.length));
    for (qint64 k = 0; k < f.length; ++k) {
        const qint64 at = f.start + k - first;
        if (at < 0 || at >= columns) continue;
        if (at >= static_cast<qint64>(bytes.size())) bytes.resize(static_cast<std::size_t>(at) + 1, ' ');
        bytes[static_cast<std::size_t>(at)] = cells[static_cast<std::size_t>(k)];
    }
}

bool SlideDrawer::DrawFixedSlide(Slide& slide, RecordSource& source, const bool& engineError,
                                 QImage& tile, const QImage& glyphs) {
    LoadingScope loading(source);
    const qint64 length = slide.LastColumn - slide.FirstColumn + 1;
    const ColumnMap& map = source.Columns();
    if (source.ShowFieldNames() && !map.Identity()) {
        // Typed numbers wider than their bytes: the record's line is laid
        // out in its columns first, then the tile's part taken from it.
        const qint64 bytes = source.RecordBytes();
        for (qint64 n = slide.FirstRecord; n <= slide.LastRecord; ++n) {
            source.MoveTo(n);
            if (engineError) return false;
            const std::string line = map.Line(source.GetBytes(1, bytes), bytes, [&](std::size_t i) {
                return source.FieldValue(static_cast<int>(i) + 1);
            });
            PrintLine(tile, glyphs, slide, n,
                      CellText(ColumnRange(line, slide.FirstColumn, slide.LastColumn + Lookahead())));
        }
        loading.completed = true;
        return true;
    }
    // In field-name mode typed numbers show their values, not their bytes.
    std::vector<int> numbers;
    for (int i = 1; source.ShowFieldNames() && i <= source.FieldCount(); ++i) {
        const FieldLayout f = source.Field(i);
        if (f.number && f.length > 0 && f.start <= slide.LastColumn && f.end() >= slide.FirstColumn)
            numbers.push_back(i);
    }
    for (qint64 n = slide.FirstRecord; n <= slide.LastRecord; ++n) {
        source.MoveTo(n);
        if (engineError) return false;
        std::string bytes = source.GetBytes(slide.FirstColumn, length + Lookahead());
        for (int i : numbers) PutValue(source.Field(i), source.FieldValue(i), slide.FirstColumn, length, bytes);
        PrintLine(tile, glyphs, slide, n, CellText(bytes));
    }
    loading.completed = true;
    return true;
}

bool SlideDrawer::DrawDelimitedSlide(Slide& slide, RecordSource& source, const bool& engineError,
                                     QImage& tile, const QImage& glyphs) {
    LoadingScope loading(source);
    const bool names = source.ShowFieldNames();
    const int fieldCount = names ? source.FieldCount() : 0;
    for (qint64 n = slide.FirstRecord; n <= slide.LastRecord; ++n) {
        source.MoveTo(n);
        if (source.AtEnd()) break;
        const std::string raw = source.RecordText();
        std::vector<FieldCell> fields;
        for (int i = 1; i <= fieldCount; ++i)
            fields.push_back({source.FieldValue(i), source.Field(i).length});
        const std::string line = DelimitedDisplayLine(raw, names, fields, source.RecordLength());
        PrintLine(tile, glyphs, slide, n,
                  CellText(ColumnRange(line, slide.FirstColumn, slide.LastColumn + Lookahead())));
        if (engineError) return false;
    }
    loading.completed = true;
    return true;
}

void SlideDrawer::DrawRecordLines(QPainter& p, const QColor& color, int startY, QSize size) const {
    p.setPen(color);
    for (int y = startY; y <= size.height(); y += cells_.linePx) p.drawLine(0, y, size.width(), y);
}

void SlideDrawer::DrawFieldDividers(QPainter& p, const Slide& slide, RecordSource& source,
                                    int height) const {
    const qint64 recordLength = source.RecordLength();
    for (int i = 1; i <= source.FieldCount(); ++i) {
        const FieldLayout f = source.Field(i);
        if (f.start < 1 || f.length < 1 || recordLength < f.start) continue;
        if (f.start < slide.FirstColumn || f.start > slide.LastColumn) continue;
        DrawFieldDivider(p, f.start - slide.FirstColumn, height);
        if (f.end() >= slide.FirstColumn && f.end() <= slide.LastColumn)
            DrawFieldDivider(p, f.end() - slide.FirstColumn + 1, height);
    }
}

void SlideDrawer::DrawFieldDivider(QPainter& p, qint64 offset, int height) const {
    const int x = static_cast<int>(offset) * cells_.charPx;
    p.drawLine(x, 0, x, height);
}

QPixmap SlideDrawer::DrawSlideByteBar(const Slide& slide) const {
    int lines = 0;
    std::string text = BuildByteBarText(slide.FirstColumn, slide.LastColumn, lines);
    const int step = ByteBarLineStep();
    const qint64 cols = std::max<qint64>(slide.LastColumn - slide.FirstColumn + 1, 1);
    QPixmap strip(static_cast<int>(cols * cells_.charPx), ByteBarHeight(lines));
    strip.fill(kByteBarBack);
    QPainter p(&strip);
    p.setFont(font_);
    p.setPen(kByteBarText);
    size_t from = 0;
    for (int i = 0; i < lines; ++i) {
        const size_t to = text.find("\r\n", from);
        PrintRulerLine(p, i * step + 1 + digitAscentPx_,
                       text.substr(from, to == std::string::npos ? to : to - from));
        if (to == std::string::npos) break;
        from = to + 2;
    }
    return strip;
}

}  // namespace velmor::viewer
