// Records far longer than anything shown: a names row the size of the file is
// skipped by the converter in bounded memory, and exactly where the engine
// ends that record; a value of tens of MB is converted and counted in
// pieces, never held whole.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <QtTest>
#include <functional>

#include "data/convert_fast.h"
#include "data/converter.h"
#include "data/file.h"
#include "datatools/codecounter.h"
#include "datatools/codetable.h"
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

bool Convert(const QString& source, const QString& target, bool fixed = false) {
    Converter c;
    c.SetIsFixed(fixed);
    c.SetIsDelimited(!fixed);
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
    void aHugeValueIsConvertedAndCountedInBoundedMemory_data();
    void aHugeValueIsConvertedAndCountedInBoundedMemory();
    void aLongCodeIsKeptAsItsStartLengthAndHash();
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

void TestHugeRecords::aHugeValueIsConvertedAndCountedInBoundedMemory_data() {
    QTest::addColumn<QString>("what");
    QTest::newRow("to a delimited target") << "delimited";
    QTest::newRow("to a fixed target") << "fixed";
    QTest::newRow("its codes") << "codes";
}

// One value of 32 MB: held whole, the read buffer alone would grow to 64 MB.
void TestHugeRecords::aHugeValueIsConvertedAndCountedInBoundedMemory() {
    QFETCH(QString, what);
    QTemporaryDir dir;
    const QString path = dir.filePath("value.csv");
    const int size = 32 << 20;
    const QByteArray value(size, 'x');
    QVERIFY(WriteBytes(path, "a,b\r\n1,2\r\n" + value + ",3\r\n\"4\"\"\",5\r\n"));
    QVERIFY(SaveNamesRowConnection(path, "CHR$(44)"));
    const QString target = dir.filePath("out.txt");
    std::vector<velmor::datatools::CodeCount> codes;
    const int grown = PeakGrowthMb([&] {
        if (what != "codes") return Convert(path, target, what == "fixed");
        File file;
        if (!file.Open(path.toStdString())) return false;
        auto result = velmor::datatools::CodeCounter::Count(file, 1, nullptr);
        // The child tells its codes through a file.
        QByteArray text;
        for (const auto& c : result.codes)
            text += QByteArray::number(c.code.size()) + c.code.substr(0, 3).c_str() + " " +
                    QByteArray::number(c.count) + "\n";
        return result.outcome == velmor::datatools::CodeCounter::Outcome::Counted &&
               WriteBytes(target, text);
    });
    QVERIFY(grown >= 0);
    QVERIFY2(grown < 40, qPrintable(QString::number(grown) + " MB"));
    const QByteArray out = ReadBytes(target);
    if (what == "delimited") {
        QCOMPARE(out, "1,2\r\n" + value + ",3\r\n\"4\"\"\",5\r\n");
    } else if (what == "fixed") {
        const QByteArray blanks(size - 2, ' ');
        QCOMPARE(out.size(), 3 * (size + 1 + 2));
        QVERIFY(out.startsWith("1" + QByteArray(size - 1, ' ') + "2\r\n" + value + "3\r\n4\"" +
                               blanks + "5\r\n"));
    } else {
        // The 32 MB code shows its first 64 KB.
        QCOMPARE(out, QByteArray("11 1\n24\" 1\n65536xxx 1\n"));
    }
}

// A code longer than the bytes kept counts by its start (one byte longer
// than any shorter code, so it orders exactly), length and hash: the same
// whether it came whole or in pieces.
void TestHugeRecords::aLongCodeIsKeptAsItsStartLengthAndHash() {
    using velmor::data::kKeptValueBytes;
    const std::string longer(70000, 'x');
    velmor::data::PieceHash whole;
    whole.Add(longer.data(), longer.size());
    velmor::data::PieceHash pieces;
    for (std::size_t at = 0, n = 1; at < longer.size(); at += n, n = n * 3 % 1000 + 1)
        pieces.Add(longer.data() + at, std::min(n, longer.size() - at));
    QCOMPARE(pieces.Value(), whole.Value());
    velmor::datatools::CodeTable table;
    table.Add(longer);
    table.AddLong(std::string_view(longer).substr(0, kKeptValueBytes + 1), longer.size(),
                  whole.Value());
    table.Add(std::string(kKeptValueBytes, 'x') + "y");
    table.Add(std::string(kKeptValueBytes, 'x'));
    table.Add("z");
    const std::string kept(kKeptValueBytes, 'x');
    const std::vector<velmor::datatools::CodeCount> expected{
        {kept, 1}, {kept, 2}, {kept, 1}, {"z", 1}};
    QVERIFY(table.Sorted() == expected);
    QCOMPARE(table.Total(), 5);
    // A start is never cut inside a UTF-8 character.
    const std::string euros = std::string(kKeptValueBytes - 1, 'e') + "\xE2\x82\xAC";
    QCOMPARE(velmor::data::KeptStart(euros).size(), kKeptValueBytes - 1);
}

QTEST_GUILESS_MAIN(TestHugeRecords)
#include "tst_huge_records.moc"
