// Record formats read from hand-built bytes: fixed, RDW (both byte orders),
// blocked with BDW, and every kind of damaged length; the same from a file
// through the reader's buffer.
#include <QTemporaryDir>
#include <QtTest>

#include "copybook/recordformat.h"

using namespace velmor::copybook;

class CopybookRecordsTest : public QObject {
    Q_OBJECT
private slots:
    void formats_data();
    void formats();
    void largeFileThroughTheBuffer();
    void detection_data();
    void detection();
};

void CopybookRecordsTest::formats_data() {
    QTest::addColumn<QString>("format");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");  // records in hex, then "!" and the problem
    auto h = [](const char* hex) { return QByteArray::fromHex(hex); };
    QTest::newRow("fixed, short last") << "fixed" << h("C1C2C3C4C5") << "C1C2 C3C4 C5";
    QTest::newRow("rdw") << "rdw" << h("00060000C1C2 00050000C3 00040000") << "C1C2 C3 -";
    QTest::newRow("rdw little-endian") << "rdw-le" << h("06000000C1C2 05000000C3") << "C1C2 C3";
    QTest::newRow("bdw") << "bdw" << h("000F0000 00060000C1C2 00050000C3 000A0000 00060000C4C5")
                         << "C1C2 C3 C4C5";
    QTest::newRow("rdw length below 4")
        << "rdw" << h("00050000C1 00030000C2")
        << "C1 !Record 2 at byte 5: the record length 3 is less than 4; reading stops before it.";
    QTest::newRow("rdw zero length")
        << "rdw" << h("00000000") << "!Record 1 at byte 0: the record length 0 is less than 4; reading stops before it.";
    QTest::newRow("rdw past the end")
        << "rdw" << h("00050000C1 00090000C2C3")
        << "C1 !Record 2 at byte 5: the record length 9 runs past the end of the file (6 bytes left); "
           "reading stops before it.";
    QTest::newRow("rdw spare bytes not zero")
        << "rdw" << h("00050001C1")
        << "!Record 1 at byte 0: the two bytes after the record length 5 are not zero; reading stops before it.";
    QTest::newRow("rdw cut inside the descriptor")
        << "rdw" << h("00050000C1 0005")
        << "C1 !Record 2 at byte 5: the file ends inside a record descriptor word; reading stops before it.";
    QTest::newRow("bdw record past its block")
        << "bdw" << h("00080000 00060000C1C2")
        << "!Record 1 at byte 4: the record length 6 runs past the end of its block; reading stops before it.";
    QTest::newRow("bdw block length below 4")
        << "bdw" << h("00020000") << "!Record 1 at byte 0: the block length 2 is less than 4; reading stops before it.";
}

void CopybookRecordsTest::formats() {
    QFETCH(QString, format);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);
    RecordFormat f;
    QVERIFY(RecordFormatFromName(format.toStdString(), f));
    RecordReader reader;
    reader.OpenBytes(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())), f, 2);
    QStringList seen;
    std::string_view record;
    while (reader.Next(record))
        seen << (record.empty() ? QString("-") : QByteArray(record.data(), static_cast<qsizetype>(record.size())).toHex().toUpper());
    if (!reader.Problem().empty()) seen << "!" + QString::fromStdString(reader.Problem());
    QCOMPARE(seen.join(' '), expected);
    // Counting without handing out records stops at the same place.
    RecordReader counter;
    counter.OpenBytes(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())), f, 2);
    QCOMPARE(counter.CountToEnd(), reader.RecordNumber());
    QCOMPARE(counter.Problem(), reader.Problem());
}

void CopybookRecordsTest::largeFileThroughTheBuffer() {
    // Records of every length from 4 to 3003 bytes cross the reader's 4 MiB
    // buffer many times over; each holds its own number.
    QTemporaryDir dir;
    const QString path = dir.filePath("v.dat");
    QByteArray all;
    for (int n = 0; n < 3000; ++n) {
        const int length = 4 + n;
        QByteArray rec(4, '\0');
        rec[0] = static_cast<char>(length >> 8);
        rec[1] = static_cast<char>(length & 0xFF);
        rec += QByteArray(n, static_cast<char>(n % 251));
        all += rec;
    }
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(all);
    file.close();
    RecordReader reader;
    std::string error;
    QVERIFY(reader.Open(path.toStdString(), RecordFormat::Rdw, 0, 0, error));
    std::string_view record;
    std::int64_t start = 0;
    for (int n = 0; n < 3000; ++n) {
        QVERIFY(reader.Next(record));
        QCOMPARE(reader.RecordNumber(), n + 1);
        QCOMPARE(reader.RecordStart(), start);
        QCOMPARE(record.size(), static_cast<size_t>(n));
        QVERIFY(record.find_first_not_of(static_cast<char>(n % 251)) == std::string_view::npos);
        start += 4 + n;
    }
    QVERIFY(!reader.Next(record));
    QVERIFY(reader.Problem().empty());
}

void CopybookRecordsTest::detection_data() {
    QTest::addColumn<QByteArray>("sample");
    QTest::addColumn<bool>("whole");
    QTest::addColumn<bool>("expected");
    auto h = [](const char* hex) { return QByteArray::fromHex(hex); };
    QTest::newRow("chains to the end") << h("00060000C1C2 00050000C3") << true << true;
    QTest::newRow("runs on past a sample") << h("00060000C1C2 00050000C3 00090000C1") << false << true;
    QTest::newRow("cut in a whole file") << h("00060000C1C2 00050000C3 00090000C1") << true << false;
    QTest::newRow("one record is no chain") << h("00060000C1C2") << true << false;
    QTest::newRow("text") << QByteArray("hello world\nhello world\n") << false << false;
    QTest::newRow("spare bytes set") << h("00060001C1C2 00050000C3") << true << false;
}

void CopybookRecordsTest::detection() {
    QFETCH(QByteArray, sample);
    QFETCH(bool, whole);
    QFETCH(bool, expected);
    QCOMPARE(ChainsAsRdw(sample.toStdString(), whole, false), expected);
}

QTEST_GUILESS_MAIN(CopybookRecordsTest)
#include "tst_copybook_records.moc"
