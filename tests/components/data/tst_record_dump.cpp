// The record dump's text: rulers, text and code lines by block, the header's
// number, date and time forms, the printable text, and velmor-data dump.
#include <QTemporaryDir>
#include <QtTest>

#include "data/file.h"
#include "data/recorddump.h"
#include "engine_testfiles.h"

using velmor::data::RecordDump;
using namespace enginetest;

namespace {

const QString kTens = QStringLiteral(
    "         1         2         3         4         5         6         7         8         9         0");
const QString kUnits = QStringLiteral("1234567890").repeated(10);

QStringList Q(const std::vector<std::string>& lines) {
    QStringList out;
    for (const std::string& l : lines) out << QString::fromLatin1(l);
    return out;
}

std::tm At(int year, int month, int day, int wday, int hour, int minute, int second) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_wday = wday;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return t;
}

}  // namespace

class TestRecordDump : public QObject {
    Q_OBJECT
private slots:
    void blocks_data();
    void blocks();
    void header_data();
    void header();
    void printableText_data();
    void printableText();
    void commandLineDump();
};

void TestRecordDump::blocks_data() {
    QTest::addColumn<int>("textLength");
    QTest::addColumn<int>("recordLength");
    QTest::addColumn<int>("block");  // 1-based, checked block
    QTest::addColumn<QString>("hundreds");
    QTest::addColumn<int>("textShown");
    QTest::addColumn<int>("blockCount");
    // (A third block half full, ten blocks, a length of 0: printed by the
    // viewer, tst_viewer_printlaunch.)
    QTest::newRow("250: first block") << 250 << 250 << 1 << QString(99, ' ') + "1" << 100 << 3;
    QTest::newRow("a stated length past the text prints no empty rulers")
        << 120 << 200000000 << 2 << QString(99, ' ') + "2" << 20 << 2;
    QTest::newRow("length 101 needs two blocks")
        << 101 << 101 << 2 << QString(99, ' ') + "2" << 1 << 2;
}

void TestRecordDump::blocks() {
    QFETCH(int, textLength);
    QFETCH(int, recordLength);
    QFETCH(int, block);
    QFETCH(int, textShown);
    QFETCH(int, blockCount);
    std::string text;
    // Block b holds the letter 'A' + b - 1 throughout: codes 0x41, 0x42, ...
    for (int i = 0; i < textLength; ++i) text += static_cast<char>('A' + i / 100);
    const QStringList lines = Q(RecordDump::BlockLines(text, recordLength));
    QCOMPARE(lines.size(), blockCount * 8);
    const QStringList b = lines.mid((block - 1) * 8, 8);
    QCOMPARE(b[0], QString());
    QCOMPARE(b[1], QString());
    QTEST(b[2], "hundreds");
    QCOMPARE(b[3], kTens);
    QCOMPARE(b[4], kUnits);
    QCOMPARE(b[5], QString::fromStdString(text).mid((block - 1) * 100, textShown));
    QCOMPARE(b[6], QString(textShown, '4'));
    QCOMPARE(b[7], QString(textShown, QStringLiteral("123456789A").at(block - 1)));
}

void TestRecordDump::header_data() {
    QTest::addColumn<qint64>("record");
    QTest::addColumn<int>("hour");
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("time");
    QTest::newRow("morning, small number") << qint64(7) << 9 << "7" << "09:05:03 AM";
    QTest::newRow("midnight, thousands") << qint64(1234567) << 0 << "1,234,567" << "12:05:03 AM";
    QTest::newRow("noon") << qint64(1000) << 12 << "1,000" << "12:05:03 PM";
    QTest::newRow("evening") << qint64(999) << 23 << "999" << "11:05:03 PM";
}

void TestRecordDump::header() {
    QFETCH(qint64, record);
    QFETCH(int, hour);
    QFETCH(QString, number);
    QFETCH(QString, time);
    QCOMPARE(Q(RecordDump::HeaderLines("/d/a.dat", record, 250, At(2026, 12, 6, 0, hour, 5, 3))),
             (QStringList{"File Name: /d/a.dat", "Record Number: " + number, "Record Length: 250",
                          "Date: Sunday, December 6, 2026", "Time: " + time}));
}

