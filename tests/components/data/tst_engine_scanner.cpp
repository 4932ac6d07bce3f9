#include <QTemporaryDir>
#include <QtTest>
#include <random>

#include "data/blockmasks.h"
#include "data/datareader.h"
#include "data/delimitedrecords.h"
#include "data/delimitedscanner.h"
#include "data/filesplit.h"
#include "data/phrasefinder.h"

using namespace velmor::data;

namespace {

// Records of Text as the scanner cuts them, fed in pieces of Piece bytes
// (0: all at once) so that delimiters and qualifiers fall on buffer edges.
QList<QByteArray> Cut(const DelimitedScanner& scanner, const QByteArray& text, int piece) {
    QList<QByteArray> records;
    std::vector<size_t> ends(4);
    ScanMode mode = ScanMode::FieldStart;
    qsizetype start = 0, pos = 0;
    const qsizetype delimiter = static_cast<qsizetype>(scanner.Get().record.size());
    while (true) {
        qsizetype available = text.size() - pos;
        qsizetype len =
            piece > 0 ? std::min<qsizetype>(available, piece + scanner.Lookahead()) : available;
        bool eof = pos + len >= text.size();
        size_t consumed = 0;
        size_t n = scanner.Scan(text.constData() + pos, static_cast<size_t>(len), eof, mode,
                                ends.data(), ends.size(), consumed);
        for (size_t k = 0; k < n; ++k) {
            qsizetype end = pos + static_cast<qsizetype>(ends[k]);
            records << text.mid(start, end - delimiter - start);
            start = end;
        }
        pos += static_cast<qsizetype>(consumed);
        if (eof && n < ends.size()) break;
        if (consumed == 0 && n == 0) break;
    }
    if (start < text.size()) records << text.mid(start);
    return records;
}

// What counting all of Path leaves in the index, and the records reported
// as longer than all before, and the most values in one record, on two
// threads split at Split (-1: one thread, byte by byte; -2: one thread,
// vectorised).
struct Counted {
    RecordNo counted = 0;
    FilePos countedEnd = 0, longest = 0;
    std::int64_t mostValues = 0;
    bool complete = false;
    std::vector<FilePos> checkpoints, longer;
    bool operator==(const Counted&) const = default;
};

Counted CountAll(const QString& path, const Delimiters& d, FilePos split) {
    DataReader reader;
    std::string error;
    if (!reader.Open(path.toStdString(), error)) return {};
    SplitPolicy& policy = TwoThreadSplitting();
    const SplitPolicy before = policy;
    policy.smallest = split < 0 ? INT64_MAX : 1;
    policy.at = split;
    DelimitedRecords records(reader, DelimitedScanner(d, split != -1), 0);
    records.TallyValues(true);
    Counted c;
    records.LongRecord = [&](const RecordSpan& span) { c.longer.push_back(span.length); };
    records.CountTo(INT64_MAX);
    policy = before;
    const RecordIndex& index = records.Index();
    c.counted = index.counted;
    c.countedEnd = index.countedEnd;
    c.longest = index.longest;
    c.mostValues = index.mostValues;
    c.complete = index.complete;
    c.checkpoints = index.checkpoints;
    return c;
}

// Every copy of the scanning loops this CPU can run, widest last (the
// default): each must agree with the byte-by-byte scan.
template <class Check>
void ForEachVectorSet(Check check) {
    using masks::VectorSet;
    for (VectorSet set : {VectorSet::Portable, VectorSet::Avx2, VectorSet::Avx512}) {
        masks::VectorCap() = set;
        if (masks::WidestVectors() == set) check();
    }
}

QStringList Split(const DelimitedScanner& scanner, const QByteArray& record) {
    std::vector<std::string> values;
    scanner.SplitFields(std::string_view(record.constData(), static_cast<size_t>(record.size())),
                        values);
    QStringList out;
    for (auto& v : values) out << QString::fromLatin1(v.data(), static_cast<qsizetype>(v.size()));
    return out;
}

}  // namespace

class TestEngineScanner : public QObject {
    Q_OBJECT

private slots:
    void records_data();
    void records();
    void fields_data();
    void fields();
    void vectorMatchesBytewise_data();
    void vectorMatchesBytewise();
    void stopsAtMaxEnds();
    void twoThreadCount_data();
    void twoThreadCount();
    void phraseFinder_data();
    void phraseFinder();
};

