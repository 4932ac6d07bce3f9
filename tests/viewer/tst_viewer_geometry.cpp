// Screen metrics, view planning, scroll-bar scaling, the key table and the
// record box: the arithmetic behind every move of the viewer.
#include <QtTest>

#include "viewer/slidedrawer.h"
#include "viewer/viewgeometry.h"

using namespace velmor::viewer;

Q_DECLARE_METATYPE(velmor::viewer::ViewRecord)

namespace {
ScreenMetrics Screen(int rows, int columns) {
    ScreenMetrics m;
    m.rows = rows;
    m.columns = columns;
    m.maxSlideRows = 2 * rows;
    m.maxSlideColumns = 2 * columns;
    return m;
}

ViewRecord View(qint64 first, qint64 last, qint64 current, qint64 firstColumn = 1,
                qint64 lastColumn = 20) {
    ViewRecord v;
    v.FirstRecord = first;
    v.LastRecord = last;
    v.CurrentRecord = current;
    v.FirstColumn = firstColumn;
    v.LastColumn = lastColumn;
    return v;
}
}  // namespace

class TestViewerGeometry : public QObject {
    Q_OBJECT
private slots:
    void roundsHalvesToEven_data();
    void roundsHalvesToEven();
    void metricsFollowTheViewport_data();
    void metricsFollowTheViewport();
    void plansViews_data();
    void plansViews();
    void countsDelimitedFilesOnlyAsFarAsNeeded();
    void scalesScrollBars_data();
    void scalesScrollBars();
    void thumbFollowsPosition_data();
    void thumbFollowsPosition();
    void keyTable_data();
    void keyTable();
    void recordBox_data();
    void recordBox();
};

void TestViewerGeometry::roundsHalvesToEven_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<qint64>("expected");
    QTest::newRow("2.5") << 2.5 << qint64(2);
    QTest::newRow("3.5") << 3.5 << qint64(4);
    QTest::newRow("-2.5") << -2.5 << qint64(-2);
    QTest::newRow("2.4999") << 2.4999 << qint64(2);
    QTest::newRow("nan") << std::nan("") << qint64(0);
}

void TestViewerGeometry::roundsHalvesToEven() {
    QFETCH(double, value);
    QFETCH(qint64, expected);
    QCOMPARE(RoundEven(value), expected);
}

void TestViewerGeometry::metricsFollowTheViewport_data() {
    QTest::addColumn<double>("dpi");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("columns");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("maxColumns");
    QTest::addColumn<int>("maxRows");
    // At 96 dpi a cell is 8 by 15 pixels (1/12 in by 0.1528 in, rounded).
    QTest::newRow("ordinary") << 96.0 << 768 << 288 << 96 << 19 << 192 << 38;
    QTest::newRow("one pixel short of a line") << 96.0 << 767 << 539 << 95 << 35 << 190 << 70;
    QTest::newRow("whole lines") << 96.0 << 800 << 540 << 100 << 36 << 200 << 72;
    // At 144 dpi a cell is 12 by 22 pixels, at 192 dpi 16 by 29.
    QTest::newRow("144 dpi") << 144.0 << 1200 << 540 << 100 << 24 << 200 << 48;
    QTest::newRow("192 dpi") << 192.0 << 1600 << 540 << 100 << 18 << 200 << 36;
    QTest::newRow("one line") << 96.0 << 192 << 15 << 24 << 1 << 48 << 2;
    // Smaller than a line: still one line, and a tile holds two.
    QTest::newRow("too small") << 96.0 << 0 << 14 << 0 << 1 << 2 << 2;
}

void TestViewerGeometry::metricsFollowTheViewport() {
    QFETCH(double, dpi);
    QFETCH(int, width);
    QFETCH(int, height);
    const velmor::viewer::CellMetrics cells = velmor::viewer::CellMetrics::ForDpi(dpi, dpi);
    const ScreenMetrics m = ComputeMetrics(width, height, cells.charPx, cells.linePx);
    QTEST(m.columns, "columns");
    QTEST(m.rows, "rows");
    QTEST(m.maxSlideColumns, "maxColumns");
    QTEST(m.maxSlideRows, "maxRows");
}

