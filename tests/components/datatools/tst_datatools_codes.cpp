// The field code counter's logic: its text, and its counts checked against
// counts kept while the test wrote the data (fixed, quoted CSV, dBase,
// EBCDIC), on files large enough to be split between two threads.
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>
#include <map>

#include "components/data/engine_testfiles.h"
#include "data/ebcdic.h"
#include "data/file.h"
#include "data/filesplit.h"
#include "datatools/codecounter.h"

using namespace velmor;
using datatools::CodeCount;
using datatools::CodeCounter;
using Expected = std::map<std::string, std::int64_t>;

namespace {

std::vector<CodeCount> Codes(const QStringList& list) {
    std::vector<CodeCount> codes;
    for (const QString& item : list) {
        const qsizetype colon = item.lastIndexOf(':');
        codes.push_back({item.left(colon).toStdString(), item.mid(colon + 1).toLongLong()});
    }
    return codes;
}

std::vector<CodeCount> Sorted(const Expected& expected) {
    std::vector<CodeCount> codes;
    for (const auto& [code, count] : expected) codes.push_back({code, count});
    return codes;
}

// A code out of a small alphabet that includes the CSV's hard cases.
std::string RandomCode(QRandomGenerator& random, int distinct) {
    static const char* const kHard[] = {"a,b", "say \"hi\"", "two\r\nlines", "", " pad ", "B", "b"};
    const int n = static_cast<int>(random.bounded(distinct));
    if (n < 7) return kHard[n];
    return std::string(static_cast<std::size_t>(n % 11), '-') + "code" + std::to_string(n);
}

QByteArray CsvValue(const std::string& value) {
    QByteArray v = QByteArray::fromStdString(value);
    if (!v.contains(',') && !v.contains('"') && !v.contains('\n')) return v;
    v.replace("\"", "\"\"");
    return "\"" + v + "\"";
}

}  // namespace

class DatatoolsCodesTest : public QObject {
    Q_OBJECT
private slots:
    void report_data();
    void report();
    void countsAgainstIndependentCount_data();
    void countsAgainstIndependentCount();
    void cancelledCount();
    void twoThreadsWhereverTheSplit_data();
    void twoThreadsWhereverTheSplit();
    void unnamedFields();
    void shortLastRecordAndMismatch();
};

void DatatoolsCodesTest::report_data() {
    QTest::addColumn<QStringList>("codes");  // code:count, in the order counted
    QTest::addColumn<int>("length");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("count starts at length + 2")
        << QStringList{"A:2", "B:2", "C:1"} << 3
        << QByteArray("A   2      \r\nB   2      \r\nC   1      \r\n");
    QTest::newRow("a code longer than the field widens the column")
        << QStringList{"ABCDEF:1", "ABCDEG:1", "B:2"} << 2
        << QByteArray("ABCDEF 1      \r\nABCDEG 1      \r\nB      2      \r\n");
    QTest::newRow("a count of eight digits widens the column")
        << QStringList{"A:12345678", "B:5"} << 1 << QByteArray("A 12345678\r\nB 5       \r\n");
    QTest::newRow("UTF-8 codes pad and widen by characters")
        << QStringList{"naïve:1", "ééééé:2", "x:3"} << 4
        << QByteArray(
               "na\xC3\xAFve 1      \r\n\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9 2      \r\nx     "
               "3      \r\n");
    QTest::newRow("nothing counted") << QStringList{} << 4 << QByteArray();
}

void DatatoolsCodesTest::report() {
    QFETCH(QStringList, codes);
    QFETCH(int, length);
    QFETCH(QByteArray, expected);
    QCOMPARE(QByteArray::fromStdString(CodeCounter::Report(Codes(codes), length)), expected);
}

void DatatoolsCodesTest::countsAgainstIndependentCount_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("records");
    QTest::addColumn<int>("distinct");
    QTest::newRow("single record") << "fixed" << 1 << 1;
    QTest::newRow("fixed, two threads") << "fixed" << 70000 << 40;
    QTest::newRow("quoted CSV") << "csv" << 3000 << 12;
    QTest::newRow("quoted CSV, two threads, many codes") << "csv" << 450000 << 5000;
    QTest::newRow("two-byte delimiter, record by record, past the opening sample")
        << "csv; " << 5000 << 12;
    QTest::newRow("dBase") << "dbf" << 500 << 9;
    QTest::newRow("EBCDIC") << "ebcdic" << 400 << 9;
}