void TestEngineScanner::records_data() {
    QTest::addColumn<QByteArray>("recordDelimiter");
    QTest::addColumn<QByteArray>("qualifier");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("expected");
    auto row = [](const char* name, const QByteArray& text, const QStringList& expected,
                  const char* record = "\r\n", const char* qualifier = "\"") {
        QTest::newRow(name) << QByteArray(record) << QByteArray(qualifier) << text << expected;
    };
    row("crlf, final delimiter", "a,b\r\nc,d\r\n", {"a,b", "c,d"});
    row("no final delimiter", "a\r\nb", {"a", "b"});
    row("qualified record end", "\"x\r\ny\",1\r\nz,2", {"\"x\r\ny\",1", "z,2"});
    row("doubled qualifier then end", "\"a\"\"\",b\r\nc", {"\"a\"\"\",b", "c"});
    row("qualifier inside unqualified field", "5\" disk,1\r\nnext,2\r\n", {"5\" disk,1", "next,2"});
    row("lone lf is data with crlf", "a\nb\r\nc", {"a\nb", "c"});
    row("lf only", "a\nb\n\nc\n", {"a", "b", "", "c"}, "\n");
    row("cr only", "a\rb\r", {"a", "b"}, "\r");
    row("no qualifying", "\"a\r\nb\"\r\n", {"\"a", "b\""}, "\r\n", "");
    row("unterminated qualifier", "a\r\n\"b\r\nc", {"a", "\"b\r\nc"});
    row("cr before crlf", "a\r\r\nb", {"a\r", "b"});
    row("three-byte delimiter", "a|~|\"b|~|\"|~|c", {"a", "\"b|~|\"", "c"}, "|~|");
    row("empty text", "", {});
}

void TestEngineScanner::records() {
    QFETCH(QByteArray, recordDelimiter);
    QFETCH(QByteArray, qualifier);
    QFETCH(QByteArray, text);
    QFETCH(QStringList, expected);
    for (bool vector : {true, false}) {
        DelimitedScanner scanner(
            Delimiters{recordDelimiter.toStdString(), ",", qualifier.toStdString()}, vector);
        for (int piece : {0, 1, 2, 3, 7}) {
            QStringList got;
            for (auto& r : Cut(scanner, text, piece)) got << QString::fromLatin1(r);
            QCOMPARE(got, expected);
        }
    }
}

void TestEngineScanner::fields_data() {
    QTest::addColumn<QByteArray>("fieldDelimiter");
    QTest::addColumn<QByteArray>("qualifier");
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<QStringList>("expected");
    auto row = [](const char* name, const QByteArray& record, const QStringList& expected,
                  const char* field = ",", const char* qualifier = "\"") {
        QTest::newRow(name) << QByteArray(field) << QByteArray(qualifier) << record << expected;
    };
    row("plain", "a,b,c", {"a", "b", "c"});
    row("empty fields", ",,", {"", "", ""});
    row("empty record", "", {""});
    row("qualified delimiter", "\"a,b\",c", {"a,b", "c"});
    row("doubled qualifier", "\"say \"\"hi\"\"\",x", {"say \"hi\"", "x"});
    row("empty qualified", "\"\",x", {"", "x"});
    row("mid-field qualifier", "5\" disk,x", {"5\" disk", "x"});
    row("text after closing", "\"ab\"cd,x", {"abcd", "x"});
    row("multi-byte field delimiter", "a::\"b::c\"::d", {"a", "b::c", "d"}, "::");
    row("no field delimiter", "a,b", {"a,b"}, "");
    row("no qualifier", "\"a\tb\"", {"\"a", "b\""}, "\t", "");
}

void TestEngineScanner::fields() {
    QFETCH(QByteArray, fieldDelimiter);
    QFETCH(QByteArray, qualifier);
    QFETCH(QByteArray, record);
    QFETCH(QStringList, expected);
    DelimitedScanner scanner(
        Delimiters{"\r\n", fieldDelimiter.toStdString(), qualifier.toStdString()});
    QCOMPARE(Split(scanner, record), expected);
}