void TestViewerGeometry::plansViews_data() {
    QTest::addColumn<ViewRecord>("cur");
    QTest::addColumn<qint64>("record");
    QTest::addColumn<qint64>("column");
    QTest::addColumn<bool>("keepRow");
    QTest::addColumn<qint64>("count");
    QTest::addColumn<qint64>("length");
    QTest::addColumn<qint64>("first");
    QTest::addColumn<qint64>("last");
    QTest::addColumn<qint64>("current");
    QTest::addColumn<qint64>("firstColumn");
    QTest::addColumn<qint64>("lastColumn");
    // Ten lines of twenty cells.
    QTest::newRow("first view") << ViewRecord{} << 1LL << 1LL << false << 100LL << 50LL << 1LL
                                << 10LL << 1LL << 1LL << 20LL;
    QTest::newRow("inside the view") << View(1, 10, 5) << 6LL << 1LL << false << 100LL << 50LL
                                     << 1LL << 10LL << 6LL << 1LL << 20LL;
    QTest::newRow("down past the bottom") << View(1, 10, 10) << 11LL << 1LL << false << 100LL
                                          << 50LL << 2LL << 11LL << 11LL << 1LL << 20LL;
    QTest::newRow("page down keeps the row") << View(1, 10, 5) << 15LL << 1LL << true << 100LL
                                             << 50LL << 11LL << 20LL << 15LL << 1LL << 20LL;
    QTest::newRow("up past the top") << View(11, 20, 11) << 10LL << 1LL << false << 100LL << 50LL
                                     << 10LL << 19LL << 10LL << 1LL << 20LL;
    QTest::newRow("page up keeps the row") << View(21, 30, 24) << 14LL << 1LL << true << 100LL
                                           << 50LL << 11LL << 20LL << 14LL << 1LL << 20LL;
    QTest::newRow("down on the last record") << View(91, 100, 100) << 101LL << 1LL << false << 100LL
                                             << 50LL << 91LL << 100LL << 100LL << 1LL << 20LL;
    QTest::newRow("far past the end") << View(1, 10, 1) << 5000LL << 1LL << true << 100LL << 50LL
                                      << 91LL << 100LL << 100LL << 1LL << 20LL;
    QTest::newRow("record 0 is 1") << View(11, 20, 15) << 0LL << 1LL << false << 100LL << 50LL
                                   << 1LL << 10LL << 1LL << 1LL << 20LL;
    QTest::newRow("page up at the top") << View(1, 10, 5) << -5LL << 1LL << true << 100LL << 50LL
                                        << 1LL << 10LL << 1LL << 1LL << 20LL;
    QTest::newRow("column near the end") << View(1, 10, 1) << 1LL << 45LL << false << 100LL << 50LL
                                         << 1LL << 10LL << 1LL << 31LL << 50LL;
    QTest::newRow("column 0 is 1") << View(1, 10, 1) << 1LL << -3LL << false << 100LL << 50LL << 1LL
                                   << 10LL << 1LL << 1LL << 20LL;
    QTest::newRow("record shorter than the screen")
        << View(1, 10, 1) << 1LL << 7LL << false << 100LL << 12LL << 1LL << 10LL << 1LL << 1LL
        << 12LL;
    QTest::newRow("fewer records than lines")
        << ViewRecord{} << 2LL << 1LL << false << 3LL << 50LL << 1LL << 3LL << 2LL << 1LL << 20LL;
}

void TestViewerGeometry::plansViews() {
    QFETCH(ViewRecord, cur);
    QFETCH(qint64, record);
    QFETCH(qint64, column);
    QFETCH(bool, keepRow);
    QFETCH(qint64, count);
    QFETCH(qint64, length);
    FileShape file{count, length, true, false, {}};
    const ViewPlan p = PlanView(cur, record, column, keepRow, Screen(10, 20), file);
    QTEST(p.first, "first");
    QTEST(p.last, "last");
    QTEST(p.current, "current");
    QTEST(p.firstColumn, "firstColumn");
    QTEST(p.lastColumn, "lastColumn");
    QCOMPARE(p.column, p.firstColumn);
}

