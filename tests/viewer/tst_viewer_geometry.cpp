// Screen metrics, view planning, scroll-bar scaling, the key table and the
// record box: the arithmetic behind every move of the viewer.
#include <QAbstractSlider>
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
    void barAndWheelSteps_data();
    void barAndWheelSteps();
    void repeatedKeysKeepOneMovePending();
    void dialogsCentreOnTheirOwner();
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
    const auto row = [](const char* tag, ViewRecord cur, qint64 record, qint64 column, bool keepRow,
                        qint64 count, qint64 length, qint64 first, qint64 last, qint64 current,
                        qint64 firstColumn, qint64 lastColumn) {
        QTest::newRow(tag) << cur << record << column << keepRow << count << length << first << last
                           << current << firstColumn << lastColumn;
    };
    row("first view", ViewRecord{}, 1, 1, false, 100, 50, 1, 10, 1, 1, 20);
    row("inside the view", View(1, 10, 5), 6, 1, false, 100, 50, 1, 10, 6, 1, 20);
    row("down past the bottom", View(1, 10, 10), 11, 1, false, 100, 50, 2, 11, 11, 1, 20);
    row("page down keeps the row", View(1, 10, 5), 15, 1, true, 100, 50, 11, 20, 15, 1, 20);
    row("up past the top", View(11, 20, 11), 10, 1, false, 100, 50, 10, 19, 10, 1, 20);
    row("page up keeps the row", View(21, 30, 24), 14, 1, true, 100, 50, 11, 20, 14, 1, 20);
    row("down on the last record", View(91, 100, 100), 101, 1, false, 100, 50, 91, 100, 100, 1, 20);
    row("far past the end", View(1, 10, 1), 5000, 1, true, 100, 50, 91, 100, 100, 1, 20);
    row("record 0 is 1", View(11, 20, 15), 0, 1, false, 100, 50, 1, 10, 1, 1, 20);
    row("page up at the top", View(1, 10, 5), -5, 1, true, 100, 50, 1, 10, 1, 1, 20);
    row("column near the end", View(1, 10, 1), 1, 45, false, 100, 50, 1, 10, 1, 31, 50);
    row("column 0 is 1", View(1, 10, 1), 1, -3, false, 100, 50, 1, 10, 1, 1, 20);
    row("record shorter than the screen", View(1, 10, 1), 1, 7, false, 100, 12, 1, 10, 1, 1, 12);
    row("fewer records than lines", ViewRecord{}, 2, 1, false, 3, 50, 1, 3, 2, 1, 20);
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

void TestViewerGeometry::barAndWheelSteps_data() {
    QTest::addColumn<int>("action");  // a QAbstractSlider::SliderAction, or 0 for the wheel
    QTest::addColumn<QList<int>>("wheel");  // angle deltas, in eighths of a degree
    QTest::addColumn<int>("lines");         // the desktop's lines per notch
    QTest::addColumn<qint64>("records");
    const QList<int> none;
    QTest::newRow("arrow down") << int(QAbstractSlider::SliderSingleStepAdd) << none << 3 << 1LL;
    QTest::newRow("arrow up") << int(QAbstractSlider::SliderSingleStepSub) << none << 3 << -1LL;
    QTest::newRow("page area below") << int(QAbstractSlider::SliderPageStepAdd) << none << 3 << 20LL;
    QTest::newRow("page area above") << int(QAbstractSlider::SliderPageStepSub) << none << 3 << -20LL;
    QTest::newRow("drag: the thumb's position") << int(QAbstractSlider::SliderMove) << none << 3 << 0LL;
    QTest::newRow("one notch away") << 0 << QList<int>{-120} << 3 << 3LL;
    QTest::newRow("two notches back") << 0 << QList<int>{120, 120} << 3 << -6LL;
    QTest::newRow("desktop's own setting") << 0 << QList<int>{-120} << 5 << 5LL;
    QTest::newRow("fine wheel adds up") << 0 << QList<int>{-40, -40, -40} << 3 << 3LL;
    QTest::newRow("less than a line") << 0 << QList<int>{-20} << 3 << 0LL;
}

void TestViewerGeometry::barAndWheelSteps() {
    QFETCH(int, action);
    QFETCH(QList<int>, wheel);
    QFETCH(int, lines);
    qint64 moved = BarActionStep(action, 20);
    int remainder = 0;
    for (int delta : wheel) moved += WheelRecords(delta, lines, remainder);
    QTEST(moved, "records");
}

void TestViewerGeometry::repeatedKeysKeepOneMovePending() {
    PendingMove pending;
    QCOMPARE(pending.From(7, 3), (std::pair<qint64, qint64>(7, 3)));
    QVERIFY(pending.Put({true, 8, 3, false}));    // the first asks for one redraw
    QVERIFY(!pending.Put({true, 28, 3, true}));   // the next only moves its target
    QCOMPARE(pending.From(7, 3), (std::pair<qint64, qint64>(28, 3)));
    const KeyMove move = pending.Take();
    QCOMPARE(move.record, 28);
    QVERIFY(move.keepRow);
    QVERIFY(!pending.Pending());
    QVERIFY(pending.Put({true, 29, 3, false}));
}

void TestViewerGeometry::dialogsCentreOnTheirOwner() {
    const QRect screen(0, 0, 1024, 768);
    QCOMPARE(CentredOn(QRect(100, 50, 800, 600), QSize(400, 200), screen), QPoint(300, 250));
    // Near an edge of the screen the window stays whole on it.
    QCOMPARE(CentredOn(QRect(-300, 600, 400, 300), QSize(400, 200), screen), QPoint(0, 568));
    QCOMPARE(CentredOn(QRect(0, 0, 200, 100), QSize(400, 200), QRect()), QPoint(-100, -50));
}

QTEST_GUILESS_MAIN(TestViewerGeometry)
#include "tst_viewer_geometry.moc"
