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
        struct Row {
            const char* tag;
            int key;
            qint64 start;
            int row, column;
            qint64 length, newStart;
            int newRow, newColumn;
            bool refresh;
        };
        const Row rows[] = {
            {"down inside", keys::Down, 1, 5, 3, 1000, 1, 6, 3, false},
            {"down row 13 scrolls", keys::Down, 1, 13, 3, 1000, 17, 13, 3, true},
            {"down row 13 at end", keys::Down, 793, 13, 3, 1000, 793, 13, 3, true},
            {"down row 13 exactly room", keys::Down, 792, 13, 3, 1000, 808, 13, 3, true},
            {"page down", keys::PageDown, 1, 4, 4, 1000, 209, 4, 4, true},
            {"page down no room", keys::PageDown, 900, 4, 4, 1000, 900, 4, 4, true},
            {"page down past 4 GiB", keys::PageDown, big, 1, 1, 2 * big, big + 208, 1, 1, true},
            {"up inside", keys::Up, 1, 2, 7, 1000, 1, 1, 7, false},
            {"up row 1, start 5", keys::Up, 5, 1, 7, 1000, 1, 1, 7, true},
            {"up row 1, start 100", keys::Up, 100, 1, 7, 1000, 84, 1, 7, true},
            {"page up clamps", keys::PageUp, 100, 9, 2, 1000, 1, 9, 2, true},
            {"right inside", keys::Right, 1, 3, 15, 1000, 1, 3, 16, false},
            {"right wraps a row", keys::Right, 1, 3, 16, 1000, 1, 4, 1, false},
            {"right at 13,16 scrolls", keys::Right, 1, 13, 16, 1000, 17, 13, 1, true},
            {"right at 13,16 at end", keys::Right, 800, 13, 16, 1000, 800, 13, 16, true},
            {"left inside", keys::Left, 1, 3, 5, 1000, 1, 3, 4, false},
            {"left wraps a row", keys::Left, 1, 3, 1, 1000, 1, 2, 16, false},
            {"left at 1,1 scrolls", keys::Left, 33, 1, 1, 1000, 17, 1, 16, true},
            {"left at 1,1 from byte 1", keys::Left, 1, 1, 1, 1000, 1, 1, 1, true},
            {"left at 1,1 from byte 5", keys::Left, 5, 1, 1, 1000, 1, 1, 1, true},
            {"backspace is left", keys::Backspace, 1, 3, 5, 1000, 1, 3, 4, false},
            {"home", keys::Home, 500, 6, 6, 1000, 1, 6, 6, true},
            {"page down, empty file", keys::PageDown, 1, 1, 1, 0, 1, 1, 1, true},
        };
        for (const Row& r : rows)
            QTest::newRow(r.tag) << r.key << r.start << r.row << r.column << r.length << r.newStart
                                 << r.newRow << r.newColumn << r.refresh;
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
        QTest::newRow("exactly on a border: the cell it starts") << 0.25 << 0.5 << 3 << 2;
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

    // Script: '<' Left, '>' Right, 'v' Down, 'b' Backspace (key codes), '~'
    // the mouse over the box; anything else is a typed character. After a
    // write or a cursor move the window shows the next cell's byte again.
    void hexBox_data() {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("writes");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("caret");
        const struct {
            const char *tag, *script, *writes, *text;
            int caret;
        } rows[] = {
            {"two digits", "42", "42", "41", 0},
            {"lower case, then upper F", "fF", "FF", "41", 0},
            {"one digit writes nothing", "7", "", "71", 1},
            {"mouse after one digit starts again", "7~42", "42", "41", 0},
            {"mouse first", "~~42", "42", "41", 0},
            {"arrow codes typed as characters", "%&'(", "", "41", 0},
            {"not hex between digits", "4G%b2", "42", "41", 0},
            {"right steps to the second digit", ">7", "47", "41", 0},
            {"left back to the first digit", "5<6", "", "61", 1},
            {"right from the second digit moves", "5>", "", "41", 0},
            {"down drops a typed digit", "5v2", "", "21", 1},
        };
        for (const auto& r : rows)
            QTest::newRow(r.tag) << QString(r.script) << QString(r.writes) << QString(r.text)
                                 << r.caret;
    }
    void hexBox() {
        QFETCH(QString, script);
        HexBoxKeys box;
        box.Show(0x41);
        QStringList writes;
        for (QChar c : script) {
            if (c == '~') {
                box.Mouse();
                continue;
            }
            const int key = c == '<'   ? keys::Left
                            : c == '>' ? keys::Right
                            : c == 'v' ? keys::Down
                            : c == 'b' ? keys::Backspace
                                       : 0;
            const HexBoxKeys::Result r = box.Key(key, key ? 0 : c.unicode());
            if (r.action == HexBoxKeys::Action::Write)
                writes << QString::number(r.value, 16).toUpper();
            if (r.action == HexBoxKeys::Action::Write || r.action == HexBoxKeys::Action::MoveCursor)
                box.Show(0x41);
        }
        QTEST(writes.join(' '), "writes");
        QTEST(QString::fromStdString(box.Text()), "text");
        QTEST(box.Caret(), "caret");
    }
};

QTEST_GUILESS_MAIN(tst_hexedit_cursor)
#include "tst_hexedit_cursor.moc"
