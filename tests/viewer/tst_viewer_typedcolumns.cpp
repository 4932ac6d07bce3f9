// The window in field-name mode over an EBCDIC file with zoned, packed and
// binary fields: each typed field takes the columns of its widest value in
// the grid, the names strip, the scroll range and the keys; byte-bar mode
// scrolls over bytes.
#include "viewer_testhost.h"

#include <QScrollBar>

#include "data/copybookfields.h"

class TestViewerTypedColumns : public QObject {
    Q_OBJECT
private slots:
    void typedFieldsTakeTheirValuesColumns() {
        viewertest::Host h;
        // CUST-NAME 1-10, COUNT zoned S9(5) 11-15, BALANCE packed S9(7)V99
        // 16-20, ID binary S9(9) 21-24, CITY 25-30.
        const QByteArray record = QByteArray::fromHex(
            "D4A49393859940404040 F0F0F0F0C7 000123450D 499602D2 C3C9E3E8F0F1");
        auto w = h.Window(h.Write(QStringLiteral("typed.dat"), record + record + record));
        velmor::data::Connection c;
        w->File().CopyConnectionTo(c);
        c.SetDatabaseTypeName("Flat EBCDIC");
        c.SetIsDelimited(false);
        c.SetIsFixed(true);
        c.SetByteOffset(0);
        c.SetRecordLength(30);
        w->File().CopyConnectionFrom(c);
        std::string error;
        std::vector<std::string> notes;
        QVERIFY(velmor::data::ImportCopybook(
            "       01 R.\n           05 CUST-NAME PIC X(10).\n"
            "           05 CUST-COUNT PIC S9(5).\n           05 CUST-BALANCE PIC S9(7)V99 COMP-3.\n"
            "           05 CUST-ID PIC S9(9) COMP.\n           05 CUST-CITY PIC X(6).\n",
            {}, w->File().GetFields(), error, notes));
        w->resize(260, 400);  // narrower than the record: it scrolls
        w->RefreshView();
        QVERIFY(!w->File().ShowFieldNames());
        w->mnuFieldNames_Click();
        QVERIFY(w->File().ShowFieldNames());
        // Columns: name 1-10, count 11-16, balance 17-27, id 28-38, city 39-44.
        const int cw = w->mDrawer->Cells().charPx;
        const int starts[] = {1, 11, 17, 28, 39}, widths[] = {10, 6, 11, 11, 6};
        for (int i = 1; i <= 5; ++i) {
            QCOMPARE(w->lblFields[static_cast<size_t>(i)]->x(), (starts[i - 1] - 1) * cw);
            QCOMPARE(w->lblFields[static_cast<size_t>(i)]->width(), widths[i - 1] * cw);
        }
        QCOMPARE(w->pcttop->width(), 44 * cw);
        const int columns = w->mScreen.columns;
        QVERIFY(columns > 10 && columns < 30);
        QCOMPARE(w->HScroll1->maximum(), 44 - columns + 1);
        bool drawn = false;
        for (const velmor::viewer::DrawnText& t : w->mDrawer->Log())
            drawn = drawn || t.text.find("Muller         7   -1234.50 1234567890CITY01") == 0;
        QVERIFY(drawn);
        // End shows the last columns of the wide line, and the strip slides.
        w->Form_KeyDown(Qt::Key_End, Qt::NoModifier);
        QCOMPARE(w->File().BytePosition(), 44 - columns + 1);
        QCOMPARE(w->pcttop->x(), -(44 - columns) * cw);
        // Byte-bar mode scrolls over the bytes again.
        w->mnuByteBar_Click();
        QCOMPARE(w->HScroll1->maximum(), 30 - columns + 1);
        QCOMPARE(w->File().BytePosition(), 30 - columns + 1);
    }
};

QTEST_MAIN(TestViewerTypedColumns)
#include "tst_viewer_typedcolumns.moc"
