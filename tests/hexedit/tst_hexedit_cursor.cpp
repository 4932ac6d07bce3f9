// The hex view's arithmetic without a window: every row of the cursor
// table and its edges, the advance after a typed byte, clicks, the scroll
// scale on files of every size, and the hex box's caret rules.
#include <QtTest>

#include "hexedit/hexboxkeys.h"
#include "hexedit/hexcursor.h"

using namespace velmor::hexedit;

class tst_hexedit_cursor : public QObject {
    Q_OBJECT

private slots:
    void move_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<qint64>("start");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::addColumn<qint64>("length");
        QTest::addColumn<qint64>("newStart");
        QTest::addColumn<int>("newRow");
        QTest::addColumn<int>("newColumn");
        QTest::addColumn<bool>("refresh");
        const qint64 big = 10'000'000'000;  // past 32 bits
        QTest::newRow("down inside")
            << keys::Down << 1ll << 5 << 3 << 1000ll << 1ll << 6 << 3 << false;
        QTest::newRow("down row 13 scrolls")
            << keys::Down << 1ll << 13 << 3 << 1000ll << 17ll << 13 << 3 << true;
        QTest::newRow("down row 13 at end")
            << keys::Down << 793ll << 13 << 3 << 1000ll << 793ll << 13 << 3 << true;
        QTest::newRow("down row 13 exactly room")
            << keys::Down << 792ll << 13 << 3 << 1000ll << 808ll << 13 << 3 << true;
        QTest::newRow("page down")
            << keys::PageDown << 1ll << 4 << 4 << 1000ll << 209ll << 4 << 4 << true;
        QTest::newRow("page down no room")
            << keys::PageDown << 900ll << 4 << 4 << 1000ll << 900ll << 4 << 4 << true;
        QTest::newRow("page down past 4 GiB")
            << keys::PageDown << big << 1 << 1 << 2 * big << big + 208 << 1 << 1 << true;
        QTest::newRow("up inside") << keys::Up << 1ll << 2 << 7 << 1000ll << 1ll << 1 << 7 << false;
        QTest::newRow("up row 1, start 5")
            << keys::Up << 5ll << 1 << 7 << 1000ll << 1ll << 1 << 7 << true;
        QTest::newRow("up row 1, start 100")
            << keys::Up << 100ll << 1 << 7 << 1000ll << 84ll << 1 << 7 << true;
        QTest::newRow("page up clamps")
            << keys::PageUp << 100ll << 9 << 2 << 1000ll << 1ll << 9 << 2 << true;
        QTest::newRow("right inside")
            << keys::Right << 1ll << 3 << 15 << 1000ll << 1ll << 3 << 16 << false;
        QTest::newRow("right wraps a row")
            << keys::Right << 1ll << 3 << 16 << 1000ll << 1ll << 4 << 1 << false;
        QTest::newRow("right at 13,16 scrolls")
            << keys::Right << 1ll << 13 << 16 << 1000ll << 17ll << 13 << 1 << true;
        QTest::newRow("right at 13,16 at end")
            << keys::Right << 800ll << 13 << 16 << 1000ll << 800ll << 13 << 16 << true;
        QTest::newRow("left inside")
            << keys::Left << 1ll << 3 << 5 << 1000ll << 1ll << 3 << 4 << false;
        QTest::newRow("left wraps a row")
            << keys::Left << 1ll << 3 << 1 << 1000ll << 1ll << 2 << 16 << false;
        QTest::newRow("left at 1,1 scrolls")
            << keys::Left << 33ll << 1 << 1 << 1000ll << 17ll << 1 << 16 << true;
        QTest::newRow("left at 1,1 from byte 1")
            << keys::Left << 1ll << 1 << 1 << 1000ll << 1ll << 1 << 1 << true;
        QTest::newRow("left at 1,1 from byte 5")
            << keys::Left << 5ll << 1 << 1 << 1000ll << 1ll << 1 << 1 << true;
        QTest::newRow("backspace is left")
            << keys::Backspace << 1ll << 3 << 5 << 1000ll << 1ll << 3 << 4 << false;
        QTest::newRow("home") << keys::Home << 500ll << 6 << 6 << 1000ll << 1ll << 6 << 6 << true;
        QTest::newRow("page down, empty file")
            << keys::PageDown << 1ll << 1 << 1 << 0ll << 1ll << 1 << 1 << true;
    }
    void move() {
        QFETCH(int, key);
        QFETCH(qint64, start);
        QFETCH(int, row);
        QFETCH(int, column);
        QFETCH(qint64, length);
        HexCursor cursor{start, row, column};
        const CursorMove m = cursor.Move(key, length);
        QVERIFY(m.navigation);
        QTEST(static_cast<qint64>(cursor.startingByte), "newStart");
        QTEST(cursor.row, "newRow");
        QTEST(cursor.column, "newColumn");
        QTEST(m.refresh, "refresh");
    }

    void otherKeysDoNothing() {
        for (int key : {keys::End, 65, 0}) {
            HexCursor cursor{50, 4, 4};
            QVERIFY(!cursor.Move(key, 1000).navigation);
            QCOMPARE(cursor.startingByte, std::int64_t(50));
            QCOMPARE(cursor.row * 100 + cursor.column, 404);
        }
    }

    void advance_data() {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::addColumn<bool>("characterPane");
        QTest::addColumn<qint64>("newStart");
        QTest::addColumn<int>("newRow");
        QTest::addColumn<int>("newColumn");
        QTest::newRow("hex, next column") << 2 << 5 << false << 100ll << 2 << 6;
        QTest::newRow("hex, next row") << 2 << 16 << false << 100ll << 3 << 1;
        QTest::newRow("hex, 13,16 stays") << 13 << 16 << false << 100ll << 13 << 16;
        QTest::newRow("char, 13,16 scrolls") << 13 << 16 << true << 116ll << 13 << 1;
        QTest::newRow("char, clicked row 15") << 15 << 16 << true << 148ll << 13 << 1;
    }
    void advance() {
        QFETCH(int, row);
        QFETCH(int, column);
        QFETCH(bool, characterPane);
        HexCursor cursor{100, row, column};
        const std::int64_t next = cursor.Position() + (characterPane || row < 13 ? 1 : 0);
        if (characterPane)
            cursor.AdvanceAfterCharacterWrite();
        else
            cursor.AdvanceAfterHexWrite();
        QTEST(static_cast<qint64>(cursor.startingByte), "newStart");
        QTEST(cursor.row, "newRow");
        QTEST(cursor.column, "newColumn");
        QCOMPARE(cursor.Position(), next);
    }

    void cellAt_data() {
        QTest::addColumn<double>("x");
        QTest::addColumn<double>("y");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::newRow("origin") << 0.0 << 0.0 << 1 << 1;
        QTest::newRow("second cell") << 0.26 << 0.51 << 3 << 2;
        QTest::newRow("last") << 3.99 << 3.99 << 16 << 16;
        QTest::newRow("beyond is clamped") << 9.0 << -1.0 << 1 << 16;
    }
    void cellAt() {
        QFETCH(double, x);
        QFETCH(double, y);
        const Cell cell = CellAt(x, y, 0.25, 0.25);
        QTEST(cell.row, "row");
        QTEST(cell.column, "column");
    }

    void scroll_data() {
        QTest::addColumn<qint64>("length");
        QTest::addColumn<int>("maximum");
        QTest::addColumn<int>("smallStep");
        QTest::addColumn<int>("largeStep");
        QTest::addColumn<qint64>("start");
        QTest::addColumn<int>("value");
        QTest::newRow("empty") << 0ll << 0 << 1 << 1 << 1ll << 0;
        QTest::newRow("3 bytes") << 3ll << 3 << 1 << 1 << 2ll << 2;
        QTest::newRow("24 bytes") << 24ll << 24 << 1 << 2 << 24ll << 24;
        QTest::newRow("5000") << 5000ll << 5000 << 100 << 500 << 2500ll << 2500;
        QTest::newRow("10000") << 10000ll << 5000 << 100 << 500 << 2501ll << 1250;
        QTest::newRow("10 GB") << 10'000'000'000ll << 5000 << 100 << 500 << 6'000'000'000ll << 3000;
    }
    void scroll() {
        QFETCH(qint64, length);
        QFETCH(qint64, start);
        const ScrollScale s = ScrollScale::For(length);
        QTEST(s.maximum, "maximum");
        QTEST(s.smallStep, "smallStep");
        QTEST(s.largeStep, "largeStep");
        QTEST(s.ValueFor(start), "value");
        if (length > 0) QCOMPARE(s.StartingByteFor(s.maximum), length);
    }

    void hexBox_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("caretDown");
        QTest::addColumn<int>("caretUp");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("down");  // HexBoxKeys::Down
        QTest::addColumn<int>("caret");
        QTest::addColumn<int>("commit");  // -1 none, -2 invalid, else the byte
        using D = HexBoxKeys::Down;
        QTest::newRow("right from first digit")
            << keys::Right << 0 << 1 << "41" << int(D::StayInBox) << 1 << -1;
        QTest::newRow("right from second digit")
            << keys::Right << 1 << 0 << "41" << int(D::MoveCursor) << 0 << -1;
        QTest::newRow("left from second digit")
            << keys::Left << 1 << 0 << "41" << int(D::StayInBox) << 0 << -1;
        QTest::newRow("left from first digit")
            << keys::Left << 0 << 0 << "41" << int(D::MoveCursor) << 1 << -1;
        QTest::newRow("down keeps the caret")
            << keys::Down << 1 << 0 << "41" << int(D::MoveCursor) << 1 << -1;
        QTest::newRow("backspace discarded")
            << keys::Backspace << 1 << 1 << "41" << int(D::Discard) << 1 << -1;
        QTest::newRow("first digit typed") << int('4') << 0 << 1 << "41" << int(D::Type) << 1 << -1;
        QTest::newRow("second digit typed")
            << int('1') << 1 << 2 << "41" << int(D::Type) << 0 << 0x41;
        QTest::newRow("lower case digits")
            << int('F') << 1 << 2 << "ff" << int(D::Type) << 0 << 0xFF;
        QTest::newRow("not hex") << int('G') << 1 << 2 << "4G" << int(D::Type) << 0 << -2;
    }
    void hexBox() {
        QFETCH(int, key);
        QFETCH(int, caretDown);
        QFETCH(int, caretUp);
        QFETCH(QString, text);
        QFETCH(int, commit);
        HexBoxKeys box;
        QTEST(int(box.KeyDown(key, caretDown)), "down");
        const HexBoxKeys::Up up = box.KeyUp(key, caretUp, text.toStdString());
        QTEST(up.caret, "caret");
        QCOMPARE(up.commit, commit != -1);
        if (up.commit) QCOMPARE(up.value ? *up.value : -2, commit);
    }

    void typing() {
        QCOMPARE(HexBoxKeys::Typed("00", 0, '4'), std::string("40"));
        QCOMPARE(HexBoxKeys::Typed("40", 1, '1'), std::string("41"));
        QCOMPARE(HexBoxKeys::Typed("41", 2, '7'), std::string("41"));
    }
};

QTEST_GUILESS_MAIN(tst_hexedit_cursor)
#include "tst_hexedit_cursor.moc"
