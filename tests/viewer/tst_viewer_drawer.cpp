// Drawing tiles from a stand-in record source: which records are read,
// which text lands in which cells, and how an engine error stops a tile.
#include <QFontDatabase>
#include <QImage>
#include <QtTest>
#include <array>

#include "viewer/slidedrawer.h"

using namespace velmor::viewer;
using namespace Qt::StringLiterals;

namespace {
class FakeSource : public RecordSource {
public:
    std::vector<std::string> records;
    std::vector<FieldLayout> fields;
    bool fixed = true;
    bool counted = true;  ///< the engine's FixedLayout: the count is exact
    bool delimited = false;
    bool names = false;
    bool loading = false;
    qint64 length = 10;
    qint64 errorAt = 0;  ///< raise the error flag when this record is reached
    bool* errorFlag = nullptr;
    qint64 current = 0;
    std::vector<std::string> decoded;  ///< typed fields' values (of every record)
    qint64 bytes = 0;                  ///< record bytes when a column map is set

    void Map(ColumnMap map) { columns_ = std::move(map); }

    bool AtEnd() const override { return current > static_cast<qint64>(records.size()); }
    qint64 RecordCount() const override { return static_cast<qint64>(records.size()); }
    bool FixedLayout() const override { return counted; }
    bool IsFixed() const override { return fixed; }
    bool IsDelimited() const override { return delimited; }
    qint64 RecordLength() const override { return length; }
    qint64 RecordBytes() const override { return bytes ? bytes : length; }
    bool ShowFieldNames() const override { return names; }
    int FieldCount() const override { return static_cast<int>(fields.size()); }
    FieldLayout Field(int i) const override { return fields[static_cast<size_t>(i - 1)]; }
    std::string FieldValue(int i) const override {
        if (fields[static_cast<size_t>(i - 1)].number) return decoded[static_cast<size_t>(i - 1)];
        // Fields of a delimited record: comma-separated parts.
        std::string rec = records[static_cast<size_t>(current - 1)];
        for (int k = 1; k < i; ++k) rec = rec.substr(std::min(rec.size(), rec.find(',') + 1));
        return rec.substr(0, rec.find(','));
    }
    void SetLoading(bool v) override { loading = v; }

protected:
    void DoMoveTo(qint64 r) override {
        current = r;
        if (r == errorAt && errorFlag) *errorFlag = true;
    }
    std::string DoGetBytes(qint64 start, qint64 len) override {
        const std::string& rec = records[static_cast<size_t>(current - 1)];
        if (start > static_cast<qint64>(rec.size())) return {};
        return rec.substr(static_cast<size_t>(start - 1), static_cast<size_t>(len));
    }
    std::string DoRecordText() override { return records[static_cast<size_t>(current - 1)]; }
};

Slide MakeSlide(qint64 fr, qint64 lr, qint64 fc, qint64 lc) {
    Slide s;
    s.ImageIndex = 2;
    s.FirstRecord = fr;
    s.LastRecord = lr;
    s.FirstColumn = fc;
    s.LastColumn = lc;
    return s;
}

/// A drawer at 96 dpi (cells 8 pixels wide, as tall as the font needs) that
/// logs what it draws.
struct Tile {
    SlideDrawer d{CellMetrics::ForDpi(96, 96)};
    QPixmap pic;
    bool error = false;
    Tile() { d.SetLogging(true); }
    bool Draw(Slide& s, FakeSource& src) { return d.DrawSlide(s, src, error, pic); }
};

QList<QByteArray> Texts(const SlideDrawer& d) {
    QList<QByteArray> out;
    for (const DrawnText& t : d.Log()) out << QByteArray::fromStdString(t.text);
    return out;
}
}  // namespace

class TestViewerDrawer : public QObject {
    Q_OBJECT
private slots:
    void fixedTileReadsOnlyItsColumns();
    void engineErrorLeavesTileUndrawn();
    void delimitedTilePadsAndStopsAtTheEnd();
    void delimitedTileInFieldNameMode();
    void typedNumbersShowTheirValues_data();
    void typedNumbersShowTheirValues();
    void separatorsAndDividersAreDrawn();
    void byteBarStripHasOneLinePerDigit();
    void impossibleSlidesAreRefused();
    void charactersKeepTheirByteCells_data();
    void charactersKeepTheirByteCells();
    void cellsHoldTheFontsInk_data();
    void cellsHoldTheFontsInk();
    void accentedCapitalIsDrawnWhole();
    void charactersTheFontLacksComeFromFallbacks_data();
    void charactersTheFontLacksComeFromFallbacks();
};