void TestViewerGeometry::countsDelimitedFilesOnlyAsFarAsNeeded() {
    QList<qint64> asked;
    FileShape file{5, 40, false, true, [&](qint64 n) {
                       asked << n;
                       return std::min<qint64>(n, 1000);
                   }};
    ViewPlan p = PlanView(ViewRecord{}, 1, 1, false, Screen(10, 20), file);
    QCOMPARE(asked, QList<qint64>{11});
    QCOMPARE(p.last, 10);

    // A file that ends early: the view stops at its last record.
    asked.clear();
    FileShape small{2, 40, false, true, [&](qint64 n) {
                        asked << n;
                        return qint64(4);
                    }};
    p = PlanView(ViewRecord{}, 9, 1, false, Screen(10, 20), small);
    QCOMPARE(p.last, 4);
    QCOMPARE(p.current, 4);

    // An empty file has no current record.
    FileShape empty{0, 0, false, true, [](qint64) { return qint64(0); }};
    p = PlanView(ViewRecord{}, 1, 1, false, Screen(10, 20), empty);
    QCOMPARE(p.current, 0);
    QCOMPARE(p.first, 0);
}

void TestViewerGeometry::scalesScrollBars_data() {
    QTest::addColumn<bool>("vertical");
    QTest::addColumn<qint64>("extent");
    QTest::addColumn<bool>("visible");
    QTest::addColumn<QString>("tag");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<int>("smallChange");
    QTest::addColumn<int>("largeChange");
    // Horizontal: 20 cells per screen.
    QTest::newRow("h fits") << false << 20LL << false << QString() << 1 << 1 << 1;
    QTest::newRow("h short range") << false << 25LL << true << "1" << 6 << 1 << 1;
    QTest::newRow("h ten steps") << false << 29LL << true << "1" << 10 << 1 << 1;
    QTest::newRow("h plain") << false << 50LL << true << "1" << 31 << 1 << 3;
    QTest::newRow("h 5000") << false << 5019LL << true << "1" << 5000 << 1 << 500;
    QTest::newRow("h scaled") << false << 12019LL << true << "2.4" << 5000 << 1 << 500;
    // Vertical: 10 lines per screen; the range is the record count itself.
    QTest::newRow("v fits") << true << 10LL << false << QString() << 1 << 1 << 1;
    QTest::newRow("v small") << true << 20LL << true << "1" << 20 << 1 << 2;
    QTest::newRow("v plain") << true << 100LL << true << "1" << 100 << 3 << 10;
    QTest::newRow("v 5000") << true << 5000LL << true << "1" << 5000 << 143 << 500;
    QTest::newRow("v scaled") << true << 12345LL << true << "2.469" << 5000 << 143 << 500;
    QTest::newRow("v odd scale") << true << 1000007LL << true << "200.0014" << 5000 << 143 << 500;
}

void TestViewerGeometry::scalesScrollBars() {
    QFETCH(bool, vertical);
    QFETCH(qint64, extent);
    const ScrollSetup s = vertical ? PlanVScroll(extent, 10) : PlanHScroll(extent, 20);
    QTEST(s.visible, "visible");
    if (!s.visible) return;
    QTEST(s.tag, "tag");
    QTEST(s.maximum, "maximum");
    QTEST(s.smallChange, "smallChange");
    QTEST(s.largeChange, "largeChange");
    QCOMPARE(s.scale, ScaleFromTag(s.tag));
    QVERIFY(s.maximum <= 5001);
}

void TestViewerGeometry::thumbFollowsPosition_data() {
    QTest::addColumn<int>("maximum");
    QTest::addColumn<double>("scale");
    QTest::addColumn<qint64>("position");
    QTest::addColumn<int>("value");
    QTest::newRow("plain") << 100 << 1.0 << 50LL << 50;
    QTest::newRow("beyond the bar") << 100 << 1.0 << 150LL << 100;
    QTest::newRow("scaled end") << 5000 << 2.469 << 12345LL << 5000;
    QTest::newRow("scaled start is 1") << 5000 << 2.469 << 1LL << 1;
    QTest::newRow("scaled middle") << 5000 << 2.469 << 1234LL << 500;
}

void TestViewerGeometry::thumbFollowsPosition() {
    QFETCH(int, maximum);
    QFETCH(double, scale);
    QFETCH(qint64, position);
    QTEST(ThumbValue(maximum, scale, position), "value");
}

