// Records far longer than anything shown: a names row the size of the file is
// skipped by the converter in bounded memory, and exactly where the engine
// ends that record.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <QtTest>
#include <functional>

#include "data/converter.h"
#include "data/file.h"
#include "datatools/codecounter.h"
#include "engine_testfiles.h"

using velmor::data::Converter;
using velmor::data::File;
using enginetest::ReadBytes;
using enginetest::WriteBytes;

namespace {

// Saves Path's connection: CR LF records, the given field delimiter, double
// quotes, and the first record holding the field names.
bool SaveNamesRowConnection(const QString& path, const char* fieldDelimiter) {
    File file;
    if (!file.Open(path.toStdString())) return false;
    auto& c = file.GetConnection();
    c.SetIsFixed(false);
    c.SetIsDelimited(true);
    c.SetRecordDelimiterRepresentation("CHR$(13) & CHR$(10)");
    c.SetFieldDelimiterRepresentation(fieldDelimiter);
    c.SetTextQualifierRepresentation("CHR$(34)");
    c.SetFirstRecordContainsFieldNames(true);
    file.Refresh();
    return file.SaveConnection("", false);
}

bool Convert(const QString& source, const QString& target) {
    Converter c;
    c.SetIsDelimited(true);
    c.SetRecordDelimiterRepresentation("CHR$(13) & CHR$(10)");
    c.SetFieldDelimiterRepresentation("CHR$(44)");
    c.SetTextQualifierRepresentation("CHR$(34)");
    c.OnError = [](const std::string& description, bool& cancel) {
        qWarning("%s", description.c_str());
        cancel = true;
    };
    return c.Convert(source.toStdString(), target.toStdString());
}

// How many MB the resident memory grew by while Work ran in a child process
// (the child starts with this process's pages); -1 when Work failed.
int PeakGrowthMb(const std::function<bool()>& work) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        struct rusage before {};
        ::getrusage(RUSAGE_SELF, &before);
        const bool ok = work();
        struct rusage after {};
        ::getrusage(RUSAGE_SELF, &after);
        const long grown = (after.ru_maxrss - before.ru_maxrss) >> 10;
        ::_exit(ok ? static_cast<int>(std::min(grown, 250L)) : 255);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 255;
    return code == 255 ? -1 : code;
}

}  // namespace

class TestHugeRecords : public QObject {
    Q_OBJECT
private slots:
    void namesRowIsSkippedWhereItEnds_data();
    void namesRowIsSkippedWhereItEnds();
    void namesRowOfAnyLengthIsSkippedInBoundedMemory_data();
    void namesRowOfAnyLengthIsSkippedInBoundedMemory();
    void codesOfAFieldOfAnyLengthArePaddedAsFarAsACodeReaches();
};

void TestHugeRecords::namesRowIsSkippedWhereItEnds_data() {
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<QByteArray>("fieldDelimiter");
    QTest::addColumn<QByteArray>("converted");
    const QByteArray comma = "CHR$(44)", semicolonBlank = "CHR$(59) & CHR$(32)";
    QTest::newRow("quoted names hold delimiters and doubled quotes")
        << QByteArray("\"a,\"\"b\"\"\r\n\",c\r\n1,2\r\n") << comma << QByteArray("1,2\r\n");
    QTest::newRow("a quote inside a name is a plain byte")
        << QByteArray("a\"b,c\r\n1,2\r\n") << comma << QByteArray("1,2\r\n");
    QTest::newRow("bytes after a closing quote stay in the name")
        << QByteArray("\"a\"x,\"b\"\r\n1,2\r\n") << comma << QByteArray("1,2\r\n");
    // CR ends the first block read, LF starts the second.
    QTest::newRow("record delimiter across a block border")
        << QByteArray((1 << 20) - 1, 'x') + "\r\n1,2\r\n" << comma << QByteArray("1,2\r\n");
    QTest::newRow("names alone, no final delimiter")
        << QByteArray("a,b,c") << comma << QByteArray();
    QTest::newRow("an open quote runs to the end")
        << QByteArray("\"a,b\r\n1,2\r\n") << comma << QByteArray();
    QTest::newRow("two-byte field delimiter (record by record)")
        << QByteArray("\"a; b\"; c\r\n1; 2\r\n") << semicolonBlank << QByteArray("1,2\r\n");
}

void TestHugeRecords::namesRowIsSkippedWhereItEnds() {
    QFETCH(QByteArray, source);
    QFETCH(QByteArray, fieldDelimiter);
    QTemporaryDir dir;
    const QString path = dir.filePath("names.csv");
    QVERIFY(WriteBytes(path, source));
    QVERIFY(SaveNamesRowConnection(path, fieldDelimiter.constData()));
    QVERIFY(Convert(path, dir.filePath("out.csv")));
    QTEST(ReadBytes(dir.filePath("out.csv")), "converted");
}

void TestHugeRecords::namesRowOfAnyLengthIsSkippedInBoundedMemory_data() {
    QTest::addColumn<QByteArray>("fieldDelimiter");
    QTest::newRow("whole-file passes") << QByteArray("CHR$(44)");
    QTest::newRow("record by record") << QByteArray("CHR$(44) & CHR$(32)");
}

// A names row of 48 MB of delimiters: split into values it would take
// hundreds of MB, skipped it takes a few blocks.
void TestHugeRecords::namesRowOfAnyLengthIsSkippedInBoundedMemory() {
    QFETCH(QByteArray, fieldDelimiter);
    QTemporaryDir dir;
    const QString path = dir.filePath("wide.csv");
    const QByteArray unit = fieldDelimiter.size() > 8 ? ", " : ",";
    QVERIFY(WriteBytes(path, unit.repeated((48 << 20) / unit.size()) + "\r\n1" + unit + "2\r\n"));
    QVERIFY(SaveNamesRowConnection(path, fieldDelimiter.constData()));
    const QString target = dir.filePath("out.csv");
    const int grown = PeakGrowthMb([&] { return Convert(path, target); });
    QVERIFY(grown >= 0);
    QVERIFY2(grown < 40, qPrintable(QString::number(grown) + " MB"));
    QVERIFY(ReadBytes(target).startsWith("1,2"));
}

// A file without a layout counts as one field as long as any record; its
// codes are padded as far as the longest reaches, not to the stated length.
void TestHugeRecords::codesOfAFieldOfAnyLengthArePaddedAsFarAsACodeReaches() {
    using velmor::datatools::CodeCounter;
    const std::vector<velmor::datatools::CodeCount> codes{{"a", 2}, {std::string(5000, 'b'), 1}};
    const std::string report = CodeCounter::Report(codes, velmor::data::FilePos{1} << 40);
    QCOMPARE(report.size(), 2 * (5001 + 7 + 2));
    QVERIFY(report.starts_with("a" + std::string(5000, ' ') + "2      \r\n"));
    QCOMPARE(CodeCounter::Report({{"a", 2}}, 3), std::string("a   2      \r\n"));
}

QTEST_GUILESS_MAIN(TestHugeRecords)
#include "tst_huge_records.moc"
