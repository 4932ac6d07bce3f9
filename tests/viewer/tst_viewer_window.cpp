// The main window over real files: what the tiles show, which keys and
// bars move where, and that moves inside drawn tiles read nothing.
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>

#include "viewer_testhost.h"

using velmor::frmFileView;
using viewertest::DrawnFor;
using viewertest::Key;

namespace {
qint64 Reads(frmFileView& w) {
    return w.mSource.ReadCounts().reads();
}

const velmor::viewer::Slide& Used(frmFileView& w) {
    for (const auto& s : w.mSlides.Slides())
        if (s.InUse) return s;
    return w.mSlides.Slides()[0];
}

int MarkerRow(frmFileView& w) {
    return static_cast<int>(w.mCurrentRecord - w.mFirstRecord + 1);
}
}  // namespace

class TestViewerWindow : public QObject {
    Q_OBJECT
private slots:
    void fixedSampleIsDrawnInItsCells() {
        viewertest::Host h;
        const QString data = h.Copy(QStringLiteral("orders.dat"));
        h.Copy(QStringLiteral("orders.fmt"));
        auto w = h.Window(data);
        QCOMPARE(w->windowTitle(), QStringLiteral("orders.dat"));
        QCOMPARE(w->txtRecord->text(), QStringLiteral("1"));
        QCOMPARE(DrawnFor(*w, 1).value(0), QByteArray("100001202601010018061898.33PAI"));
        const int rows = w->mScreen.maxSlideRows;  // a tile holds two screens
        const int line = w->mDrawer->Cells().linePx;
        for (const auto& t : w->mDrawer->Log()) {
            QCOMPARE(t.firstColumn, 1);
            QCOMPARE(t.x, 0);
            QCOMPARE(t.y, static_cast<int>(t.record - 1) * line);
            // Record n holds its number at columns 4..6.
            QCOMPARE(QByteArray::fromStdString(t.text).mid(3, 3).toInt(),
                     static_cast<int>(t.record));
        }
        // The tile's image sits at the viewport's top-left.
        QCOMPARE(w->ImgS[1]->pos(), QPoint(0, 0));
        QCOMPARE(w->ImgS[1]->size(), QSize(32 * w->mDrawer->Cells().charPx, rows * line));
        QVERIFY(w->mnutools->isEnabled());
        QVERIFY(h.prompt.Questions().empty());
    }

    void movesInsideDrawnTilesReadNothing() {
        viewertest::Host h;
        auto w = h.Window(h.Fixed(QStringLiteral("big.dat"), 2000, 300));
        const int rows = w->mScreen.rows;
        w->mSource.ResetCounts();
        for (int i = 0; i < rows + 5; ++i) Key(*w, Qt::Key_Down);
        QCOMPARE(w->File().RecordNumber(), rows + 6);
        QCOMPARE(Reads(*w), 0);
        Key(*w, Qt::Key_Up);
        Key(*w, Qt::Key_PageUp);
        Key(*w, Qt::Key_Right);
        QCOMPARE(Reads(*w), 0);
        QCOMPARE(w->File().BytePosition(), 2);
        // A screen to the right passes the tile's right edge (twice the screen).
        Key(*w, Qt::Key_Right, Qt::ShiftModifier);
        QVERIFY(Reads(*w) > 0);

        // Beyond the tile: one new tile is drawn, a record read at a time.
        const qint64 before = w->mSource.ReadCounts().byteReads;
        for (int i = 0; i < 2; ++i) Key(*w, Qt::Key_PageDown);
        const qint64 drawn = w->mSource.ReadCounts().byteReads - before;
        QVERIFY(drawn > 0);
        QVERIFY(drawn <= w->mScreen.maxSlideRows);
        QCOMPARE(w->mSource.ReadCounts().textReads, 0);
    }

