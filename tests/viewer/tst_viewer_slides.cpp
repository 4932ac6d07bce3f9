// Composing a view from the four tiles: which tiles are kept, which cells
// need drawing, how new tiles grow, and which tile is recycled.
#include <QRandomGenerator>
#include <QtTest>

#include "viewer/slides.h"

using namespace velmor::viewer;

Q_DECLARE_METATYPE(velmor::viewer::ViewRecord)

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

void SetSlide(Slide& s, qint64 fr, qint64 lr, qint64 fc, qint64 lc) {
    s.FirstRecord = fr;
    s.LastRecord = lr;
    s.FirstColumn = fc;
    s.LastColumn = lc;
    s.Drawn = true;
}

bool Compose(SlideSet& set, const ViewRecord& v, const ComposeLimits& l = Limits()) {
    return set.Compose(v, v.LastRecord - v.FirstRecord + 1, v.LastColumn - v.FirstColumn + 1, l);
}

int InUse(const SlideSet& set, bool undrawnOnly = false) {
    int n = 0;
    for (const Slide& s : set.Slides()) n += s.InUse && !(undrawnOnly && s.Drawn);
    return n;
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
}  // namespace

class TestViewerSlides : public QObject {
    Q_OBJECT
private slots:
    void movesWithinTheTileNeedNoDrawing_data() {
        QTest::addColumn<ViewRecord>("next");
        QTest::newRow("down one") << View(2, 11, 1, 20);
        QTest::newRow("down a screen") << View(11, 20, 1, 20);
        QTest::newRow("right a screen") << View(1, 10, 21, 40);
        QTest::newRow("both") << View(6, 15, 11, 30);
    }

    void movesWithinTheTileNeedNoDrawing() {
        QFETCH(ViewRecord, next);
        SlideSet set;
        Compose(set, View(1, 10, 1, 20));
        MarkDrawn(set);
        QVERIFY(Compose(set, next));
        QCOMPARE(InUse(set, true), 0);
        QCOMPARE(InUse(set), 1);
        QVERIFY(ViewCovered(set, next));
    }

    void newTilesGrowAwayFromExistingOnes_data() {
        QTest::addColumn<ViewRecord>("next");
        QTest::addColumn<qint64>("firstRecord");
        QTest::addColumn<qint64>("lastRecord");
        QTest::addColumn<qint64>("firstColumn");
        QTest::addColumn<qint64>("lastColumn");
        // The first view is one tile twice the screen (records 1..20, columns
        // 1..40); then, after that tile:
        QTest::newRow("first view") << View(1, 10, 1, 20) << 1LL << 20LL << 1LL << 40LL;
        QTest::newRow("down past the tile") << View(15, 24, 1, 20) << 21LL << 40LL << 1LL << 40LL;
        QTest::newRow("right past the tile") << View(1, 10, 35, 54) << 1LL << 20LL << 41LL << 80LL;
    }

    void newTilesGrowAwayFromExistingOnes() {
        QFETCH(ViewRecord, next);
        const bool first = QByteArray(QTest::currentDataTag()) == "first view";
        SlideSet set;
        if (!first) Compose(set, View(1, 10, 1, 20));
        MarkDrawn(set);
        QVERIFY(Compose(set, next));
        QCOMPARE(InUse(set), first ? 1 : 2);
        QCOMPARE(InUse(set, true), 1);
        for (const Slide& s : set.Slides()) {
            if (!s.InUse || s.Drawn) continue;
            QTEST(s.FirstRecord, "firstRecord");
            QTEST(s.LastRecord, "lastRecord");
            QTEST(s.FirstColumn, "firstColumn");
            QTEST(s.LastColumn, "lastColumn");
        }
        QVERIFY(ViewCovered(set, next));

        // Scrolling up into a gap above a tile grows the new tile upwards.
        SlideSet up;
        SetSlide(up.Slides()[0], 21, 40, 1, 40);
        QVERIFY(Compose(up, View(15, 24, 1, 20)));
        for (const Slide& s : up.Slides())
            if (s.InUse && !s.Drawn) {
                QCOMPARE(s.LastRecord, 20);
                QCOMPARE(s.FirstRecord, 1);
            }
    }