void TestViewerDrawer::fixedTileReadsOnlyItsColumns() {
    FakeSource src;
    src.records = {"0123456789", "ab\tdefghij", "ABCDEFGHIJ", "zzzzzzzzzz"};
    Tile t;
    Slide s = MakeSlide(1, 3, 3, 6);
    QVERIFY(t.Draw(s, src));
    QVERIFY(s.Drawn);
    QVERIFY(!src.loading);
    const int line = t.d.Cells().linePx;
    QCOMPARE(t.pic.size(), QSize(4 * 8, 3 * line));
    QCOMPARE(Texts(t.d), (QList<QByteArray>{"2345", " def", "CDEF"}));  // a tab is a blank
    QCOMPARE(t.d.Log()[2].y, 2 * line);
    QCOMPARE(t.d.Log()[2].record, 3);
    QCOMPARE(t.d.Log()[2].firstColumn, 3);
    QCOMPARE(t.d.Log()[2].imageIndex, 2);
    QCOMPARE(src.ReadCounts().moves, 3);
    QCOMPARE(src.ReadCounts().byteReads, 3);
    QCOMPARE(src.ReadCounts().textReads, 0);
}

void TestViewerDrawer::engineErrorLeavesTileUndrawn() {
    FakeSource src;
    src.records = {"aaaa", "bbbb", "cccc"};
    Tile t;
    src.errorAt = 2;
    src.errorFlag = &t.error;
    Slide s = MakeSlide(1, 3, 1, 4);
    QVERIFY(!t.Draw(s, src));
    QVERIFY(!s.Drawn);
    QVERIFY(src.loading);  // stays raised after an abandoned tile
    QCOMPARE(Texts(t.d), (QList<QByteArray>{"aaaa"}));
}

void TestViewerDrawer::delimitedTilePadsAndStopsAtTheEnd() {
    FakeSource src;
    src.fixed = false;
    src.delimited = true;
    src.length = 8;
    src.records = {"a,bb", "ccc,d,e"};
    Tile t;
    Slide s = MakeSlide(1, 5, 1, 8);
    QVERIFY(t.Draw(s, src));
    QCOMPARE(s.LastRecord, 2);  // a counted delimited file clips the tile
    QCOMPARE(Texts(t.d), (QList<QByteArray>{"a,bb    ", "ccc,d,e "}));
    QCOMPARE(src.ReadCounts().textReads, 2);
    QCOMPARE(src.ReadCounts().byteReads, 0);

    // Still counting: the engine is asked one record past the tile, and the
    // loop stops where the file ends.
    src.counted = false;
    src.ResetCounts();
    t.d.ClearLog();
    Slide lazy = MakeSlide(1, 5, 1, 8);
    QVERIFY(t.Draw(lazy, src));
    QCOMPARE(lazy.LastRecord, 5);
    QCOMPARE(Texts(t.d).size(), 2);
    QCOMPARE(src.ReadCounts().moves, 1 + 3);
}

void TestViewerDrawer::delimitedTileInFieldNameMode() {
    FakeSource src;
    src.fixed = false;
    src.delimited = true;
    src.names = true;
    src.length = 9;
    src.records = {"Anna,Lyon,12", "Bartholomew,X,3"};
    src.fields = {{"Name", 1, 5}, {"City", 6, 3}, {"N", 9, 2}};
    Tile t;
    Slide s = MakeSlide(1, 2, 2, 9);
    QVERIFY(t.Draw(s, src));
    QCOMPARE(Texts(t.d), (QList<QByteArray>{"nna Lyo1", "arthX  3"}));
}