    void pageKeysKeepTheMarkerRow() {
        viewertest::Host h;
        auto w = h.Window(h.Fixed(QStringLiteral("page.dat"), 1000, 30));
        const int rows = w->mScreen.rows;
        w->MoveTo(rows);
        QCOMPARE(w->mFirstRecord, 1);
        Key(*w, Qt::Key_Down);  // past the bottom: it becomes the bottom line
        QCOMPARE(w->mFirstRecord, 2);
        QCOMPARE(w->mLastRecord, rows + 1);
        QCOMPARE(MarkerRow(*w), rows);
        // The tile below was drawn with the first screen: images only moved.
        QCOMPARE(w->ImgS[static_cast<size_t>(Used(*w).ImageIndex)]->y(),
                 -w->mDrawer->Cells().linePx);
        w->MoveTo(1);
        for (int i = 0; i < 4; ++i) Key(*w, Qt::Key_Down);
        QCOMPARE(MarkerRow(*w), 5);
        const QPoint marker = w->pctRecordIndicator->pos();
        Key(*w, Qt::Key_PageDown);
        QCOMPARE(w->File().RecordNumber(), 5 + rows);
        QCOMPARE(MarkerRow(*w), 5);
        QCOMPARE(w->pctRecordIndicator->pos(), marker);
        Key(*w, Qt::Key_Down, Qt::ShiftModifier);
        Key(*w, Qt::Key_PageUp);
        QCOMPARE(MarkerRow(*w), 5);
        QCOMPARE(w->File().RecordNumber(), 5 + rows);
        // Near either end a page stops at the first or last record.
        w->MoveTo(995);
        Key(*w, Qt::Key_PageDown);
        QCOMPARE(w->File().RecordNumber(), 1000);
        QCOMPARE(w->mLastRecord, 1000);
        QCOMPARE(w->txtRecord->text(), QStringLiteral("1,000"));
        w->MoveTo(2);
        Key(*w, Qt::Key_PageUp);
        QCOMPARE(w->File().RecordNumber(), 1);
    }

    void currentRecordStaysOnScreenAtAnySize() {
        viewertest::Host h;
        auto w = h.Window(h.Fixed(QStringLiteral("sizes.dat"), 300, 200));
        const int line = w->mDrawer->Cells().linePx;
        const int cell = w->mDrawer->Cells().charPx;
        for (int height = 200; height <= 720; height += 13) {
            w->resize(640 + height % 97, height);
            QCoreApplication::processEvents();
            const int viewport = w->pctContainer->height();
            QVERIFY2(w->mScreen.rows * line <= viewport || w->mScreen.rows == 1,
                     qPrintable(QString::number(height)));
            QVERIFY(w->mScreen.columns * cell <= w->pctContainer->width());
            QVERIFY((w->mScreen.rows + 1) * line > viewport);
            Key(*w, Qt::Key_Down, Qt::ControlModifier);
            QCOMPARE(w->File().RecordNumber(), 300);
            QCOMPARE(w->mLastRecord, 300);
            QVERIFY(MarkerRow(*w) * line <= std::max(viewport, line));
            Key(*w, Qt::Key_Up, Qt::ControlModifier);
        }
    }

    void columnsScrollAndClampToTheRecord() {
        viewertest::Host h;
        auto w = h.Window(h.Fixed(QStringLiteral("wide.dat"), 100, 400));
        QVERIFY(!w->HScroll1->isHidden());
        QCOMPARE(w->HScroll1->maximum(), 402 - w->mScreen.columns + 1);
        w->HScroll1->setValue(w->HScroll1->value() + 1);
        QCOMPARE(w->File().BytePosition(), 2);
        w->HScroll1->setValue(50);
        QCOMPARE(w->File().BytePosition(), 50);
        QCOMPARE(Used(*w).FirstColumn, 1);
        QCOMPARE(w->ImgS[static_cast<size_t>(Used(*w).ImageIndex)]->x(),
                 -49 * w->mDrawer->Cells().charPx);
        Key(*w, Qt::Key_Right, Qt::ControlModifier);
        QCOMPARE(w->File().BytePosition(), 402 - w->mScreen.columns + 1);
        QCOMPARE(w->HScroll1->value(), w->HScroll1->maximum());
        // Records narrower than the screen: no bars, and keys still move.
        auto n = h.Window(h.Fixed(QStringLiteral("short.dat"), 5, 20));
        QVERIFY(n->HScroll1->isHidden() && n->VScroll1->isHidden());
        Key(*n, Qt::Key_Right);
        Key(*n, Qt::Key_Down);
        QCOMPARE(n->File().BytePosition(), 1);
        QCOMPARE(n->File().RecordNumber(), 2);
    }

