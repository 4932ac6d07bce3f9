// Screen metrics, view planning, scroll-bar scaling, the key table, the
// record box and field-name mode's column map: the arithmetic behind every
// move of the viewer.
#include <QAbstractSlider>
#include <QTemporaryDir>
#include <QtTest>

#include "data/copybookfields.h"
#include "data/file.h"
#include "viewer/recordsource.h"
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

// Numbers joined by blanks: one comparison shows every value of a case.
QString Numbers(std::initializer_list<qint64> values) {
    QStringList parts;
    for (qint64 v : values) parts << QString::number(v);
    return parts.join(' ');
}
}  // namespace

class TestViewerGeometry : public QObject {
    Q_OBJECT
private slots:
    void roundsHalvesToEven() {
        const std::pair<double, qint64> cases[] = {
            {2.5, 2}, {3.5, 4}, {-2.5, -2}, {2.4999, 2}, {std::nan(""), 0}};
        for (const auto& [value, expected] : cases) QCOMPARE(RoundEven(value), expected);
    }

    void metricsFollowTheViewport() {
        // At 96 dpi a cell is 8 by 15 pixels (1/12 in by 0.1528 in, rounded),
        // at 144 dpi 12 by 22, at 192 dpi 16 by 29.
        const struct {
            double dpi;
            int width, height;
            const char* expected;  // columns rows, tile columns and rows
        } cases[] = {
            {96, 768, 288, "96 19 192 38"},
            {96, 767, 539, "95 35 190 70"},  // one pixel short of a line
            {144, 1200, 540, "100 24 200 48"},
            {192, 1600, 540, "100 18 200 36"},
            {96, 192, 15, "24 1 48 2"},
            {96, 0, 14, "0 1 2 2"},  // smaller than a line: still one, and a tile holds two
        };
        for (const auto& c : cases) {
            const CellMetrics cells = CellMetrics::ForDpi(c.dpi, c.dpi);
            const ScreenMetrics m = ComputeMetrics(c.width, c.height, cells.charPx, cells.linePx);
            QCOMPARE(Numbers({m.columns, m.rows, m.maxSlideColumns, m.maxSlideRows}),
                     QString(c.expected));
        }
    }

    void plansViews() {
        // Ten lines of twenty cells, a file of Count records of Length cells.
        const struct {
            ViewRecord cur;
            qint64 record, column;
            bool keepRow;
            qint64 count, length;
            const char* expected;  // what: first last current, first and last column
        } cases[] = {
            {ViewRecord{}, 1, 1, false, 100, 50, "first view: 1 10 1 1 20"},
            {View(1, 10, 5), 6, 1, false, 100, 50, "inside the view: 1 10 6 1 20"},
            {View(1, 10, 10), 11, 1, false, 100, 50, "down past the bottom: 2 11 11 1 20"},
            {View(1, 10, 5), 15, 1, true, 100, 50, "page down keeps the row: 11 20 15 1 20"},
            {View(11, 20, 11), 10, 1, false, 100, 50, "up past the top: 10 19 10 1 20"},
            {View(21, 30, 24), 14, 1, true, 100, 50, "page up keeps the row: 11 20 14 1 20"},
            {View(91, 100, 100), 101, 1, false, 100, 50, "down on the last: 91 100 100 1 20"},
            {View(1, 10, 1), 5000, 1, true, 100, 50, "far past the end: 91 100 100 1 20"},
            {View(11, 20, 15), 0, 1, false, 100, 50, "record 0 is 1: 1 10 1 1 20"},
            {View(1, 10, 5), -5, 1, true, 100, 50, "page up at the top: 1 10 1 1 20"},
            {View(1, 10, 1), 1, 45, false, 100, 50, "column near the end: 1 10 1 31 50"},
            {View(1, 10, 1), 1, -3, false, 100, 50, "column 0 is 1: 1 10 1 1 20"},
            {View(1, 10, 1), 1, 7, false, 100, 12, "record shorter than the screen: 1 10 1 1 12"},
            {ViewRecord{}, 2, 1, false, 3, 50, "fewer records than lines: 1 3 2 1 20"},
        };
        for (const auto& c : cases) {
            FileShape file{c.count, c.length, true, false, {}};
            const ViewPlan p = PlanView(c.cur, c.record, c.column, c.keepRow, Screen(10, 20), file);
            const QString what = QString(c.expected).section(':', 0, 0);
            QCOMPARE(
                what + ": " + Numbers({p.first, p.last, p.current, p.firstColumn, p.lastColumn}),
                QString(c.expected));
            QCOMPARE(p.column, p.firstColumn);
        }
    }