    void tilesStopAtTheFileEdges() {
        SlideSet set;
        QVERIFY(Compose(set, View(1, 10, 1, 20), Limits(12, 30)));
        const Slide& s = set.Slides()[0];
        QCOMPARE(s.LastRecord, 12);
        QCOMPARE(s.LastColumn, 30);

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

    void fifthRectangleErasesAndRebuilds() {
        SlideSet set;
        auto& s = set.Slides();
        // Four tiles around a hole in the middle of the view.
        SetSlide(s[0], 1, 5, 1, 10);
        SetSlide(s[1], 1, 5, 11, 20);
        SetSlide(s[2], 6, 10, 1, 5);
        SetSlide(s[3], 6, 10, 16, 20);
        const int erasedBefore = set.ErasedCount();
        const ViewRecord v = View(1, 10, 1, 20);
        QVERIFY(Compose(set, v));
        QCOMPARE(set.ErasedCount(), erasedBefore + 1);
        QCOMPARE(InUse(set), 1);
        QCOMPARE(InUse(set, true), 1);
        QVERIFY(ViewCovered(set, v));
        int empty = 0;
        for (const Slide& x : s) empty += x.Empty();
        QCOMPARE(empty, 3);
    }

    void noFreeTileForASecondRectangleStillCoversAll() {
        SlideSet set;
        auto& s = set.Slides();
        // Three tiles in use leave an L-shaped gap that needs two rectangles,
        // while only one tile is free.
        SetSlide(s[0], 1, 5, 1, 10);
        SetSlide(s[1], 6, 10, 11, 20);
        SetSlide(s[2], 10, 10, 20, 20);
        SetSlide(s[3], 500, 510, 300, 320);
        const ViewRecord v = View(1, 10, 1, 20);
        QVERIFY(Compose(set, v));
        QVERIFY(ViewCovered(set, v));
    }

    void recyclesTheFarthestFreeTile() {
        SlideSet set;
        auto& s = set.Slides();
        SetSlide(s[0], 100, 119, 1, 40);
        SetSlide(s[1], 300, 319, 1, 40);
        SetSlide(s[2], 900, 919, 1, 40);
        SetSlide(s[3], 200, 219, 1, 40);
        const int farIndex = s[2].ImageIndex;
        QVERIFY(Compose(set, View(50, 59, 1, 20)));
        for (const Slide& x : s)
            if (x.InUse) {
                QCOMPARE(x.ImageIndex, farIndex);
                QCOMPARE(x.FirstRecord, 50);
            }
        QCOMPARE(InUse(set), 1);
    }

    void emptyTilesGoFirstAndIndexesTravel() {
        SlideSet set;
        auto& s = set.Slides();
        SetSlide(s[0], 300, 319, 1, 40);
        SetSlide(s[1], 100, 119, 1, 40);
        const int second = s[1].ImageIndex;
        QVERIFY(Compose(set, View(100, 109, 1, 20)));
        QCOMPARE(s[0].FirstRecord, 0);  // empties sort first
        QList<int> indexes;
        for (const Slide& x : s) indexes << x.ImageIndex;
        std::sort(indexes.begin(), indexes.end());
        QCOMPARE(indexes, (QList<int>{1, 2, 3, 4}));
        for (const Slide& x : s)
            if (x.FirstRecord == 100) QCOMPARE(x.ImageIndex, second);
        MarkDrawn(set);
        QVERIFY(Compose(set, View(50, 59, 1, 20)));  // an empty tile, not a drawn one
        for (const Slide& x : s)
            if (x.FirstRecord == 300) QVERIFY(!x.InUse);
        QCOMPARE(InUse(set), 1);
    }

    void placesTilesAgainstTheView() {
        SlideSet set;
        auto& s = set.Slides();
        SetSlide(s[0], 1, 20, 1, 40);
        s[0].InUse = true;
        const ViewRecord v = View(6, 15, 11, 30);
        set.Place(v);
        QCOMPARE(s[0].Left, 0);
        QCOMPARE(s[0].ClipLeft, 10);
        QCOMPARE(s[0].Top, 0);
        QCOMPARE(s[0].ClipTop, 5);
        QCOMPARE(s[0].VisibleWidth, 20);
        QCOMPARE(s[0].VisibleHeight, 10);

        SetSlide(s[1], 21, 40, 41, 80);
        s[1].InUse = true;
        set.Place(View(15, 24, 35, 54));
        QCOMPARE(s[1].Left, 6);
        QCOMPARE(s[1].ClipLeft, 0);
        QCOMPARE(s[1].Top, 6);
        QCOMPARE(s[1].VisibleHeight, 4);
        QCOMPARE(s[1].VisibleWidth, 14);
    }

    void impossibleViewsChangeNothing() {
        SlideSet set;
        QVERIFY(!Compose(set, View(0, 10, 1, 20)));
        QVERIFY(!set.Compose(View(1, 10, 5, 4), 10, 1, Limits()));
        QCOMPARE(InUse(set), 0);
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