void TestRecordDump::printableText_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("fieldNames");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("control codes become blanks, CR LF pairs go")
        << QByteArray("A\tB\x1d|\x1e\x1f|\r\nC\x0d") << false << QByteArray("A B |\x1e\x1f|C ");
    // Each value takes exactly its field's length; the widths come from the
    // longest values, so shorter ones are padded.
    QTest::newRow("delimited field by field, padded")
        << QByteArray("id,name,town\r\n7,Lee,Amsterdam\r\n12345,Leeuwenhoek,Ee\r\n") << true
        << QByteArray("7    Lee        Amsterdam");
}

void TestRecordDump::printableText() {
    QFETCH(QByteArray, bytes);
    QFETCH(bool, fieldNames);
    QTemporaryDir dir;
    const QString path = dir.filePath("d.csv");
    QVERIFY(WriteBytes(path, bytes));
    velmor::data::File file;
    QVERIFY(file.Open(path.toStdString()));
    velmor::data::Connection& c = file.GetConnection();
    if (fieldNames) {
        c.SetIsDelimited(true);
        c.SetRecordDelimiterRepresentation("CHR$(13) & CHR$(10)");
        c.SetFieldDelimiterRepresentation("CHR$(44)");
        c.SetFirstRecordContainsFieldNames(true);
        file.Refresh();
        file.MoveLast();
    } else {
        c.SetIsDelimited(false);
        c.SetIsFixed(true);
        c.SetRecordLength(bytes.size());
    }
    file.SetShowFieldNames(fieldNames);
    file.MoveTo(1);
    QTEST(QByteArray::fromStdString(RecordDump::PrintableText(file)), "expected");
}

void TestRecordDump::commandLineDump() {
    QVERIFY2(!VelmorData().isEmpty(), "build the velmor-data target first");
    QTemporaryDir dir;
    const QString path = dir.filePath("rec.dat");
    QVERIFY(WriteBytes(path, QByteArray(250, 'x') + QByteArray(249, 'y') + "\xe9"));
    CliResult r = RunVelmorData({"dump", path, "2", "--fixed", "--record-length", "250"});
    QCOMPARE(r.status, 0);
    const QStringList lines = QString::fromUtf8(r.out).split('\n');
    QCOMPARE(lines.value(1), QString("Record Number: 2"));
    QCOMPARE(lines.size(), 5 + 3 * 8 + 1);
    // A byte that is no UTF-8 is read as Windows-1252, as by every command.
    QCOMPARE(lines[5 + 16 + 5], QString(49, 'y') + QString::fromUtf8("é"));
    QCOMPARE(lines[5 + 16 + 6], QString(49, '7') + "E");
    QCOMPARE(lines[5 + 16 + 7], QString(49, '9') + "9");

    // UTF-8 stands as the viewer prints it: a character in its first byte's
    // column, blanks after, so every byte keeps its ruler position.
    const QString utf8 = dir.filePath("u.txt");
    QVERIFY(WriteBytes(utf8, "M\xC3\xBCller,Z\xC3\xBCrich,\"with, comma\"\n"));
    r = RunVelmorData({"dump", utf8, "1", "--fixed", "--record-length", "30"});
    QCOMPARE(QString::fromUtf8(r.out).split('\n').value(5 + 5),
             QString::fromUtf8("M\u00FC ller,Z\u00FC rich,\"with, comma\" "));
    // A stated length far past the file costs neither memory nor rulers.
    r = RunVelmorData({"dump", utf8, "1", "--fixed", "--record-length", "9223372036854775807"});
    QCOMPARE(r.status, 0);
    QCOMPARE(r.out.count('\n'), 5 + 8);

    r = RunVelmorData({"dump", path, "3", "--fixed", "--record-length", "250"});
    QCOMPARE(r.status, 1);
    QVERIFY(r.err.contains("has no record 3"));
}

QTEST_GUILESS_MAIN(TestRecordDump)
#include "tst_record_dump.moc"
