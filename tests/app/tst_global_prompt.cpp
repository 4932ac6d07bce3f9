// The Qt face of the question seam: file-dialog filters in the program's
// "Name (pattern)|pattern" form become Qt's name filters. (The scripted
// prompt the window tests answer through is exercised by every one of them.)
#include <QtTest>

#include "app/userprompt.h"

class TestGlobalPrompt : public QObject {
    Q_OBJECT

private slots:
    void qtNameFilters_data();
    void qtNameFilters();
};

void TestGlobalPrompt::qtNameFilters_data() {
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("qt");
    QTest::newRow("built-in pairs")
        << "All Files (*.*)|*.*|CSV (*.csv)|*.csv|Index Files (*.*index)|*.*index"
        << QStringList({"All Files (*)", "CSV (*.csv)", "Index Files (*.*index)"});
    QTest::newRow("several patterns") << "Text|*.txt;*.asc" << QStringList({"Text (*.txt *.asc)"});
    QTest::newRow("odd part dropped") << "A|*.a|B" << QStringList({"A (*.a)"});
    QTest::newRow("empty") << "" << QStringList();
}

void TestGlobalPrompt::qtNameFilters() {
    QFETCH(QString, filter);
    QTEST(velmor::QtNameFilters(filter), "qt");
}

QTEST_MAIN(TestGlobalPrompt)
#include "tst_global_prompt.moc"