void DatatoolsCodesTest::countsAgainstIndependentCount() {
    QFETCH(QString, kind);
    QFETCH(int, records);
    QFETCH(int, distinct);
    QTemporaryDir dir;
    QRandomGenerator random(20261206);
    Expected expected;
    QByteArray bytes;
    QList<QStringList> rows;
    const bool csv = kind.startsWith("csv");
    const QByteArray separator = kind.mid(3).isEmpty() ? "," : kind.mid(3).toLatin1();
    const QString path = dir.filePath("data." + kind.left(csv ? 3 : kind.size()));
    // The counted field is the second; its code is kept as the file holds
    // it, so expected counts need no engine at all.
    for (int r = 0; r < records; ++r) {
        std::string code = RandomCode(random, distinct);
        const QByteArray first = QByteArray::number(r);
        if (csv) {
            ++expected[code];
            bytes += CsvValue("k" + std::to_string(r)) + separator + CsvValue(code);
            if (r % 3 == 0) bytes += separator + "tail";  // records of different lengths
            bytes += "\r\n";
            continue;
        }
        code = QByteArray::fromStdString(code).replace("\r\n", "~~").left(8).toStdString();
        if (kind == "fixed" || kind == "ebcdic") {
            const QByteArray value = QByteArray::fromStdString(code).leftJustified(8, ' ', true);
            ++expected[value.toStdString()];
            bytes += first.leftJustified(6, ' ', true) + value;
        } else {
            ++expected[QByteArray::fromStdString(code).leftJustified(8, ' ', true).toStdString()];
            rows << QStringList{QString::fromLatin1(first), QString::fromStdString(code)};
        }
    }
    if (csv) bytes.prepend("KEY" + separator + "CODE\r\n");
    if (kind == "dbf") bytes = enginetest::DbaseTable({{"KEY", 6}, {"CODE", 8}}, rows);
    if (kind == "ebcdic") {
        for (char& c : bytes)
            c = static_cast<char>(data::ebcdic::FromLatin1(static_cast<unsigned char>(c)));
    }
    QVERIFY(enginetest::WriteBytes(path, bytes));

    data::File file;
    QVERIFY(file.Open(path.toStdString()));
    if (csv) {
        data::Connection& c = file.GetConnection();
        c.SetIsFixed(false);
        c.SetIsDelimited(true);
        c.SetRecordDelimiterRepresentation("CHR$(13) & CHR$(10)");
        c.SetFieldDelimiterRepresentation(separator == "," ? "CHR$(44)" : "CHR$(59) & CHR$(32)");
        c.SetTextQualifierRepresentation("CHR$(34)");
        c.SetFirstRecordContainsFieldNames(true);
        file.GetFields().Clear();
        file.Refresh();  // the names come from the first record
    } else if (kind != "dbf") {
        data::Connection& c = file.GetConnection();
        c.SetIsDelimited(false);
        c.SetIsFixed(true);
        c.SetRecordLength(14);
        file.SetDatabaseType(kind == "ebcdic" ? "Flat EBCDIC" : "Flat ASCII");
        file.GetFields().Clear();
        file.GetFields().Add("KEY", 6);
        file.GetFields().Add("CODE", 8);
    }
    const int index = file.GetFields().IndexOf("CODE");
    QVERIFY(index > 0);
    // The counter's own File, opened like the viewer's: the viewer's record stays.
    file.MoveTo(std::min(3, records));
    data::File copy;
    std::string error;
    QVERIFY(CodeCounter::OpenLike(file, copy, error));
    CodeCounter::Result result = CodeCounter::Count(copy, index, nullptr);
    QCOMPARE(int(result.outcome), int(CodeCounter::Outcome::Counted));
    QVERIFY(result.CountsMatch());
    QCOMPARE(result.records, records);
    QVERIFY(result.codes == Sorted(expected));
    QCOMPARE(file.RecordNumber(), std::min(3, records));
}