    void scaledVerticalBarStepsExactlyOne() {
        viewertest::Host h;
        auto w = h.Window(h.Fixed(QStringLiteral("many.dat"), 12345, 20));
        QCOMPARE(w->VScroll1->maximum(), 5000);
        w->MoveTo(1234);
        QCOMPARE(w->VScroll1->value(), 500);
        w->VScroll1->setValue(w->VScroll1->value() + 1);
        QCOMPARE(w->File().RecordNumber(), 1235);
        w->VScroll1->setValue(w->VScroll1->value() - 1);
        QCOMPARE(w->File().RecordNumber(), 1234);
        w->VScroll1->setValue(5000);
        QCOMPARE(w->File().RecordNumber(), 12345);
    }

    void recordBox_data() {
        QTest::addColumn<bool>("delimited");
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("record");
        QTest::addColumn<QString>("shown");
        QTest::newRow("letters") << false << "abc" << 1LL << "1";
        QTest::newRow("past any file") << false << "99999999999999999999" << 2000LL << "2,000";
        QTest::newRow("past a file not yet counted")
            << true << "99999999999999999999" << 6000LL << "6,000";
    }

    void recordBox() {
        QFETCH(bool, delimited);
        QFETCH(QString, text);
        viewertest::Host h;
        QString path = h.Fixed(QStringLiteral("box.dat"), 2000, 20);
        if (delimited) {
            QByteArray csv("ID,NAME\r\n");
            for (int n = 1; n <= 6000; ++n) csv += QByteArray::number(n) + ",name\r\n";
            path = h.Write(QStringLiteral("box.csv"), csv);
        }
        auto w = h.Window(path);
        const QFontMetrics metrics = w->txtRecord->fontMetrics();
        QVERIFY(w->txtRecord->width() >= metrics.horizontalAdvance(QStringLiteral("999,999,999")));
        w->MoveTo(77);
        w->txtRecord->setText(text);
        w->txtRecord_KeyPress(Qt::Key_A);
        QCOMPARE(w->File().RecordNumber(), 77);
        w->txtRecord_KeyPress(Qt::Key_Return);
        QTEST(static_cast<qint64>(w->File().RecordNumber()), "record");
        QTEST(w->txtRecord->text(), "shown");
        if (w->File().RecordNumber() < w->File().RecordCount()) return;
        QCOMPARE(w->mLastRecord, w->File().RecordNumber());  // the last screen is full
        QCOMPARE(w->mLastRecord - w->mFirstRecord + 1, w->mScreen.rows);
    }

