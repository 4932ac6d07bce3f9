// Composing a view from the four tiles: which tiles are kept, which cells
// need drawing, how new tiles grow, and which tile is recycled.
#include <QRandomGenerator>
#include <QtTest>

#include "viewer/slides.h"

using namespace velmor::viewer;

namespace {
ViewRecord View(qint64 firstRecord, qint64 lastRecord, qint64 firstColumn, qint64 lastColumn) {
    ViewRecord v;
    v.FirstRecord = firstRecord;
    v.LastRecord = lastRecord;
    v.FirstColumn = firstColumn;
    v.LastColumn = lastColumn;
    v.CurrentRecord = firstRecord;
    return v;
}

ComposeLimits Limits(qint64 count = 1000, qint64 length = 500) {
    ComposeLimits l;
    l.maxSlideRows = 20;  // a screen of 10 lines of 20 cells
    l.maxSlideColumns = 40;
    l.fixedLayout = true;
    l.recordLength = length;
    l.recordCount = [count] { return count; };
    return l;
}

bool Compose(SlideSet& set, const ViewRecord& v, const ComposeLimits& l = Limits()) {
    return set.Compose(v, v.LastRecord - v.FirstRecord + 1, v.LastColumn - v.FirstColumn + 1, l);
}

/// Every cell of the view lies in a tile that is in use.
bool ViewCovered(const SlideSet& set, const ViewRecord& v) {
    for (qint64 r = v.FirstRecord; r <= v.LastRecord; ++r)
        for (qint64 c = v.FirstColumn; c <= v.LastColumn; ++c) {
            bool found = false;
            for (const Slide& s : set.Slides())
                found = found || (s.InUse && r >= s.FirstRecord && r <= s.LastRecord &&
                                  c >= s.FirstColumn && c <= s.LastColumn);
            if (!found) return false;
        }
    return true;
}

void MarkDrawn(SlideSet& set) {
    for (Slide& s : set.Slides())
        if (s.InUse) s.Drawn = true;
}

/// The four tiles in their order: "-" for an empty one, else its records
/// and columns, its image, and "new" (to draw), "shown" or "kept" (unused).
QString Describe(const SlideSet& set) {
    QStringList out;
    for (const Slide& s : set.Slides())
        out << (s.Empty() ? QStringLiteral("-")
                          : QStringLiteral("%1-%2/%3-%4#%5 %6")
                                .arg(s.FirstRecord)
                                .arg(s.LastRecord)
                                .arg(s.FirstColumn)
                                .arg(s.LastColumn)
                                .arg(s.ImageIndex)
                                .arg(!s.InUse ? "kept" : s.Drawn ? "shown" : "new"));
    return out.join(QStringLiteral(", "));
}
}  // namespace

class TestViewerSlides : public QObject {
    Q_OBJECT
private slots:
    // Drawn tiles (records and columns), the views shown one after another
    // (each drawn before the next), then the tiles and how many were erased.
    void compose_data() {
        QTest::addColumn<QList<QList<qint64>>>("tiles");
        QTest::addColumn<QList<QList<qint64>>>("views");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("erased");
        using L = QList<QList<qint64>>;
        const QList<qint64> screen{1, 10, 1, 20};
        // The first view is one tile twice the screen.
        const QString first = "-, -, -, 1-20/1-40#1 shown";
        QTest::newRow("first view") << L{} << L{screen} << "1-20/1-40#1 new, -, -, -" << 0;
        QTest::newRow("down one") << L{} << L{screen, {2, 11, 1, 20}} << first << 0;
        QTest::newRow("down a screen") << L{} << L{screen, {11, 20, 1, 20}} << first << 0;
        QTest::newRow("right a screen") << L{} << L{screen, {1, 10, 21, 40}} << first << 0;
        QTest::newRow("down and right") << L{} << L{screen, {6, 15, 11, 30}} << first << 0;
        // New tiles grow away from the tile they leave.
        QTest::newRow("down past the tile")
            << L{} << L{screen, {15, 24, 1, 20}} << "21-40/1-40#2 new, -, -, 1-20/1-40#1 shown" << 0;
        QTest::newRow("right past the tile")
            << L{} << L{screen, {1, 10, 35, 54}} << "1-20/41-80#2 new, -, -, 1-20/1-40#1 shown" << 0;
        QTest::newRow("up into the gap above a tile")
            << L{{21, 40, 1, 40}} << L{{15, 24, 1, 20}} << "1-20/1-40#2 new, -, -, 21-40/1-40#1 shown"
            << 0;
        // Four tiles around a hole would need a fifth: all erased, one rebuilt.
        QTest::newRow("fifth rectangle")
            << L{{1, 5, 1, 10}, {1, 5, 11, 20}, {6, 10, 1, 5}, {6, 10, 16, 20}} << L{screen}
            << "1-20/1-40#1 new, -, -, -" << 1;
        // An L-shaped gap needs two rectangles while only one tile is free.
        QTest::newRow("no tile for a second rectangle")
            << L{{1, 5, 1, 10}, {6, 10, 11, 20}, {10, 10, 20, 20}, {500, 510, 300, 320}} << L{screen}
            << "1-20/1-40#1 new, -, -, -" << 1;
        QTest::newRow("the farthest free tile is recycled")
            << L{{100, 119, 1, 40}, {300, 319, 1, 40}, {900, 919, 1, 40}, {200, 219, 1, 40}}
            << L{{50, 59, 1, 20}}
            << "100-119/1-40#1 kept, 200-219/1-40#4 kept, 300-319/1-40#2 kept, 50-69/1-40#3 new" << 0;
        // Empty tiles sort first and their images travel with them; a new
        // tile takes an empty one before a drawn one, else the farthest.
        QTest::newRow("empty tiles first")
            << L{{300, 319, 1, 40}, {100, 119, 1, 40}} << L{{100, 109, 1, 20}, {50, 59, 1, 20}}
            << "50-69/1-40#3 new, -, 100-119/1-40#2 kept, 300-319/1-40#1 kept" << 0;
    }

