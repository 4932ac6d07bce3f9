// Counting a delimited file to its end (the last-record button) finds a record with
// more values than the detected layout has fields: the layout gains them and
// the window draws them without being asked.
#include "viewer_testhost.h"

class TestViewerCountedFields : public QObject {
    Q_OBJECT

private slots:
    void lastRecordShowsFieldsFoundByCounting();
};

void TestViewerCountedFields::lastRecordShowsFieldsFoundByCounting() {
    viewertest::Host h;
    QByteArray text;
    for (int i = 1; i <= 2000; ++i)
        text += QByteArray::number(i) + (i == 1829 ? ",b,c,d,e1829,f\n" : ",b,c,d\n");
    auto w = h.Window(h.Write(QStringLiteral("wide.csv"), text));
    QCOMPARE(w->File().GetFields().Count(), 4);
    w->File().SetShowFieldNames(true);
    w->RefreshView();
    QCOMPARE(w->lblFields.size(), 5);  // [0] stands for no field
    w->mDrawer->ClearLog();
    w->cmdLastRecord_Click();
    QCOMPARE(w->File().RecordNumber(), 2000);
    QCOMPARE(w->File().GetFields().Count(), 6);
    QCOMPARE(w->lblFields.size(), 7);
    QCOMPARE(viewertest::LabelName(w->lblFields[6]), QStringLiteral("Field6"));
    QVERIFY(!w->lblFields[6]->isHidden());
    // Record 2000 is drawn once, in the widened columns.
    QCOMPARE(viewertest::DrawnFor(*w, 2000),
             QList<QByteArray>{"2000  b     c     d           "});
}

QTEST_MAIN(TestViewerCountedFields)
#include "tst_viewer_countedfields.moc"