void TestEngineScanner::vectorMatchesBytewise_data() {
    QTest::addColumn<QByteArray>("recordDelimiter");
    QTest::addColumn<QByteArray>("alphabet");
    QTest::newRow("crlf csv") << QByteArray("\r\n") << QByteArray("ab,\"\r\n ");
    QTest::newRow("lf csv") << QByteArray("\n") << QByteArray("a,\"\n\r");
    QTest::newRow("quote heavy") << QByteArray("\n") << QByteArray("\"\",\n");
}

void TestEngineScanner::vectorMatchesBytewise() {
    QFETCH(QByteArray, recordDelimiter);
    QFETCH(QByteArray, alphabet);
    Delimiters d{recordDelimiter.toStdString(), ",", "\""};
    ForEachVectorSet([&] {
        std::mt19937 random(12345);
        DelimitedScanner vector(d, true), bytewise(d, false);
        QVERIFY(vector.Vectorised());
        for (int round = 0; round < 300; ++round) {
            QByteArray text;
            int length = static_cast<int>(random() % 700);
            for (int i = 0; i < length; ++i)
                text.append(alphabet[static_cast<qsizetype>(random() % alphabet.size())]);
            for (int piece : {0, 64, 5}) QCOMPARE(Cut(vector, text, piece), Cut(bytewise, text, 0));
        }
    });
}

void TestEngineScanner::stopsAtMaxEnds() {
    DelimitedScanner scanner(Delimiters{"\n", ",", "\""});
    QByteArray text;
    for (int i = 0; i < 200; ++i) text += "x,\"y\"\n";
    std::vector<size_t> ends(3);
    ScanMode mode = ScanMode::FieldStart;
    size_t consumed = 0;
    size_t n = scanner.Scan(text.constData(), static_cast<size_t>(text.size()), true, mode,
                            ends.data(), 3, consumed);
    QCOMPARE(n, size_t{3});
    QCOMPARE(consumed, size_t{18});
    QCOMPARE(ends[2], size_t{18});
    QCOMPARE(mode, ScanMode::FieldStart);
}

void TestEngineScanner::twoThreadCount_data() {
    // The text is records around a piece whose "|" marks the split (removed).
    QTest::addColumn<QByteArray>("recordDelimiter");
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<QByteArray>("piece");
    auto row = [](const char* name, const QByteArray& piece,
                  const char* record = "k,\"a,b\",77\r\n", const char* delimiter = "\r\n") {
        QTest::newRow(name) << QByteArray(delimiter) << QByteArray(record) << piece;
    };
    row("inside a quoted value", "1,\"ab|c\r\nd\",x\r\n");
    row("on an opening quote", "1,|\"q\"\"r\",2\r\n");
    row("between doubled quotes", "1,\"q\"|\"r\",2\r\n");
    row("on a closing quote", "1,\"q|\",2\r\n");
    row("in a CR LF pair", "1,2\r|\n3,4\r\n");
    row("more values after the split", "1,\"a|b\"\r\n1,\"2,\",3,,5,6\r\n");
    row("on a quote inside an unquoted field", "1,ab|\"c,d\r\n");
    row("no record delimiter at all", "x|yz,\"\r\n\"", "a,\"b\",c");
    row("lf records, longest in the second half", "\"x\n|y\"\n" "long long long long\n",
        "ab,\"c\nd\"\n", "\n");
    row("in the last record, no final delimiter", "1,\"tail|\"", "a,b\r\n");
    // Short records in runs of 64 and longer ones (two bytes and more apart)
    // among them after the split, growing and shrinking.
    row("records of every length after the split",
        "1,\"a|b\"\r\n" + QByteArray("s\r\n").repeated(100) + QByteArray(300, 'L') + "\r\n" +
            QByteArray("t\r\n").repeated(70) + QByteArray(130, 'M') + "\r\n" +
            QByteArray(20000, 'N') + "\r\n" + QByteArray(140, 'O') + "\r\n");
}

