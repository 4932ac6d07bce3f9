// Drawing tiles from a stand-in record source: which records are read,
// which text lands in which cells, and how an engine error stops a tile.
#include <QImage>
#include <QtTest>

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

    bool AtEnd() const override { return current > static_cast<qint64>(records.size()); }
    qint64 RecordCount() const override { return static_cast<qint64>(records.size()); }
    bool FixedLayout() const override { return counted; }
    bool IsFixed() const override { return fixed; }
    bool IsDelimited() const override { return delimited; }
    qint64 RecordLength() const override { return length; }
    bool ShowFieldNames() const override { return names; }
    int FieldCount() const override { return static_cast<int>(fields.size()); }
    FieldLayout Field(int i) const override { return fields[static_cast<size_t>(i - 1)]; }
    std::string FieldValue(int i) const override {
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

QList<QByteArray> Texts(const SlideDrawer& d) {
    QList<QByteArray> out;
    for (const DrawnText& t : d.Log()) out << QByteArray::fromStdString(t.text);
    return out;
}
}  // namespace

class TestViewerDrawer : public QObject {
    Q_OBJECT
private slots:
    void cellsFollowTheResolution();
    void fixedTileReadsOnlyItsColumns();
    void fixedTileShowsControlCharactersAsSpaces();
    void engineErrorLeavesTileUndrawn();
    void delimitedTilePadsAndStopsAtTheEnd();
    void delimitedTileInFieldNameMode();
    void separatorsAndDividersAreDrawn();
    void byteBarStripHasOneLinePerDigit();
    void impossibleSlidesAreRefused();
    void charactersKeepTheirByteCells_data();
    void charactersKeepTheirByteCells();
};

void TestViewerDrawer::cellsFollowTheResolution() {
    const CellMetrics m96 = CellMetrics::ForDpi(96, 96);
    QCOMPARE(m96.charPx, 8);
    QCOMPARE(m96.linePx, 15);
    const CellMetrics m192 = CellMetrics::ForDpi(192, 192);
    QCOMPARE(m192.charPx, 16);
    QCOMPARE(m192.linePx, 29);
}

void TestViewerDrawer::fixedTileReadsOnlyItsColumns() {
    FakeSource src;
    src.records = {"0123456789", "abcdefghij", "ABCDEFGHIJ", "zzzzzzzzzz"};
    SlideDrawer d(CellMetrics::ForDpi(96, 96));
    d.SetLogging(true);
    Slide s = MakeSlide(1, 3, 3, 6);
    bool error = false;
    QPixmap pic;
    QVERIFY(d.DrawSlide(s, src, error, pic));
    QVERIFY(s.Drawn);
    QVERIFY(!src.loading);
    QCOMPARE(pic.size(), QSize(4 * 8, 3 * 15));
    QCOMPARE(Texts(d), (QList<QByteArray>{"2345", "cdef", "CDEF"}));
    QCOMPARE(d.Log()[2].y, 2 * 15);
    QCOMPARE(d.Log()[2].record, 3);
    QCOMPARE(d.Log()[2].firstColumn, 3);
    QCOMPARE(d.Log()[2].imageIndex, 2);
    QCOMPARE(src.ReadCounts().moves, 3);
    QCOMPARE(src.ReadCounts().byteReads, 3);
    QCOMPARE(src.ReadCounts().textReads, 0);
}

void TestViewerDrawer::fixedTileShowsControlCharactersAsSpaces() {
    FakeSource src;
    src.records = {"AB\r\nCD\tE\x1e"};
    SlideDrawer d(CellMetrics::ForDpi(96, 96));
    d.SetLogging(true);
    Slide s = MakeSlide(1, 1, 1, 10);
    bool error = false;
    QPixmap pic;
    QVERIFY(d.DrawSlide(s, src, error, pic));
    QCOMPARE(Texts(d), (QList<QByteArray>{"ABCD E\x1e"}));
}

void TestViewerDrawer::engineErrorLeavesTileUndrawn() {
    FakeSource src;
    src.records = {"aaaa", "bbbb", "cccc"};
    bool error = false;
    src.errorAt = 2;
    src.errorFlag = &error;
    SlideDrawer d(CellMetrics::ForDpi(96, 96));
    d.SetLogging(true);
    Slide s = MakeSlide(1, 3, 1, 4);
    QPixmap pic;
    QVERIFY(!d.DrawSlide(s, src, error, pic));
    QVERIFY(!s.Drawn);
    QVERIFY(src.loading);  // stays raised after an abandoned tile
    QCOMPARE(Texts(d), (QList<QByteArray>{"aaaa"}));
}

