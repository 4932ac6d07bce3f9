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
    // Where each key leaves the cursor and whether the view is drawn again.
    void move() {
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
            {"left at 1,1 from byte 5", keys::Left, 5, 1, 1, 1000, 1, 1, 1, true},
            {"backspace is left", keys::Backspace, 1, 3, 5, 1000, 1, 3, 4, false},
            {"home", keys::Home, 500, 6, 6, 1000, 1, 6, 6, true},
            {"page down, empty file", keys::PageDown, 1, 1, 1, 0, 1, 1, 1, true},
        };
        const auto state = [](const char* tag, qint64 start, int row, int column, bool refresh) {
            return QString("%1: %2 %3,%4 %5").arg(tag).arg(start).arg(row).arg(column).arg(refresh);
        };
        for (const Row& r : rows) {
            HexCursor cursor{r.start, r.row, r.column};
            const CursorMove m = cursor.Move(r.key, r.length);
            QVERIFY2(m.navigation, r.tag);
            QCOMPARE(state(r.tag, cursor.startingByte, cursor.row, cursor.column, m.refresh),
                     state(r.tag, r.newStart, r.newRow, r.newColumn, r.refresh));
        }
    }

    void otherKeysDoNothing() {
        for (int key : {keys::End, 65, 0}) {
            HexCursor cursor{50, 4, 4};
            QVERIFY(!cursor.Move(key, 1000).navigation);
            QCOMPARE(cursor.startingByte, std::int64_t(50));
            QCOMPARE(cursor.row * 100 + cursor.column, 404);
        }
    }

    // After a write: the hex box moves on but stays at row 13, column 16;
    // the character pane scrolls, also from a click on rows 14 to 16.
    void advance() {
        const struct {
            int row, column;
            bool characterPane;
            const char* after;  // "start row,column position"
        } rows[] = {{2, 5, false, "100 2,6 121"},
                    {2, 16, false, "100 3,1 132"},
                    {13, 16, false, "100 13,16 307"},
                    {13, 16, true, "116 13,1 308"},
                    {15, 16, true, "148 13,1 340"}};
        for (const auto& r : rows) {
            HexCursor cursor{100, r.row, r.column};
            if (r.characterPane)
                cursor.AdvanceAfterCharacterWrite();
            else
                cursor.AdvanceAfterHexWrite();
            QCOMPARE(QString("%1 %2,%3 %4")
                         .arg(cursor.startingByte)
                         .arg(cursor.row)
                         .arg(cursor.column)
                         .arg(cursor.Position()),
                     QString(r.after));
        }
    }

    void cellAt() {
        const struct {
            double x, y;
            int row, column;
        } rows[] = {{0, 0, 1, 1},
                    {0.26, 0.51, 3, 2},
                    {0.25, 0.5, 3, 2},  // exactly on a border: the cell it starts
                    {3.99, 3.99, 16, 16},
                    {9, -1, 1, 16}};
        for (const auto& r : rows) {
            const Cell cell = CellAt(r.x, r.y, 0.25, 0.25);
            QCOMPARE(cell.row * 100 + cell.column, r.row * 100 + r.column);
        }
    }

    // The bar's maximum, small and large steps, and its value at a byte.
    void scroll() {
        const qint64 rows[][6] = {{0, 0, 1, 1, 1, 0},
                                  {3, 3, 1, 1, 2, 2},
                                  {24, 24, 1, 2, 24, 24},
                                  {5000, 5000, 100, 500, 2500, 2500},
                                  {10000, 5000, 100, 500, 2501, 1250},
                                  {10'000'000'000, 5000, 100, 500, 6'000'000'000, 3000}};
        for (const auto& r : rows) {
            const ScrollScale s = ScrollScale::For(r[0]);
            QCOMPARE((QList<qint64>{s.maximum, s.smallStep, s.largeStep, s.ValueFor(r[4])}),
                     (QList<qint64>{r[1], r[2], r[3], r[5]}));
            if (r[0] > 0) QCOMPARE(s.StartingByteFor(s.maximum), r[0]);
        }
    }

    // Script: '<' Left, '>' Right, 'v' Down, 'b' Backspace (key codes), '~'
    // the mouse over the box; anything else is a typed character. After a
    // write or a cursor move the window shows the next cell's byte again.
    void hexBox() {
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
        for (const auto& r : rows) {
            HexBoxKeys box;
            box.Show(0x41);
            QStringList writes;
            for (const char* c = r.script; *c; ++c) {
                if (*c == '~') {
                    box.Mouse();
                    continue;
                }
                const int key = *c == '<'   ? keys::Left
                                : *c == '>' ? keys::Right
                                : *c == 'v' ? keys::Down
                                : *c == 'b' ? keys::Backspace
                                            : 0;
                const HexBoxKeys::Result res = box.Key(key, key ? 0 : *c);
                if (res.action == HexBoxKeys::Action::Write)
                    writes << QString::number(res.value, 16).toUpper();
                if (res.action == HexBoxKeys::Action::Write ||
                    res.action == HexBoxKeys::Action::MoveCursor)
                    box.Show(0x41);
            }
            const QString text = QString::fromStdString(box.Text());
            QCOMPARE(QString("%1: %2/%3/%4").arg(r.tag, writes.join(' '), text).arg(box.Caret()),
                     QString("%1: %2/%3/%4").arg(r.tag, r.writes, r.text).arg(r.caret));
        }
    }
};

QTEST_GUILESS_MAIN(tst_hexedit_cursor)
#include "tst_hexedit_cursor.moc"