void TestEngineScanner::twoThreadCount() {
    QFETCH(QByteArray, recordDelimiter);
    QFETCH(QByteArray, record);
    QFETCH(QByteArray, piece);
    const bool last = QByteArray(QTest::currentDataTag()).startsWith("in the last");
    QTemporaryDir dir;
    const QString path = dir.filePath("data.csv");
    const Delimiters d{recordDelimiter.toStdString(), ",", "\""};
    const QByteArray text = record.repeated(150) + piece + (last ? "" : record.repeated(97));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(text).replace("|", ""));
    file.close();
    const Counted one = CountAll(path, d, -1);
    QVERIFY(one.complete);
    ForEachVectorSet([&] {
        QVERIFY(CountAll(path, d, text.indexOf('|')) == one);
        QVERIFY(CountAll(path, d, -2) == one);
    });

    // A comma inside quotes divides nothing.
    const QByteArray tag = QTest::currentDataTag();
    if (tag == "more values after the split") QCOMPARE(one.mostValues, 6);
    if (tag != "inside a quoted value") return;
    QCOMPARE(one.mostValues, 3);
    // Random quote-heavy texts split anywhere.
    std::mt19937 random(777);
    const QByteArray alphabet = "ab,\"\"\r\n";
    for (int round = 0; round < 200; ++round) {
        QByteArray bytes;
        for (int i = 0; i < 3000; ++i) bytes.append(alphabet[random() % alphabet.size()]);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();
        const auto split = static_cast<FilePos>(1 + random() % 2998);
        const Counted bytewise = CountAll(path, d, -1);
        QVERIFY2(CountAll(path, d, split) == bytewise, bytes.constData());
        QVERIFY2(CountAll(path, d, -2) == bytewise, bytes.constData());
    }
}

void TestEngineScanner::phraseFinder_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("needle");
    QTest::addColumn<QList<int>>("expected");
    QTest::addColumn<bool>("utf8");
    QByteArray pad(70, '.');
    QTest::newRow("case blind") << QByteArray("xxAbCxxabc") << QByteArray("abc") << QList<int>{2, 7}
                                << false;
    QTest::newRow("latin-1 capitals") << QByteArray("M\xDCller m\xFCller")
                                      << QByteArray("m\xFCller") << QList<int>{0, 7} << false;
    QTest::newRow("across vector blocks")
        << pad + "NEEDLE" + pad + "needle" << QByteArray("needle") << QList<int>{70, 146} << false;
    QTest::newRow("at the very end") << pad + "zq" << QByteArray("zq") << QList<int>{70} << false;
    QTest::newRow("single byte") << QByteArray("aXbxc") << QByteArray("x") << QList<int>{1, 3}
                                 << false;
    QTest::newRow("overlapping") << QByteArray("aaaa") << QByteArray("aa") << QList<int>{0, 1, 2}
                                 << false;
    QTest::newRow("longer than text")
        << QByteArray("ab") << QByteArray("abc") << QList<int>{} << false;
    // UTF-8 data: each character of the phrase against its case variants.
    QTest::newRow("UTF-8 capitals")
        << QByteArray("\xC3\x89\x63ole \xC3\xA9\x63ole \xC3\x89\x43OLE")
        << QByteArray("\xC3\xA9\x63ole") << QList<int>{0, 7, 14} << true;
    QTest::newRow("UTF-8 sigma, three forms, across vector blocks")
        << pad + "\xCE\xBB\xCE\xBF\xCE\xB3\xCE\xBF\xCF\x82" + pad +
               "\xCE\x9B\xCE\x9F\xCE\x93\xCE\x9F\xCE\xA3"
        << QByteArray("\xCE\x9B\xCE\x9F\xCE\x93\xCE\x9F\xCE\xA3") << QList<int>{70, 150} << true;
    QTest::newRow("UTF-8, another letter of the same bytes")
        << QByteArray("\xC3\xB8 \xC5\xB8 \xC3\xBF") << QByteArray("\xC3\xBF") << QList<int>{3, 6}
        << true;
}

void TestEngineScanner::phraseFinder() {
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, needle);
    QFETCH(QList<int>, expected);
    QFETCH(bool, utf8);
    std::array<unsigned char, 256> fold{};
    for (int i = 0; i < 256; ++i) {
        int c = i;
        if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) c += 0x20;
        fold[static_cast<size_t>(i)] = static_cast<unsigned char>(c);
    }
    const PhraseFinder finder =
        utf8 ? PhraseFinder::Utf8(needle.toStdString()) : PhraseFinder(needle.toStdString(), fold);
    QList<int> found;
    size_t at = 0;
    while ((at = finder.Next(text.constData(), static_cast<size_t>(text.size()), at)) !=
           PhraseFinder::npos)
        found << static_cast<int>(at++);
    QCOMPARE(found, expected);
}

QTEST_GUILESS_MAIN(TestEngineScanner)
#include "tst_engine_scanner.moc"