    void countsDelimitedFilesOnlyAsFarAsNeeded() {
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

    void scalesScrollBars() {
        // Horizontal: 20 cells per screen; vertical: 10 lines, the range is
        // the record count itself. Expected: tag maximum, small and large change.
        const struct {
            bool vertical;
            qint64 extent;
            const char* expected;
        } cases[] = {
            {false, 20, "hidden"},
            {false, 25, "1: 6 1 1"},
            {false, 29, "1: 10 1 1"},
            {false, 50, "1: 31 1 3"},
            {false, 5019, "1: 5000 1 500"},
            {false, 12019, "2.4: 5000 1 500"},
            {true, 10, "hidden"},
            {true, 20, "1: 20 1 2"},
            {true, 100, "1: 100 3 10"},
            {true, 5000, "1: 5000 143 500"},
            {true, 12345, "2.469: 5000 143 500"},
            {true, 1000007, "200.0014: 5000 143 500"},
        };
        for (const auto& c : cases) {
            const ScrollSetup s =
                c.vertical ? PlanVScroll(c.extent, 10) : PlanHScroll(c.extent, 20);
            QCOMPARE(s.visible ? s.tag + ": " + Numbers({s.maximum, s.smallChange, s.largeChange})
                               : QString("hidden"),
                     QString(c.expected));
            QCOMPARE(s.scale, ScaleFromTag(s.tag));
        }
        // The thumb: plain, beyond the bar, and scaled (end, start, middle).
        QCOMPARE(ThumbValue(100, 1.0, 50), 50);
        QCOMPARE(ThumbValue(100, 1.0, 150), 100);
        QCOMPARE(ThumbValue(5000, 2.469, 12345), 5000);
        QCOMPARE(ThumbValue(5000, 2.469, 1), 1);
        QCOMPARE(ThumbValue(5000, 2.469, 1234), 500);
    }

    void keyTable() {
        // At record 50, column 10, of 100 records of 200 cells; 10 lines of 20
        // cells. Modifiers: 1 ctrl, 2 shift, 3 both. Expected: record column
        // keepRow, with the key's name.
        const struct {
            int key, modifiers;
            const char* expected;
        } cases[] = {
            {Qt::Key_Down, 1, "ctrl down: 100 10 0"},   {Qt::Key_Down, 3, "ctrl wins: 100 10 0"},
            {Qt::Key_Down, 2, "shift down: 60 10 1"},   {Qt::Key_Down, 0, "down: 51 10 0"},
            {Qt::Key_Up, 2, "shift up: 40 10 1"},       {Qt::Key_Up, 0, "up: 49 10 0"},
            {Qt::Key_Right, 1, "ctrl right: 50 200 1"}, {Qt::Key_Right, 2, "shift right: 50 30 1"},
            {Qt::Key_Right, 0, "right: 50 11 1"},       {Qt::Key_Left, 1, "ctrl left: 50 1 1"},
            {Qt::Key_Left, 2, "shift left: 50 -10 1"},  {Qt::Key_Left, 0, "left: 50 9 1"},
            {Qt::Key_PageUp, 1, "page up: 40 10 1"},    {Qt::Key_PageDown, 0, "page down: 60 10 1"},
            {Qt::Key_Home, 2, "home: 1 1 1"},           {Qt::Key_End, 0, "end: 100 200 1"},
            {Qt::Key_Escape, 0, "escape: unhandled"},   {Qt::Key_A, 0, "letter: unhandled"},
        };
        for (const auto& c : cases) {
            const KeyMove m = MoveForKey(c.key, c.modifiers & 1, c.modifiers & 2, 50, 10, 100, 200,
                                         Screen(10, 20));
            const QString what = QString(c.expected).section(':', 0, 0) + ": ";
            QCOMPARE(what + (m.handled ? Numbers({m.record, m.column, m.keepRow}) : "unhandled"),
                     QString(c.expected));
        }
    }

    // What the record box's text asks for, and how a record number is shown.
    void recordBox() {
        const struct {
            const char* text;
            qint64 record;
            const char* shown;
        } cases[] = {
            {"1,234", 1234, "1,234"}, {"987654321", 987654321, "987,654,321"}, {"abc", 0, ""},
            {"12.5", 12, "12"},  // halves to even
            {"13.5", 14, "14"},       {"  7", 7, "7"},  {"42abc", 42, "42"},
        };
        for (const auto& c : cases) {
            QCOMPARE(RecordFromBoxText(c.text), c.record);
            QCOMPARE(FormatRecordNumber(c.record), QString(c.shown));
        }
    }

    void barAndWheelSteps() {
        // A bar action (or 0 for the wheel), the wheel's angle deltas in
        // eighths of a degree, the desktop's lines per notch, records moved.
        const struct {
            int action;
            QList<int> wheel;
            int lines;
            qint64 records;
        } cases[] = {
            {QAbstractSlider::SliderSingleStepAdd, {}, 3, 1},
            {QAbstractSlider::SliderSingleStepSub, {}, 3, -1},
            {QAbstractSlider::SliderPageStepAdd, {}, 3, 20},
            {QAbstractSlider::SliderPageStepSub, {}, 3, -20},
            {QAbstractSlider::SliderMove, {}, 3, 0},  // a drag goes by the thumb's position
            {0, {-120}, 3, 3},
            {0, {120, 120}, 3, -6},
            {0, {-120}, 5, 5},
            {0, {-40, -40, -40}, 3, 3},  // a fine wheel adds up
            {0, {-20}, 3, 0},
        };
        for (const auto& c : cases) {
            qint64 moved = BarActionStep(c.action, 20);
            int remainder = 0;
            for (int delta : c.wheel) moved += WheelRecords(delta, c.lines, remainder);
            QCOMPARE(moved, c.records);
        }
    }

    void repeatedKeysKeepOneMovePending() {
        PendingMove pending;
        QCOMPARE(pending.From(7, 3), (std::pair<qint64, qint64>(7, 3)));
        QVERIFY(pending.Put({true, 8, 3, false}));   // the first asks for one redraw
        QVERIFY(!pending.Put({true, 28, 3, true}));  // the next only moves its target
        QCOMPARE(pending.From(7, 3), (std::pair<qint64, qint64>(28, 3)));
        const KeyMove move = pending.Take();
        QCOMPARE(move.record, 28);
        QVERIFY(move.keepRow);
        QVERIFY(!pending.Pending());
        QVERIFY(pending.Put({true, 29, 3, false}));
    }

    void typedFieldsTakeTheirWidestValue() {
        const struct {
            const char* clause;
            qint64 width;  // "-1234567.89" and the like
        } cases[] = {
            {"PIC S9(7)V99 COMP-3", 11}, {"PIC 9(7)V99 COMP-3", 10}, {"PIC S9(9) COMP", 11},
            {"PIC 9(4) COMP", 5},  // 65535: what two bytes hold
            {"PIC S9(18) COMP", 21}, {"PIC S9(4) COMP-5", 6}, {"PIC S9(5)", 6},
            {"PIC 9(5)", 5}, {"PIC S9(3) SIGN LEADING SEPARATE", 4}, {"PIC 9(3)PP", 5},
            {"PIC SVPP99 COMP-3", 7},  // -0.0099
            {"PIC -(4)9.99", 8}, {"PIC X(7)", 7}, {"COMP-2", 24},
        };
        for (const auto& c : cases) {
            velmor::data::Fields fields;
            std::string error;
            std::vector<std::string> notes;
            QVERIFY2(velmor::data::ImportCopybook(std::string("       01 R.\n           05 A ") + c.clause + ".\n",
                                                  {}, fields, error, notes),
                     error.c_str());
            const velmor::data::Field& f = *fields.Item(1);
            QVERIFY2(ColumnWidth(f.Format(), f.Length()) == c.width, c.clause);
        }
    }

    void columnMapGoesBothWays() {
        // Bytes 1-3 text, 4-8 a packed number of 11 columns, 9-10 text, 11-12
        // a number of 2 columns as its bytes, 13-16 a binary one of 3
        // columns (narrower), 17-20 a field redefining 13-16, and beyond.
        const ColumnMap map({{1, 3, 3, false}, {4, 5, 11, true}, {9, 2, 2, false},
                             {11, 2, 2, true}, {13, 4, 3, true}, {13, 8, 8, true}});
        const struct {
            qint64 byte, column, last, back;  // ColumnOfByte, LastColumnOfByte, ByteOfColumn(column)
        } bytes[] = {{1, 1, 1, 1},    {3, 3, 3, 3},     {4, 4, 4, 4},     {6, 6, 6, 6},
                     {8, 8, 14, 8},   {9, 15, 15, 9},   {12, 18, 18, 12}, {13, 19, 19, 13},
                     {15, 21, 21, 15}, {16, 21, 21, 15}, {17, 22, 22, 17}, {30, 35, 35, 30}};
        for (const auto& b : bytes) {
            QCOMPARE(Numbers({map.ColumnOfByte(b.byte), map.LastColumnOfByte(b.byte),
                              map.ByteOfColumn(map.ColumnOfByte(b.byte))}),
                     Numbers({b.column, b.last, b.back}));
        }
        // Every column of the wide field shows one of its bytes, its last
        // columns the last byte; a column round-trips through its byte when
        // the field is at least as wide as its bytes.
        const qint64 columns[][2] = {{9, 8}, {14, 8}, {15, 9}, {7, 7}};
        for (const auto& c : columns) QCOMPARE(map.ByteOfColumn(c[0]), c[1]);
        QCOMPARE(map.Columns(20), 25);
        QCOMPARE(map.Columns(0), 0);
        QVERIFY(ColumnMap({{1, 4, 4, true}, {5, 2, 2, false}}).Identity());
        QVERIFY(!map.Identity());
        // The line of a record: bytes where they stand, values right-aligned.
        const std::vector<std::string> values = {"", "-1234.50", "", "7", "-99999", ""};
        const std::string line = map.Line("abcPPPPPXY12BBBBwxyz", 20,
                                          [&](std::size_t i) { return values[i]; });
        QCOMPARE(QByteArray::fromStdString(line), QByteArray("abc   -1234.50XY 7###wxyz"));
    }

    void engineSourceShowsTypedFieldsInTheirColumns() {
        // An EBCDIC record: a name, a packed -1234.50 (4 bytes, 9 columns)
        // and a binary 1234567890 (4 bytes, 11 columns).
        QTemporaryDir dir;
        const QString path = dir.filePath("typed.dat");
        QFile out(path);
        QVERIFY(out.open(QIODevice::WriteOnly));
        const QByteArray record = QByteArray::fromHex("C1C2C3 0123450D 499602D2");
        out.write(record + record);
        out.close();
        velmor::data::File file;
        QVERIFY(file.Open(path.toStdString()));
        velmor::data::Connection c;
        file.CopyConnectionTo(c);
        c.SetDatabaseTypeName("Flat EBCDIC");
        c.SetIsDelimited(false);
        c.SetIsFixed(true);
        c.SetByteOffset(0);
        c.SetRecordLength(11);
        file.CopyConnectionFrom(c);
        std::string error;
        std::vector<std::string> notes;
        QVERIFY(velmor::data::ImportCopybook("       01 R.\n           05 N PIC X(3).\n"
                                             "           05 P PIC S9(5)V99 COMP-3.\n"
                                             "           05 B PIC S9(9) BINARY.\n",
                                             {}, file.GetFields(), error, notes));
        EngineRecordSource source(file);
        file.SetShowFieldNames(false);
        source.Settle();
        QCOMPARE(Numbers({source.RecordLength(), source.Field(3).start, source.Field(3).length}),
                 Numbers({11, 8, 4}));
        // Field-name mode: the position on byte 8 (the binary field) moves to
        // its column, and back again in byte-bar mode.
        file.SetBytePosition(8);
        file.SetShowFieldNames(true);
        source.Settle();
        QCOMPARE(Numbers({source.RecordLength(), source.Field(2).start, source.Field(2).length,
                          source.Field(3).start, source.Field(3).length, file.BytePosition()}),
                 Numbers({23, 4, 9, 13, 11, 13}));
        file.SetShowFieldNames(false);
        source.Settle();
        QCOMPARE(file.BytePosition(), 8);
    }

    void dialogsCentreOnTheirOwner() {
        const QRect screen(0, 0, 1024, 768);
        QCOMPARE(CentredOn(QRect(100, 50, 800, 600), QSize(400, 200), screen), QPoint(300, 250));
        // Near an edge of the screen the window stays whole on it.
        QCOMPARE(CentredOn(QRect(-300, 600, 400, 300), QSize(400, 200), screen), QPoint(0, 568));
        QCOMPARE(CentredOn(QRect(0, 0, 200, 100), QSize(400, 200), QRect()), QPoint(-100, -50));
    }
};

QTEST_GUILESS_MAIN(TestViewerGeometry)
#include "tst_viewer_geometry.moc"
