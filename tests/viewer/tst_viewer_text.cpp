// What a grid line shows: control characters, the ruler, delimited lines.
#include <QtTest>

#include "viewer/recordtext.h"

using namespace velmor::viewer;
using namespace Qt::StringLiterals;

class TestViewerText : public QObject {
    Q_OBJECT
private slots:
    void cellText_data();
    void cellText();
    void byteBar_data();
    void byteBar();
    void delimitedLine_data();
    void delimitedLine();
    void columnRange();
    void displayChoice_data();
    void displayChoice();
};

void TestViewerText::cellText_data() {
    QTest::addColumn<QByteArray>("in");
    QTest::addColumn<QByteArray>("out");
    QTest::newRow("CR LF pair removed") << QByteArray("AB\r\nCD") << QByteArray("ABCD");
    QTest::newRow("two pairs") << QByteArray("\r\n\r\n") << QByteArray("");
    QTest::newRow("lone CR") << QByteArray("A\rB") << QByteArray("A B");
    QTest::newRow("lone LF") << QByteArray("A\nB") << QByteArray("A B");
    QTest::newRow("LF CR is no pair") << QByteArray("\n\r") << QByteArray("  ");
    QTest::newRow("tab") << QByteArray("a\tb") << QByteArray("a b");
    QTest::newRow("NUL and 29") << QByteArray("\0\x1d", 2) << QByteArray("  ");
    QTest::newRow("30 and 31 stay") << QByteArray("\x1e\x1f") << QByteArray("\x1e\x1f");
    QTest::newRow("high bytes stay") << QByteArray("\xe9\xff") << QByteArray("\xe9\xff");
}

void TestViewerText::cellText() {
    QFETCH(QByteArray, in);
    QFETCH(QByteArray, out);
    QCOMPARE(QByteArray::fromStdString(CellText(in.toStdString())), out);
}

void TestViewerText::byteBar_data() {
    QTest::addColumn<qint64>("first");
    QTest::addColumn<qint64>("last");
    QTest::addColumn<int>("lines");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("8..12") << 8LL << 12LL << 2 << QByteArray("  1  \r\n89012");
    QTest::newRow("1..9") << 1LL << 9LL << 1 << QByteArray("123456789");
    QTest::newRow("98..121") << 98LL << 121LL << 3
                             << QByteArray(
                                    "  1         1         1 \r\n"
                                    "  0         1         2 \r\n"
                                    "890123456789012345678901");
    QTest::newRow("single column 10") << 10LL << 10LL << 2 << QByteArray("1\r\n0");
}

void TestViewerText::byteBar() {
    QFETCH(qint64, first);
    QFETCH(qint64, last);
    int lines = 0;
    const std::string text = BuildByteBarText(first, last, lines);
    QTEST(lines, "lines");
    QTEST(QByteArray::fromStdString(text), "text");
}

void TestViewerText::delimitedLine_data() {
    QTest::addColumn<bool>("names");
    QTest::addColumn<qint64>("recordLength");
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("raw padded") << false << 12LL << QByteArray("ab,cdef,g   ");
    QTest::newRow("raw longer than the length") << false << 4LL << QByteArray("ab,cdef,g");
    QTest::newRow("fields cut and padded") << true << 12LL << QByteArray("abcdeg  ");
}

void TestViewerText::delimitedLine() {
    QFETCH(bool, names);
    QFETCH(qint64, recordLength);
    const std::vector<FieldCell> fields{{"ab", 2}, {"cdef", 3}, {"g", 3}, {"skipped", 0}};
    QTEST(QByteArray::fromStdString(DelimitedDisplayLine("ab,cdef,g", names, fields, recordLength)),
          "line");
}

void TestViewerText::columnRange() {
    QCOMPARE(ColumnRange("abcdef", 2, 4), std::string("bcd"));
    QCOMPARE(ColumnRange("abcdef", 5, 10), std::string("ef"));
    QCOMPARE(ColumnRange("abc", 7, 10), std::string());
    QCOMPARE(ColumnRange("abc", 0, 2), std::string());
}

void TestViewerText::displayChoice_data() {
    QTest::addColumn<QByteArray>("sample");
    QTest::addColumn<bool>("utf8");
    QTest::addColumn<QString>("text");  // the sample as DisplayText shows it
    QTest::newRow("plain ASCII") << QByteArray("id,name") << false << u"id,name"_s;
    QTest::newRow("two-byte") << QByteArray("\xC2\xB1z") << true << u"\u00B1z"_s;
    QTest::newRow("four-byte") << QByteArray("\xF0\x9F\x98\x80") << true << u"\U0001F600"_s;
    QTest::newRow("cut at the sample's end")
        << QByteArray("\xC3\xA9t\xC3") << true << u"\u00E9t\u00C3"_s;
    QTest::newRow("Latin-1 byte") << QByteArray("caf\xE9s") << false << u"caf\u00E9s"_s;
    QTest::newRow("Windows-1252 quote") << QByteArray("\x93hi\x94") << false << u"\u201Chi\u201D"_s;
    QTest::newRow("overlong form")
        << QByteArray("\xC0\xAF\xC3\xA9") << false << u"\u00C0\u00AF\u00C3\u00A9"_s;
    QTest::newRow("surrogate") << QByteArray("\xED\xA0\x80\xC3\xA9") << false
                               << u"\u00ED\u00A0\u20AC\u00C3\u00A9"_s;
}

void TestViewerText::displayChoice() {
    QFETCH(QByteArray, sample);
    QFETCH(bool, utf8);
    QFETCH(QString, text);
    const DisplayEncoding chosen = ChooseDisplayEncoding(sample.toStdString(), false);
    QCOMPARE(chosen == DisplayEncoding::Utf8, utf8);
    QCOMPARE(DisplayText(sample.toStdString(), chosen), text);
    QCOMPARE(ChooseDisplayEncoding(sample.toStdString(), true), DisplayEncoding::Latin1);
}

QTEST_GUILESS_MAIN(TestViewerText)
#include "tst_viewer_text.moc"