void TestViewerDrawer::typedNumbersShowTheirValues_data() {
    QTest::addColumn<bool>("names");
    QTest::addColumn<QString>("value");  // of the typed field in bytes 6-10
    QTest::addColumn<int>("width");      // its columns in field-name mode
    QTest::addColumn<int>("firstColumn");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("right-aligned") << true << "1.23" << 5 << 1 << QByteArray("NAME  1.23XYZ");
    QTest::newRow("byte-bar mode: the bytes") << false << "1.23" << 9 << 1 << QByteArray("NAME 0012cXYZ");
    QTest::newRow("tile starting inside the field") << true << "-4.5" << 5 << 8 << QByteArray("4.5XYZ");
    QTest::newRow("too wide: never cut") << true << "-123.45" << 5 << 1 << QByteArray("NAME #####XYZ");
    QTest::newRow("columns of its widest value") << true << "-123.45" << 9 << 1 << QByteArray("NAME   -123.45XYZ");
    QTest::newRow("tile inside the wide field") << true << "-123.45" << 9 << 8 << QByteArray("-123.45XYZ");
    QTest::newRow("invalid: cut after ?") << true << "?0102030405" << 5 << 1 << QByteArray("NAME ?0102XYZ");
    QTest::newRow("empty") << true << "" << 9 << 1 << QByteArray("NAME          XYZ");
}

void TestViewerDrawer::typedNumbersShowTheirValues() {
    QFETCH(bool, names);
    QFETCH(QString, value);
    QFETCH(int, width);
    QFETCH(int, firstColumn);
    QFETCH(QByteArray, text);
    FakeSource src;
    src.names = names;
    src.records = {"NAME 0012cXYZ"};
    src.bytes = 13;
    src.Map(ColumnMap({{1, 5, 5, false}, {6, 5, width, true}, {11, 3, 3, false}}));
    src.length = names ? src.Columns().Columns(13) : 13;
    src.fields = {{"N", 1, 5}, {"AMT", 6, names ? width : 5, true}, {"C", 6 + (names ? width : 5), 3}};
    src.decoded = {"", value.toStdString(), ""};
    Tile t;
    Slide s = MakeSlide(1, 1, firstColumn, src.length);
    QVERIFY(t.Draw(s, src));
    QCOMPARE(Texts(t.d), QList<QByteArray>{text});
}

void TestViewerDrawer::separatorsAndDividersAreDrawn() {
    FakeSource src;
    src.records = {"          ", "          "};
    src.names = true;
    src.fields = {{"A", 3, 2}, {"B", 8, 5}};
    Tile t;
    Slide s = MakeSlide(1, 2, 1, 10);
    QVERIFY(t.Draw(s, src));
    const QImage img = t.pic.toImage();
    const QRgb grey = qRgb(0x80, 0x80, 0x80);
    QCOMPARE(img.pixel(40, t.d.Cells().linePx), grey);  // separator between the records
    QCOMPARE(img.pixel((3 - 1) * 8, 7), grey);      // field A's left edge
    QCOMPARE(img.pixel((4 - 1 + 1) * 8, 7), grey);  // and its right edge
    QCOMPARE(img.pixel((8 - 1) * 8, 7), grey);      // B starts inside the tile
    QCOMPARE(img.pixel(5 * 8 + 3, 7), qRgb(255, 255, 255));
}

void TestViewerDrawer::byteBarStripHasOneLinePerDigit() {
    SlideDrawer d(CellMetrics::ForDpi(96, 96));
    const QPixmap one = d.DrawSlideByteBar(MakeSlide(1, 1, 1, 9));
    const QPixmap three = d.DrawSlideByteBar(MakeSlide(1, 1, 98, 121));
    QCOMPARE(one.width(), 9 * 8);
    QCOMPARE(three.width(), 24 * 8);
    QCOMPARE(one.height(), d.ByteBarHeight(1));
    QCOMPARE(three.height(), d.ByteBarHeight(3));
    QCOMPARE(one.toImage().pixel(0, 0), qRgb(0xC0, 0xC0, 0xC0));
    // The last line's digits are inside the strip: "0" of 100 at column 3.
    const QImage img = three.toImage();
    bool inked = false;
    for (int y = 2 * d.ByteBarLineStep(); y < img.height(); ++y)
        for (int x = 2 * 8; x < 3 * 8; ++x) inked |= qGray(img.pixel(x, y)) < 0x90;
    QVERIFY(inked);
}