void TestViewerGeometry::keyTable_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");  // 1 ctrl, 2 shift, 3 both
    QTest::addColumn<bool>("handled");
    QTest::addColumn<qint64>("record");
    QTest::addColumn<qint64>("column");
    QTest::addColumn<bool>("keepRow");
    // R 50, B 10, N 100, L 200, 10 lines of 20 cells.
    QTest::newRow("ctrl down") << int(Qt::Key_Down) << 1 << true << 100LL << 10LL << false;
    QTest::newRow("ctrl wins over shift")
        << int(Qt::Key_Down) << 3 << true << 100LL << 10LL << false;
    QTest::newRow("shift down") << int(Qt::Key_Down) << 2 << true << 60LL << 10LL << true;
    QTest::newRow("down") << int(Qt::Key_Down) << 0 << true << 51LL << 10LL << false;
    QTest::newRow("ctrl up") << int(Qt::Key_Up) << 1 << true << 1LL << 10LL << false;
    QTest::newRow("shift up") << int(Qt::Key_Up) << 2 << true << 40LL << 10LL << true;
    QTest::newRow("up") << int(Qt::Key_Up) << 0 << true << 49LL << 10LL << false;
    QTest::newRow("ctrl right") << int(Qt::Key_Right) << 1 << true << 50LL << 200LL << true;
    QTest::newRow("shift right") << int(Qt::Key_Right) << 2 << true << 50LL << 30LL << true;
    QTest::newRow("right") << int(Qt::Key_Right) << 0 << true << 50LL << 11LL << true;
    QTest::newRow("ctrl left") << int(Qt::Key_Left) << 1 << true << 50LL << 1LL << true;
    QTest::newRow("shift left") << int(Qt::Key_Left) << 2 << true << 50LL << -10LL << true;
    QTest::newRow("left") << int(Qt::Key_Left) << 0 << true << 50LL << 9LL << true;
    QTest::newRow("page up") << int(Qt::Key_PageUp) << 1 << true << 40LL << 10LL << true;
    QTest::newRow("page down") << int(Qt::Key_PageDown) << 0 << true << 60LL << 10LL << true;
    QTest::newRow("home") << int(Qt::Key_Home) << 2 << true << 1LL << 1LL << true;
    QTest::newRow("end") << int(Qt::Key_End) << 0 << true << 100LL << 200LL << true;
    QTest::newRow("escape") << int(Qt::Key_Escape) << 0 << false << 0LL << 0LL << false;
    QTest::newRow("tab") << int(Qt::Key_Tab) << 0 << false << 0LL << 0LL << false;
    QTest::newRow("letter") << int(Qt::Key_A) << 0 << false << 0LL << 0LL << false;
}

void TestViewerGeometry::keyTable() {
    QFETCH(int, key);
    QFETCH(int, modifiers);
    const KeyMove m =
        MoveForKey(key, modifiers & 1, modifiers & 2, 50, 10, 100, 200, Screen(10, 20));
    QTEST(m.handled, "handled");
    if (!m.handled) return;
    QTEST(m.record, "record");
    QTEST(m.column, "column");
    QTEST(m.keepRow, "keepRow");
}

void TestViewerGeometry::recordBox_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("record");
    QTest::addColumn<QString>("shown");
    QTest::newRow("thousands") << "1,234" << 1234LL << "1,234";
    QTest::newRow("three digits") << "999" << 999LL << "999";
    QTest::newRow("six digits") << "123456" << 123456LL << "123,456";
    QTest::newRow("millions") << "1234567" << 1234567LL << "1,234,567";
    QTest::newRow("nine digits") << "987654321" << 987654321LL << "987,654,321";
    QTest::newRow("letters") << "abc" << 0LL << "";
    QTest::newRow("empty") << "" << 0LL << "";
    QTest::newRow("half down to even") << "12.5" << 12LL << "12";
    QTest::newRow("half up to even") << "13.5" << 14LL << "14";
    QTest::newRow("leading blanks") << "  7" << 7LL << "7";
    QTest::newRow("number then letters") << "42abc" << 42LL << "42";
}

// What the record box's text asks for, and how a record number is shown.
void TestViewerGeometry::recordBox() {
    QFETCH(QString, text);
    QFETCH(qint64, record);
    QCOMPARE(RecordFromBoxText(text), record);
    QTEST(FormatRecordNumber(record), "shown");
}

QTEST_GUILESS_MAIN(TestViewerGeometry)
#include "tst_viewer_geometry.moc"