    void recordButtons() {
        viewertest::Host h;
        QByteArray csv("id,name\r\n");
        for (int i = 1; i <= 20000; ++i)
            csv += QByteArray::number(i) + ",name" + QByteArray::number(i) +
                   (i == 19829 ? ",c,d\r\n" : "\r\n");
        auto w = h.Window(h.Write(QStringLiteral("long.csv"), csv));
        QVERIFY(w->File().RecordCount() < 20000);
        w->mnuFieldNames_Click();
        QCOMPARE(w->lblFields.size(), size_t(3));  // [0] stands for no field
        w->cmdForwardOneRecord_Click();
        w->cmdForwardOneRecord_Click();
        QCOMPARE(w->File().RecordNumber(), 3);
        w->cmdBackOneRecord_Click();
        QCOMPARE(w->File().RecordNumber(), 2);
        w->mDrawer->ClearLog();
        w->cmdLastRecord_Click();  // counts the delimited file to its end
        QCOMPARE(w->File().RecordCount(), 20000);
        QCOMPARE(w->File().RecordNumber(), 20000);
        QCOMPARE(w->txtRecord->text(), QStringLiteral("20,000"));
        QCOMPARE(w->VScroll1->value(), w->VScroll1->maximum());
        // The record with more values than the layout's fields, met while
        // counting, adds fields, shown without being asked for; the last
        // record is drawn once, in the widened columns.
        QCOMPARE(w->File().GetFields().Count(), 4);
        QCOMPARE(w->lblFields.size(), size_t(5));
        QCOMPARE(viewertest::LabelName(w->lblFields[4]), QStringLiteral("Field4"));
        QVERIFY(!w->lblFields[4]->isHidden());
        QCOMPARE(DrawnFor(*w, 20000), QList<QByteArray>{"20000name20000  "});
        w->cmdFirstRecord_Click();
        QCOMPARE(w->File().RecordNumber(), 1);
        QCOMPARE(w->VScroll1->value(), 1);
        // A left click on a line selects its record; other buttons do nothing.
        const int line = w->mDrawer->Cells().linePx;
        const int index = Used(*w).ImageIndex;
        w->ImgS_MouseDown(index, Qt::LeftButton, 3 * line + 2);
        QCOMPARE(w->File().RecordNumber(), 4);
        w->ImgS_MouseDown(index, Qt::RightButton, 6 * line);
        QCOMPARE(w->File().RecordNumber(), 4);
    }

    void fieldNameStripSpansTheLastField() {
        viewertest::Host h;
        auto w = h.Window(h.Fixed(QStringLiteral("names.dat"), 50, 300));
        // Without names the ruler is pasted over the view: three digits over
        // 300 columns make three ruler lines.
        QVERIFY(!w->File().ShowFieldNames());
        QVERIFY(w->mnuByteBar->isChecked());
        const QPixmap& strip = w->mByteBarPictures[static_cast<size_t>(Used(*w).ImageIndex)];
        QCOMPARE(strip.height(), w->mDrawer->ByteBarHeight(3));
        QCOMPARE(w->pcttop->Picture().size(), w->fraTop->size());
        QCOMPARE(w->pcttop->pos(), QPoint(0, 0));
        auto& fields = w->File().GetFields();
        fields.Clear();
        fields.Add("CODE", 2);   // wider than its two cells
        fields.Add("TEXT", 38);  // the last field ends at column 40
        w->mnuFieldNames_Click();
        QVERIFY(w->File().ShowFieldNames());
        QVERIFY(w->mnuFieldNames->isChecked());
        QVERIFY(!w->mnuByteBar->isChecked());
        const int cw = w->mDrawer->Cells().charPx;
        QCOMPARE(w->pcttop->width(), 40 * cw);
        QCOMPARE(w->lblFields.size(), size_t(3));
        QCOMPARE(w->lblFields[2]->text(), QStringLiteral("TEXT"));
        QCOMPARE(w->lblFields[2]->x(), 2 * cw);
        QCOMPARE(w->lblFields[2]->width(), 38 * cw);
        QVERIFY(w->lblFields[2]->toolTip().isEmpty());
        // A name wider than its column shows its beginning; the tooltip the whole.
        QVERIFY(!w->lblFields[1]->isHidden());
        QVERIFY(w->lblFields[1]->text().startsWith(QLatin1Char('C')));
        QVERIFY(w->lblFields[1]->text() != QStringLiteral("CODE"));
        QCOMPARE(w->lblFields[1]->toolTip(), QStringLiteral("CODE"));
        // The strip slides with the columns.
        w->HScroll1->setValue(11);
        QCOMPARE(w->pcttop->x(), -10 * cw);
        // Removing a field unloads its label.
        fields.Remove(2);
        w->RefreshView();
        QCOMPARE(w->lblFields.size(), size_t(2));
        QCOMPARE(w->pcttop->width(), 2 * cw);
        // The byte bar hides every label, the template's too.
        w->mnuByteBar_Click();
        QVERIFY(!w->File().ShowFieldNames());
        for (QLabel* l : w->lblFields) QVERIFY(l->isHidden());
        QVERIFY(w->mnuByteBar->isChecked());
        QCOMPARE(w->pcttop->x(), 0);
        // Without fields the byte bar is forced.
        fields.Clear();
        w->File().SetShowFieldNames(true);
        w->RefreshView();
        QVERIFY(!w->File().ShowFieldNames());
        QVERIFY(w->mnuByteBar->isChecked());
    }