void TestViewerDrawer::impossibleSlidesAreRefused() {
    FakeSource src;
    src.records = {"x"};
    Tile t;
    Slide bad = MakeSlide(0, 1, 1, 1);
    QVERIFY(!t.Draw(bad, src));
    Slide inverted = MakeSlide(1, 1, 5, 4);
    QVERIFY(!t.Draw(inverted, src));
    src.fixed = false;  // neither fixed nor delimited
    Slide ok = MakeSlide(1, 1, 1, 1);
    QVERIFY(!t.Draw(ok, src));
    QCOMPARE(src.ReadCounts().moves, 0);
}

void TestViewerDrawer::charactersKeepTheirByteCells_data() {
    QTest::addColumn<bool>("fixed");
    QTest::addColumn<bool>("utf8");
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");
    QTest::addColumn<QString>("cells");         // what each cell shows, a space when blank
    const QByteArray plusMinus = "a\xC2\xB1z";  // U+00B1: two bytes
    const QByteArray quoted = "x\xE2\x80\x98#\xE2\x80\x99";  // U+2018, U+2019: three
    QTest::newRow("fixed, two-byte") << true << true << plusMinus << 1 << 4 << u"a\u00B1 z"_s;
    QTest::newRow("fixed, three-byte")
        << true << true << quoted << 1 << 8 << u"x\u2018  #\u2019  "_s;
    QTest::newRow("fixed, tile ends in a character")
        << true << true << quoted << 1 << 2 << u"x\u2018"_s;
    QTest::newRow("fixed, tile starts in a character")
        << true << true << quoted << 4 << 6 << u" #\u2019"_s;
    QTest::newRow("delimited, two-byte") << false << true << plusMinus << 1 << 4 << u"a\u00B1 z"_s;
    QTest::newRow("delimited, three-byte")
        << false << true << quoted << 1 << 8 << u"x\u2018  #\u2019  "_s;
    QTest::newRow("delimited, tile starts in a character")
        << false << true << quoted << 3 << 5 << u"  #"_s;
    QTest::newRow("Windows-1252, a byte each")
        << true << false << plusMinus + "\x92" << 1 << 5 << u"a\u00C2\u00B1z\u2019"_s;
    QTest::newRow("UTF-8, a stray byte stands for itself")
        << false << true << QByteArray("a\xE9z") << 1 << 3 << u"a\u00E9z"_s;
}

void TestViewerDrawer::charactersKeepTheirByteCells() {
    QFETCH(bool, fixed);
    QFETCH(bool, utf8);
    QFETCH(QByteArray, record);
    QFETCH(int, first);
    QFETCH(int, last);
    QFETCH(QString, cells);
    FakeSource src;
    src.fixed = fixed;
    src.delimited = !fixed;
    src.length = record.size();
    src.records = {record.toStdString()};
    Tile t;
    t.d.SetDisplayEncoding(utf8 ? DisplayEncoding::Utf8 : DisplayEncoding::Windows1252);
    Slide s = MakeSlide(1, 1, first, last);
    QVERIFY(t.Draw(s, src));
    QCOMPARE(t.d.Log().size(), size_t(1));
    const std::u32string& drawn = t.d.Log()[0].cells;
    QCOMPARE(QString::fromUcs4(drawn.data(), static_cast<qsizetype>(drawn.size())), cells);
    // A character beyond Latin-1 is drawn, not left blank.
    const int at = static_cast<int>(cells.indexOf(QChar(0x2018)));
    if (at >= 0) {
        const QImage img = t.pic.toImage();
        bool inked = false;
        for (int y = 0; y < t.d.Cells().linePx; ++y)
            for (int x = at * 8; x < at * 8 + 8; ++x)
                inked |= img.pixel(x, y) != qRgb(255, 255, 255);
        QVERIFY(inked);
    }
}