    void compose() {
        QFETCH(QList<QList<qint64>>, tiles);
        QFETCH(QList<QList<qint64>>, views);
        SlideSet set;
        for (qsizetype i = 0; i < tiles.size(); ++i) {
            Slide& s = set.Slides()[static_cast<size_t>(i)];
            s.FirstRecord = tiles[i][0];
            s.LastRecord = tiles[i][1];
            s.FirstColumn = tiles[i][2];
            s.LastColumn = tiles[i][3];
            s.Drawn = true;
        }
        const int erased = set.ErasedCount();
        for (const QList<qint64>& v : views) {
            MarkDrawn(set);
            QVERIFY(Compose(set, View(v[0], v[1], v[2], v[3])));
            QVERIFY(ViewCovered(set, View(v[0], v[1], v[2], v[3])));
        }
        QTEST(Describe(set), "expected");
        QTEST(set.ErasedCount() - erased, "erased");
    }

    void tilesStopAtTheFileEdges() {
        SlideSet set;
        QVERIFY(Compose(set, View(1, 10, 1, 20), Limits(12, 30)));
        QCOMPARE(Describe(set), QStringLiteral("1-12/1-30#1 new, -, -, -"));
        // A delimited file is asked to count one record past the tile.
        QList<qint64> asked;
        ComposeLimits lazy = Limits();
        lazy.fixedLayout = false;
        lazy.countTo = [&](qint64 n) {
            asked << n;
            return qint64(15);
        };
        SlideSet d;
        QVERIFY(Compose(d, View(1, 10, 1, 20), lazy));
        QCOMPARE(asked, QList<qint64>{21});
        QCOMPARE(d.Slides()[0].LastRecord, 15);
    }

    void placesTilesAgainstTheView() {
        SlideSet set;
        const auto place = [&](Slide& s, qint64 fr, qint64 lr, qint64 fc, qint64 lc,
                               const ViewRecord& v) {
            s.FirstRecord = fr;
            s.LastRecord = lr;
            s.FirstColumn = fc;
            s.LastColumn = lc;
            s.InUse = true;
            set.Place(v);
            return QList<qint64>{s.Left, s.ClipLeft, s.VisibleWidth,
                                 s.Top,  s.ClipTop,  s.VisibleHeight};
        };
        auto& s = set.Slides();
        QCOMPARE(place(s[0], 1, 20, 1, 40, View(6, 15, 11, 30)), (QList<qint64>{0, 10, 20, 0, 5, 10}));
        QCOMPARE(place(s[1], 21, 40, 41, 80, View(15, 24, 35, 54)),
                 (QList<qint64>{6, 0, 14, 6, 0, 4}));
    }

    void impossibleViewsChangeNothing() {
        SlideSet set;
        QVERIFY(!Compose(set, View(0, 10, 1, 20)));
        QVERIFY(!set.Compose(View(1, 10, 5, 4), 10, 1, Limits()));
        QCOMPARE(Describe(set), QStringLiteral("-, -, -, -"));
        QVERIFY(set.Compose(View(1, 10, 1, 20), 0, 20, Limits()));
    }

    void randomWalksAlwaysCoverTheView() {
        QRandomGenerator rng(7);
        SlideSet set;
        qint64 first = 1, column = 1;
        for (int step = 0; step < 400; ++step) {
            const int kind = rng.bounded(4);
            if (kind == 0) first += rng.bounded(-3, 4);
            if (kind == 1) first += rng.bounded(-25, 26);
            if (kind == 2) column += rng.bounded(-30, 31);
            if (kind == 3) first = rng.bounded(1, 990);
            first = std::clamp<qint64>(first, 1, 991);
            column = std::clamp<qint64>(column, 1, 481);
            const ViewRecord v = View(first, first + 9, column, column + 19);
            QVERIFY(Compose(set, v));
            QVERIFY2(ViewCovered(set, v), qPrintable(QString("step %1").arg(step)));
            for (const Slide& s : set.Slides())
                if (s.InUse) {
                    QVERIFY(s.FirstRecord >= 1 && s.LastRecord >= s.FirstRecord &&
                            s.LastRecord <= 1000);
                    QVERIFY(s.FirstColumn >= 1 && s.LastColumn >= s.FirstColumn &&
                            s.LastColumn <= 500);
                    QVERIFY(s.LastRecord - s.FirstRecord < 21);
                }
            MarkDrawn(set);
        }
    }
};

QTEST_GUILESS_MAIN(TestViewerSlides)
#include "tst_viewer_slides.moc"