    void changedLayoutRedrawsEveryTile() {
        viewertest::Host h;
        auto w = h.Window(h.Fixed(QStringLiteral("layout.dat"), 500, 40));
        auto& fields = w->File().GetFields();
        fields.Add("A", 5);
        fields.Add("B", 5);
        w->mnuFieldNames_Click();
        w->mDrawer->ClearLog();
        w->MoveTo(3);  // inside the drawn tiles: nothing is drawn again
        QVERIFY(w->mDrawer->Log().empty());
        // The layout changes without a word to the viewer (an editor's list
        // selection writing its boxes back): the next move draws the whole
        // screen in the new layout, never old tiles beside new ones.
        fields.Item(1)->SetLength(3);
        w->MoveTo(4);
        QVERIFY(!w->mDrawer->Log().empty());
        QCOMPARE(w->mDrawer->Log().front().record, w->mCurrentView.FirstRecord);
        for (const velmor::viewer::Slide& s : w->mSlides.Slides()) QVERIFY(!s.InUse || s.Drawn);
        QCOMPARE(w->lblFields[1]->width(), 3 * w->mDrawer->Cells().charPx);

        // A delimited record met while a screen is drawn widens its field:
        // every row on that screen is then drawn in the widened layout.
        QByteArray csv = "id,name\r\n";
        for (int n = 1; n <= 400; ++n)
            csv += QByteArray::number(n) + (n == 305 ? ",a much longer name\r\n" : ",x\r\n");
        auto d = h.Window(h.Write(QStringLiteral("widen.csv"), csv));
        d->mnuFieldNames_Click();
        d->mDrawer->ClearLog();
        d->MoveTo(300);
        const auto& log = d->mDrawer->Log();
        size_t first = log.size();  // the last drawing of the top row starts the final screen
        for (size_t i = 0; i < log.size(); ++i)
            if (log[i].record == d->mCurrentView.FirstRecord) first = i;
        QVERIFY(first < log.size());
        QVERIFY(d->mCurrentView.FirstRecord < 305 && d->mCurrentView.LastRecord > 305);
        for (size_t i = first; i < log.size(); ++i)
            QCOMPARE(log[i].text.size(), log[first].text.size());
    }

    void utf8FileIsShownAsUtf8() {
        using velmor::viewer::DisplayEncoding;
        viewertest::Host h;
        const QString data =
            h.Write(QStringLiteral("utf8.dat"), QByteArray("\xC2\xB1xyz\r\n").repeated(3));
        auto w = h.Window(data);
        QCOMPARE(w->TextEncoding(), DisplayEncoding::Utf8);
        QVERIFY(w->mnuUtf8->isChecked());
        QCOMPARE(w->mDrawer->Log().at(0).cells.substr(0, 5), std::u32string(U"\u00B1 xyz"));
        w->File().GetFields().Add("Ma\xC3\x9F", 4);
        w->mnuFieldNames_Click();
        QCOMPARE(viewertest::LabelName(w->lblFields[1]), QStringLiteral(u"Ma\u00DF"));
        // Switched by the menu, and kept when the same file is opened again.
        w->mnuUtf8_Click();
        QCOMPARE(w->TextEncoding(), DisplayEncoding::Windows1252);
        QVERIFY(!w->mnuUtf8->isChecked());
        QCOMPARE(viewertest::LabelName(w->lblFields[1]), QStringLiteral(u"Ma\u00C3\u0178"));
        QVERIFY(w->AddFile(data));
        QCOMPARE(w->TextEncoding(), DisplayEncoding::Windows1252);
    }
};

QTEST_MAIN(TestViewerWindow)
#include "tst_viewer_window.moc"