void TestViewerDrawer::cellsHoldTheFontsInk_data() {
    QTest::addColumn<double>("ascent");
    QTest::addColumn<double>("descent");
    QTest::addColumn<int>("line");
    QTest::addColumn<int>("baseline");
    // A cell's top row holds the record separator; the ink goes below it.
    QTest::newRow("fits: the cell is kept") << 10.0 << 3.0 << 15 << 11;
    QTest::newRow("exactly fits") << 11.0 << 3.0 << 15 << 12;
    QTest::newRow("tall accents grow the cell") << 13.2 << 3.5 << 19 << 15;
    QTest::newRow("deep descent grows the cell") << 9.0 << 6.0 << 16 << 10;
}

void TestViewerDrawer::cellsHoldTheFontsInk() {
    QFETCH(double, ascent);
    QFETCH(double, descent);
    const CellMetrics m = CellMetrics::ForDpi(96, 96).FitInk(ascent, descent);
    QCOMPARE(m.charPx, 8);
    QTEST(m.linePx, "line");
    QTEST(m.baselinePx, "baseline");
    // The drawer's own cells hold its font whole, and the ruler's lines too.
    SlideDrawer d(CellMetrics::ForDpi(96, 96));
    QVERIFY(d.Cells().linePx >= 15);
    QVERIFY(d.ByteBarHeight(2) >= 2 * d.ByteBarLineStep());
}

void TestViewerDrawer::accentedCapitalIsDrawnWhole() {
    // The topmost and bottommost inked row of a cell, the separator row aside.
    const auto inkRows = [](const QByteArray& record) {
        FakeSource src;
        src.length = record.size();
        src.records = {record.toStdString()};
        Tile t;
        Slide s = MakeSlide(1, 1, 1, record.size());
        t.Draw(s, src);
        const QImage img = t.pic.toImage();
        int top = -1, bottom = -1;
        for (int y = 1; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                if (qGray(img.pixel(x, y)) < 160) {
                    if (top < 0) top = y;
                    bottom = y;
                }
        return std::pair(top, bottom);
    };
    const auto plain = inkRows("A");
    const auto accented = inkRows("\xC4");  // Windows-1252 capital A with diaeresis
    const auto low = inkRows("gjpqy");
    QVERIFY(plain.first > 0);
    // The dots sit above the capital, inside the cell, with a row to spare.
    QVERIFY2(accented.first + 2 <= plain.first, qPrintable(QString::number(accented.first)));
    QVERIFY(accented.first >= 2);
    const int line = SlideDrawer(CellMetrics::ForDpi(96, 96)).Cells().linePx;
    QVERIFY(low.second < line - 1);
}

void TestViewerDrawer::charactersTheFontLacksComeFromFallbacks_data() {
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<int>("system");  // a QFontDatabase::WritingSystem that holds it
    QTest::newRow("CJK") << QByteArray("a\xE6\x95\xB0z") << int(QFontDatabase::SimplifiedChinese);
    QTest::newRow("Hangul") << QByteArray("a\xED\x95\x9Cz") << int(QFontDatabase::Korean);
}

void TestViewerDrawer::charactersTheFontLacksComeFromFallbacks() {
    QFETCH(QByteArray, record);
    QFETCH(int, system);
    if (QFontDatabase::families(static_cast<QFontDatabase::WritingSystem>(system)).isEmpty())
        QSKIP("no font for this script is installed (scripts/deps.sh installs fonts-noto-cjk)");
    FakeSource src;
    src.length = record.size();
    src.records = {record.toStdString()};
    Tile t;
    t.d.SetDisplayEncoding(DisplayEncoding::Utf8);
    Slide s = MakeSlide(1, 1, 1, record.size());
    QVERIFY(t.Draw(s, src));
    // Drawn in the three cells its bytes take, not as an empty box in one.
    const QImage img = t.pic.toImage();
    int inked = 0;
    std::array<bool, 3> cellInked{};
    for (int y = 1; y < img.height(); ++y)
        for (int x = 8; x < 4 * 8; ++x)
            if (qGray(img.pixel(x, y)) < 128) {
                ++inked;
                cellInked[static_cast<size_t>(x / 8 - 1)] = true;
            }
    QVERIFY(inked > 20);
    QVERIFY(cellInked[0] && cellInked[1] && cellInked[2]);
}

QTEST_MAIN(TestViewerDrawer)
#include "tst_viewer_drawer.moc"