void TestViewerDrawer::delimitedTilePadsAndStopsAtTheEnd() {
    FakeSource src;
    src.fixed = false;
    src.delimited = true;
    src.length = 8;
    src.records = {"a,bb", "ccc,d,e"};
    SlideDrawer d(CellMetrics::ForDpi(96, 96));
    d.SetLogging(true);
    Slide s = MakeSlide(1, 5, 1, 8);
    bool error = false;
    QPixmap pic;
    QVERIFY(d.DrawSlide(s, src, error, pic));
    QCOMPARE(s.LastRecord, 2);  // a counted delimited file clips the tile
    QCOMPARE(Texts(d), (QList<QByteArray>{"a,bb    ", "ccc,d,e "}));
    QCOMPARE(src.ReadCounts().textReads, 2);
    QCOMPARE(src.ReadCounts().byteReads, 0);

    // Still counting: the engine is asked one record past the tile, and the
    // loop stops where the file ends.
    src.counted = false;
    src.ResetCounts();
    d.ClearLog();
    Slide lazy = MakeSlide(1, 5, 1, 8);
    QVERIFY(d.DrawSlide(lazy, src, error, pic));
    QCOMPARE(lazy.LastRecord, 5);
    QCOMPARE(Texts(d).size(), 2);
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
    SlideDrawer d(CellMetrics::ForDpi(96, 96));
    d.SetLogging(true);
    Slide s = MakeSlide(1, 2, 2, 9);
    bool error = false;
    QPixmap pic;
    QVERIFY(d.DrawSlide(s, src, error, pic));
    QCOMPARE(Texts(d), (QList<QByteArray>{"nna Lyo1", "arthX  3"}));
}

void TestViewerDrawer::separatorsAndDividersAreDrawn() {
    FakeSource src;
    src.records = {"          ", "          "};
    src.names = true;
    src.fields = {{"A", 3, 2}, {"B", 8, 5}};
    SlideDrawer d(CellMetrics::ForDpi(96, 96));
    Slide s = MakeSlide(1, 2, 1, 10);
    bool error = false;
    QPixmap pic;
    QVERIFY(d.DrawSlide(s, src, error, pic));
    const QImage img = pic.toImage();
    const QRgb grey = qRgb(0x80, 0x80, 0x80);
    QCOMPARE(img.pixel(40, 15), grey);              // separator between the records
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
    QCOMPARE(one.height(), static_cast<int>(std::ceil(15 * 0.7)));
    QCOMPARE(three.height(), static_cast<int>(std::ceil(3 * 15 * 0.7)));
    QCOMPARE(one.toImage().pixel(0, 0), qRgb(0xC0, 0xC0, 0xC0));
}

void TestViewerDrawer::impossibleSlidesAreRefused() {
    FakeSource src;
    src.records = {"x"};
    SlideDrawer d(CellMetrics::ForDpi(96, 96));
    bool error = false;
    QPixmap pic;
    Slide bad = MakeSlide(0, 1, 1, 1);
    QVERIFY(!d.DrawSlide(bad, src, error, pic));
    Slide inverted = MakeSlide(1, 1, 5, 4);
    QVERIFY(!d.DrawSlide(inverted, src, error, pic));
    src.fixed = false;  // neither fixed nor delimited
    Slide ok = MakeSlide(1, 1, 1, 1);
    QVERIFY(!d.DrawSlide(ok, src, error, pic));
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
    SlideDrawer d(CellMetrics::ForDpi(96, 96));
    d.SetDisplayEncoding(utf8 ? DisplayEncoding::Utf8 : DisplayEncoding::Windows1252);
    d.SetLogging(true);
    Slide s = MakeSlide(1, 1, first, last);
    bool error = false;
    QPixmap pic;
    QVERIFY(d.DrawSlide(s, src, error, pic));
    QCOMPARE(d.Log().size(), size_t(1));
    const std::u32string& drawn = d.Log()[0].cells;
    QCOMPARE(QString::fromUcs4(drawn.data(), static_cast<qsizetype>(drawn.size())), cells);
    // A character beyond Latin-1 is drawn, not left blank.
    const int at = static_cast<int>(cells.indexOf(QChar(0x2018)));
    if (at >= 0) {
        const QImage img = pic.toImage();
        bool inked = false;
        for (int y = 0; y < 15; ++y)
            for (int x = at * 8; x < at * 8 + 8; ++x)
                inked |= img.pixel(x, y) != qRgb(255, 255, 255);
        QVERIFY(inked);
    }
}

QTEST_MAIN(TestViewerDrawer)
#include "tst_viewer_drawer.moc"