void DatatoolsCodesTest::cancelledCount() {
    QTemporaryDir dir;
    const QString path = dir.filePath("big.csv");
    QByteArray bytes;
    for (int r = 0; r < 200000; ++r) bytes += "x," + QByteArray::number(r % 7) + "\r\n";
    QVERIFY(enginetest::WriteBytes(path, bytes));
    data::File file;
    QVERIFY(file.Open(path.toStdString()));
    int calls = 0;
    CodeCounter::Result result =
        CodeCounter::Count(file, 2, [&calls](std::int64_t, std::int64_t) { return ++calls < 2; });
    QCOMPARE(int(result.outcome), int(CodeCounter::Outcome::Cancelled));
    QVERIFY(result.codes.empty());
}

void DatatoolsCodesTest::twoThreadsWhereverTheSplit_data() {
    // Records around a piece whose "|" marks the split (removed).
    QTest::addColumn<QByteArray>("piece");
    QTest::addColumn<int>("distinct");
    QTest::newRow("inside a quoted value") << QByteArray("7,\"ab|c\r\nd\",x\r\n") << 3;
    QTest::newRow("on a quote") << QByteArray("7,|\"q\"\"r\"\r\n") << 3;
    QTest::newRow("in a CR LF pair") << QByteArray("7,q\r|\n8,r\r\n") << 4;
    QTest::newRow("no record delimiter") << QByteArray("|") << 1;
}

void DatatoolsCodesTest::twoThreadsWhereverTheSplit() {
    QFETCH(QByteArray, piece);
    QFETCH(int, distinct);
    const bool none = piece == "|";
    const QByteArray record = none ? "1,\"a,b\",2," : "1,\"a,b\"\r\n2,c\r\n";
    const QByteArray text = "KEY,CODE\r\n" + record.repeated(300) + piece + record.repeated(200);
    QTemporaryDir dir;
    const QString path = dir.filePath("data.csv");
    QVERIFY(enginetest::WriteBytes(path, QByteArray(text).replace("|", "")));
    data::SplitPolicy& policy = data::TwoThreadSplitting();
    const data::SplitPolicy before = policy;
    std::vector<CodeCount> one;
    for (data::FilePos at : {data::FilePos{-1}, data::FilePos{text.indexOf('|')}}) {
        policy.smallest = at < 0 ? INT64_MAX : 1;
        policy.at = at;
        data::File file;
        QVERIFY(file.Open(path.toStdString()));
        CodeCounter::Result result = CodeCounter::Count(file, 2, nullptr);
        QCOMPARE(int(result.outcome), int(CodeCounter::Outcome::Counted));
        QVERIFY(result.CountsMatch());
        if (at < 0)
            one = result.codes;
        else
            QVERIFY(result.codes == one);
    }
    policy = before;
    QCOMPARE(one.size(), size_t(distinct));
}

void DatatoolsCodesTest::unnamedFields() {
    data::Fields fields;
    fields.Add("", 1);
    fields.Add("Field1", 1);
    fields.Add("", 1);
    fields.Add("", 1);
    fields.Add("field5", 1);
    const std::vector<std::string> names = datatools::NameUnnamedFields(fields);
    const std::vector<std::string> expected{"Field2", "Field1", "Field3", "Field4", "field5"};
    QVERIFY(names == expected);
    QCOMPARE(fields.Item(1)->Name(), std::string("Field2"));
}

// A fixed file's short last record is counted, as the viewer shows it;
// counts that do not add up to the engine's record count are noticed.
void DatatoolsCodesTest::shortLastRecordAndMismatch() {
    QTemporaryDir dir;
    const QString path = dir.filePath("tail.txt");
    QVERIFY(enginetest::WriteBytes(path, "AAAA11BBBB22CC"));
    data::File file;
    QVERIFY(file.Open(path.toStdString()));
    file.SetDatabaseType("Flat ASCII");
    file.GetConnection().SetIsDelimited(false);
    file.GetConnection().SetIsFixed(true);
    file.GetConnection().SetRecordLength(6);
    file.GetFields().Clear();
    file.GetFields().Add("CODE", 4);
    file.GetFields().Add("N", 2);
    CodeCounter::Result result = CodeCounter::Count(file, 1, nullptr);
    QCOMPARE(result.records, 3);
    QVERIFY(result.codes == Codes({"AAAA:1", "BBBB:1", "CC:1"}));
    QVERIFY(result.CountsMatch());
    result.expected = 4;
    QVERIFY(!result.CountsMatch());
}

QTEST_GUILESS_MAIN(DatatoolsCodesTest)
#include "tst_datatools_codes.moc"
