// The converter's fast whole-file passes must give exactly what the exact
// record-by-record splitter gives: the same widths, the same record count and
// the same fixed-length output, on one thread or split between two, also
// when the guess of where the second thread starts falls inside a qualified
// field, and across reads that cut records and values anywhere (reads of 64
// bytes take most records in pieces, as a record far longer than the read
// buffer is taken).
#include <QTemporaryDir>
#include <QtTest>
#include <random>
#include <string>
#include <vector>

#include "data/blockmasks.h"
#include "data/convert_fast.h"
#include "data/convert_format.h"
#include "data/convert_output.h"
#include "data/convert_scan.h"
#include "engine_testfiles.h"

using velmor::data::DelimitedPasses;
using velmor::data::DelimitedSplitter;
using velmor::data::DelimitedSyntax;
using velmor::data::FilePos;
using velmor::data::StagedOutput;

Q_DECLARE_METATYPE(std::string)
Q_DECLARE_METATYPE(DelimitedSyntax)

namespace {

struct Result {
    std::vector<FilePos> widths;
    std::uint64_t records = 0;
    std::string fixed;
    std::string delimited;  ///< as CSV, at least two values a record
    std::string columns;    ///< the values of kColumns, one a line
};

// The first, a middle one, one most records lack, and one past those the
// code counter looks for on their own.
constexpr std::size_t kColumns[] = {0, 2, 6, 9};

// A value as the code counter's sink takes it: a long one by its length.
std::string Taken(std::string_view value) {
    if (value.size() > velmor::data::kKeptValueBytes) return "long " + std::to_string(value.size());
    return std::string(value);
}

struct Collected : velmor::data::ColumnSink {
    std::string values;
    void Add(std::string_view value) override { values += Taken(value) + '\n'; }
    void AddLong(std::string_view, std::uint64_t length, std::uint64_t) override {
        values += "long " + std::to_string(length) + '\n';
    }
    void Clear() override { values.clear(); }
};

const velmor::data::DelimitedFormat kCsv("\r\n", ",", "\"");

std::string Padded(const std::vector<std::vector<std::string>>& records,
                   const std::vector<FilePos>& widths) {
    std::string out;
    for (const auto& values : records) {
        for (std::size_t i = 0; i < widths.size(); ++i) {
            std::string v = i < values.size() ? values[i] : std::string();
            out += v + std::string(static_cast<std::size_t>(widths[i]) - v.size(), ' ');
        }
        out += "\r\n";
    }
    return out;
}

// What the exact splitter makes of the whole text at once.
Result Reference(const std::string& bytes, FilePos start, const DelimitedSyntax& syntax,
                 bool skipFirst) {
    DelimitedSplitter splitter(syntax);
    std::string_view data(bytes);
    data.remove_prefix(static_cast<std::size_t>(start));
    std::vector<std::vector<std::string>> records;
    std::size_t used = 0;
    while (!data.empty() && splitter.Next(data, true, used) && used > 0) {
        records.emplace_back(splitter.Values().begin(), splitter.Values().end());
        data.remove_prefix(used);
    }
    if (skipFirst && !records.empty()) records.erase(records.begin());
    Result r;
    for (const auto& values : records) {
        if (r.widths.size() < values.size()) r.widths.resize(values.size(), 0);
        for (std::size_t i = 0; i < values.size(); ++i) {
            r.widths[i] = std::max(r.widths[i], static_cast<FilePos>(values[i].size()));
        }
    }
    r.records = records.size();
    r.fixed = Padded(records, r.widths);
    for (const auto& values : records)
        kCsv.AppendRecord(velmor::data::Values(values.begin(), values.end()), 2, r.delimited);
    for (std::size_t column : kColumns) {
        for (const auto& values : records)
            r.columns += (column < values.size() ? Taken(values[column]) : std::string()) + '\n';
    }
    return r;
}

std::string ReadAll(const std::string& path) {
    return enginetest::ReadBytes(QString::fromStdString(path)).toStdString();
}

void WriteAll(const std::string& path, const std::string& bytes) {
    QVERIFY(enginetest::WriteBytes(QString::fromStdString(path), QByteArray::fromStdString(bytes)));
}

// The values of kColumns as the code counter takes them, one a line.
std::string Columns(DelimitedPasses& passes, std::string& error) {
    std::string values;
    for (std::size_t column : kColumns) {
        Collected first, second;
        std::uint64_t records = 0;
        if (!passes.VisitColumn(column, first, second, records, nullptr, error)) break;
        values += first.values + second.values;
    }
    return values;
}

// Both passes over a file; Error set (and the result partial) on a failure.
Result Fast(const std::string& path, FilePos start, const DelimitedSyntax& syntax, bool skipFirst,
            int threads, std::size_t readBytes, std::string& error) {
    DelimitedPasses passes(path, start, syntax, skipFirst);
    passes.SetThreads(threads);
    if (readBytes > 0) passes.SetReadBytes(readBytes);
    passes.SetSmallestSplit(1);
    Result r;
    if (!passes.Measure(r.widths, r.records, nullptr, error)) return r;
    const std::string target = path + ".fixed";
    StagedOutput out(target);
    if (!out.Create() || !passes.WriteFixed(out, 0, r.widths, nullptr, error) || !out.Commit()) {
        if (error.empty()) error = out.Error();
        return r;
    }
    r.fixed = ReadAll(target);
    r.columns = Columns(passes, error);
    if (threads == 1) {
        StagedOutput csv(path + ".csv");
        std::uint64_t records = 0;
        if (!csv.Create() || !passes.WriteDelimited(csv, kCsv, 2, nullptr, records, error) ||
            !csv.Commit() || records != r.records) {
            if (error.empty()) error = "the delimited output failed: " + csv.Error();
            return r;
        }
        r.delimited = ReadAll(path + ".csv");
    }
    return r;
}

// One pass over widths guessed from samples of SampleBytes, then what the
// converter does when the guess did not hold: the write alone over the widths
// that pass measured.
Result Guessed(const std::string& path, FilePos start, const DelimitedSyntax& syntax,
               bool skipFirst, int threads, FilePos sampleBytes, std::size_t readBytes,
               std::string& error) {
    DelimitedPasses passes(path, start, syntax, skipFirst);
    passes.SetThreads(threads);
    if (readBytes > 0) passes.SetReadBytes(readBytes);
    passes.SetSmallestSplit(1);
    passes.SetSampleBytes(sampleBytes);
    Result r;
    std::vector<FilePos> guess;
    DelimitedPasses::Guessed found;
    const std::string target = path + ".guessed";
    StagedOutput out(target);
    if (!passes.GuessWidths(guess, error) || !out.Create() ||
        !passes.WriteGuessed(out, 0, guess, nullptr, found, error)) {
        return r;
    }
    r.widths = found.widths;
    r.records = found.records;
    if (!found.fits || found.widths != guess) {
        if (!out.Restart() ||
            (!found.known && !passes.Measure(r.widths, r.records, nullptr, error)) ||
            !passes.WriteFixed(out, 0, r.widths, nullptr, error)) {
            return r;
        }
    }
    if (!out.Commit()) error = out.Error();
    r.fixed = ReadAll(target);
    return r;
}

// Records of every awkward kind the qualifier allows, in a fixed random order.
std::string Generated(const DelimitedSyntax& s, int records, unsigned seed) {
    std::mt19937 random(seed);
    auto below = [&](unsigned n) { return static_cast<unsigned>(random() % n); };
    const std::string& q = s.qualifier;
    std::string out;
    for (int r = 0; r < records; ++r) {
        const unsigned fields = 1 + below(11);
        for (unsigned f = 0; f < fields; ++f) {
            if (f > 0) out += s.fieldDelimiter;
            const unsigned kind = q.empty() ? below(2) : below(9);
            const std::string word(below(40), static_cast<char>('a' + below(26)));
            // Plain, empty, qualified delimiters, a qualified record end, a doubled qualifier,
            // an empty qualified value, bytes after the closing one, a stray inch mark.
            const std::string shapes[] = {word,
                                          "",
                                          q + word + s.fieldDelimiter + word + q,
                                          q + word + s.recordDelimiter + word + q,
                                          q + word + q + q + word + q,
                                          q + q,
                                          q + word + q + "tail",
                                          word + q + word,
                                          q + word + q};
            out += shapes[kind];
        }
        out += s.recordDelimiter;
    }
    return out;
}

}  // namespace

class ConverterFastTest : public QObject {
    Q_OBJECT

private slots:
    void sameAsTheExactSplitter_data() {
        QTest::addColumn<std::string>("bytes");
        QTest::addColumn<DelimitedSyntax>("syntax");
        QTest::addColumn<qint64>("start");
        QTest::addColumn<bool>("skipFirst");
        const DelimitedSyntax csv{"\r\n", ",", "\""};
        const DelimitedSyntax lf{"\n", ",", "\""};
        const DelimitedSyntax cr{"\r", ";", "'"};
        const DelimitedSyntax tabs{"\n", "\t", ""};
        QTest::newRow("quoted CSV") << Generated(csv, 3000, 1) << csv << qint64{0} << false;
        QTest::newRow("LF records") << Generated(lf, 3000, 2) << lf << qint64{0} << false;
        QTest::newRow("CR records, other qualifier")
            << Generated(cr, 3000, 3) << cr << qint64{0} << false;
        QTest::newRow("tabs, no qualifier")
            << Generated(tabs, 3000, 4) << tabs << qint64{0} << false;
        QTest::newRow("names skipped")
            << "id,name\r\n" + Generated(csv, 500, 5) << csv << qint64{0} << true;
        QTest::newRow("byte offset")
            << "PREFIX" + Generated(csv, 500, 6) << csv << qint64{6} << false;
        QTest::newRow("no final delimiter")
            << std::string("a,\"b\"\r\nc,\"d\"\"\"") << csv << qint64{0} << false;
        QTest::newRow("qualifier left open")
            << std::string("a,b\r\n\"c,d\r\ne") << csv << qint64{0} << false;
        QTest::newRow("CR LF cut by a qualifier")
            << std::string("\"a\r\"\nb\r\n") << csv << qint64{0} << false;
        QTest::newRow("lone CR and LF are data")
            << std::string("a\rb,c\nd\r\n") << csv << qint64{0} << false;
        QTest::newRow("empty file") << std::string() << csv << qint64{0} << false;
        QTest::newRow("names only") << std::string("id,name") << csv << qint64{0} << true;
        QTest::newRow("empty records") << std::string("\r\n\r\n,\r\n") << csv << qint64{0} << false;
        // Longer than a read, so the reading buffer has to grow.
        const std::string longValue(600 * 1024, 'x');
        QTest::newRow("record longer than a read")
            << "a," + longValue + "\r\n\"" + longValue + ",\r\n\",b\r\nc\r\n"
            << csv << qint64{0} << false;
        // With reads of 64 bytes (a buffer of 128 at most), values spanning
        // two and three reads, cut between CR and LF, inside a doubled
        // qualifier, right after a value, and a names row in pieces.
        const std::string x62(62, 'x');
        const std::string x126(126, 'x');
        QTest::newRow("pieces: CR LF cut between reads")
            << "a,b\r\n" + x126 + "\r\n" + std::string(200, 'y') + "\r\n\"" + x126 + "\r\"\r\nz"
            << csv << qint64{0} << false;
        QTest::newRow("pieces: doubled qualifier cut between reads")
            << "\"" + x62 + "\"\"" + x62 + "\"\"\"\"" + x126 + "\",\"" + x62 + "\"tail" + x62 +
                   "\r\n1,2\r\n"
            << csv << qint64{0} << false;
        QTest::newRow("pieces: a value ends at a read's end")
            << x62 + "," + x62 + "," + x126 + "," + std::string(64, ',') + "\r\n\"" + x126 +
                   "\"\r\n"
            << csv << qint64{0} << false;
        QTest::newRow("pieces: a lone CR is data, a qualifier left open")
            << x126 + "\r" + x126 + "\r\r\n," + x126 + "\r\n\"" + x126 + "\r\n" + x126 << csv
            << qint64{0} << false;
        QTest::newRow("pieces: the names and a last record without its end")
            << "id," + x126 + x126 + "\r\n" + x126 + x126 + ",\"" + x62 + "\"\r" << csv << qint64{0}
            << true;
        // The middle of the file lies inside one qualified value of many
        // lines, so the second thread's guessed start is wrong.
        std::string lines;
        for (int i = 0; i < 3000; ++i) lines += "line " + std::to_string(i) + "\r\n";
        QTest::newRow("middle inside the names")
            << "\"" + std::string(1000, 'n') + "\r\n\",x\r\na,b\r\nc,d\r\n"
            << csv << qint64{0} << true;
        // Samples that start inside the qualified values take their second
        // lines for records: a guess wider than any real first value.
        std::string wide;
        for (int i = 0; i < 40; ++i) {
            for (int k = 0; k < 20; ++k) wide += "1,2\r\n";
            wide += "3,\"" + std::string(40, 'x') + "\r\nwide line of text " + std::to_string(i) +
                    "\"\r\n";
        }
        QTest::newRow("samples inside qualified values") << wide << csv << qint64{0} << false;
        QTest::newRow("middle inside a qualified value")
            << Generated(csv, 50, 7) + "x,\"" + lines + "\"\r\n" + Generated(csv, 50, 8) << csv
            << qint64{0} << false;
    }

    void sameAsTheExactSplitter() {
        QFETCH(std::string, bytes);
        QFETCH(DelimitedSyntax, syntax);
        QFETCH(qint64, start);
        QFETCH(bool, skipFirst);
        QTemporaryDir dir;
        const std::string path = dir.filePath("data.txt").toStdString();
        WriteAll(path, bytes);
        const Result expected = Reference(bytes, start, syntax, skipFirst);
        for (const auto& [threads, reads] : {std::pair{1, 0}, {2, 0}, {1, 64}, {2, 64}}) {
            std::string error;
            const Result got = Fast(path, start, syntax, skipFirst, threads, reads, error);
            const QString run = QString("threads %1, reads %2").arg(threads).arg(reads);
            QVERIFY2(error.empty(), qPrintable(run + ": " + QString::fromStdString(error)));
            QCOMPARE(got.records, expected.records);
            QCOMPARE(got.widths, expected.widths);
            QVERIFY2(got.fixed == expected.fixed, qPrintable(run));
            QVERIFY2(got.columns == expected.columns, qPrintable(run));
            // Every copy of the splitter this CPU runs, the widest last.
            using velmor::data::masks::VectorSet;
            for (VectorSet set : {VectorSet::Portable, VectorSet::Avx2, VectorSet::Avx512}) {
                velmor::data::masks::VectorCap() = set;
                if (velmor::data::masks::WidestVectors() != set) continue;
                DelimitedPasses passes(path, start, syntax, skipFirst);
                passes.SetThreads(threads);
                if (reads > 0) passes.SetReadBytes(reads);
                passes.SetSmallestSplit(1);
                QVERIFY2(Columns(passes, error) == expected.columns, qPrintable(run));
            }
            QVERIFY2(threads == 2 || got.delimited == expected.delimited, qPrintable(run));
            // Samples of a few bytes guess too narrow and, starting inside
            // qualified values, too wide; a megabyte takes the whole file.
            for (FilePos sample : {FilePos{5}, FilePos{300}, FilePos{1} << 20}) {
                const Result one =
                    Guessed(path, start, syntax, skipFirst, threads, sample, reads, error);
                const QString row = run + QString(", samples of %1").arg(sample);
                QVERIFY2(error.empty(), qPrintable(row + ": " + QString::fromStdString(error)));
                QCOMPARE(one.records, expected.records);
                QCOMPARE(one.widths, expected.widths);
                QVERIFY2(one.fixed == expected.fixed, qPrintable(row));
            }
        }
    }

    void aRecordOfTooManyValuesIsRefused() {
        QTemporaryDir dir;
        const std::string path = dir.filePath("wide.csv").toStdString();
        WriteAll(path, "a,b\r\n" + std::string(70000, ',') + "\r\nc,d\r\n");
        const DelimitedSyntax csv{"\r\n", ",", "\""};
        for (FilePos sample : {FilePos{0}, FilePos{4}, FilePos{1} << 20}) {
            std::string error;
            if (sample == 0) {
                Fast(path, 0, csv, false, 2, 0, error);
            } else {
                Guessed(path, 0, csv, false, 2, sample, 0, error);
            }
            QVERIFY2(error.find("more than 65536 values") != std::string::npos, error.c_str());
        }
    }

    // Widths are measured in 32 bits, so a value of 4 GB or more was taken
    // as one byte shorter and then refused as a changed file; tests lower
    // the limit rather than write 4 GB.
    void aValueTooWideForAFixedFieldIsRefused() {
        QTemporaryDir dir;
        const std::string path = dir.filePath("long.csv").toStdString();
        WriteAll(path, "a,b\r\nc,\"" + std::string(300, 'x') + "\"\r\n");
        const DelimitedSyntax csv{"\r\n", ",", "\""};
        for (bool guessed : {false, true}) {
            DelimitedPasses passes(path, 0, csv, false);
            passes.SetSmallestSplit(1);
            passes.SetWidestValue(300);
            std::string error;
            std::vector<FilePos> widths;
            std::uint64_t records = 0;
            StagedOutput out(path + ".fixed");
            DelimitedPasses::Guessed found;
            const bool ok = guessed ? passes.GuessWidths(widths, error) && out.Create() &&
                                          passes.WriteGuessed(out, 0, widths, nullptr, found, error)
                                    : passes.Measure(widths, records, nullptr, error);
            QVERIFY(!ok);
            QVERIFY2(error.find("Field 2 of") != std::string::npos &&
                         error.find("a value of 300 bytes or more") != std::string::npos,
                     error.c_str());
        }
    }

    void suitsOnlyTheUsualShapes_data() {
        QTest::addColumn<DelimitedSyntax>("syntax");
        QTest::addColumn<bool>("suits");
        QTest::newRow("CSV") << DelimitedSyntax{"\r\n", ",", "\""} << true;
        QTest::newRow("no qualifier") << DelimitedSyntax{"\n", "\t", ""} << true;
        QTest::newRow("two-byte field delimiter") << DelimitedSyntax{"\n", "||", "\""} << false;
        QTest::newRow("no field delimiter") << DelimitedSyntax{"\n", "", "\""} << false;
        QTest::newRow("two-byte qualifier") << DelimitedSyntax{"\n", ",", "''"} << false;
        QTest::newRow("three-byte record end") << DelimitedSyntax{"END", ",", ""} << false;
        QTest::newRow("record end of one byte twice") << DelimitedSyntax{"\n\n", ",", ""} << false;
        QTest::newRow("field delimiter inside record end")
            << DelimitedSyntax{"\r\n", "\n", ""} << false;
        QTest::newRow("qualifier same as field delimiter")
            << DelimitedSyntax{"\n", ",", ","} << false;
    }

    void suitsOnlyTheUsualShapes() {
        QFETCH(DelimitedSyntax, syntax);
        QFETCH(bool, suits);
        QCOMPARE(DelimitedPasses::Suits(syntax), suits);
    }

    void aSourceChangedBetweenThePassesIsRefused() {
        QTemporaryDir dir;
        const std::string path = dir.filePath("data.csv").toStdString();
        const DelimitedSyntax csv{"\r\n", ",", "\""};
        WriteAll(path, "a,b\r\nc,d\r\n");
        DelimitedPasses passes(path, 0, csv, false);
        std::vector<FilePos> widths;
        std::uint64_t records = 0;
        std::string error;
        QVERIFY(passes.Measure(widths, records, nullptr, error));
        WriteAll(path, "a,b\r\nc,wider\r\n");
        StagedOutput out(path + ".fixed");
        QVERIFY(out.Create());
        QVERIFY(!passes.WriteFixed(out, 0, widths, nullptr, error));
        QVERIFY2(QString::fromStdString(error).contains("changed"), error.c_str());
    }

    void cancellingStopsBothThreads() {
        QTemporaryDir dir;
        const std::string path = dir.filePath("data.csv").toStdString();
        const DelimitedSyntax csv{"\r\n", ",", "\""};
        WriteAll(path, Generated(csv, 60000, 9));
        DelimitedPasses passes(path, 0, csv, false);
        passes.SetSmallestSplit(1);
        std::vector<FilePos> widths;
        std::uint64_t records = 0;
        std::string error;
        int calls = 0;
        auto cancel = [&calls](FilePos done, FilePos total) {
            return ++calls < 2 && done <= total;
        };
        QVERIFY(!passes.Measure(widths, records, cancel, error));
        QCOMPARE(calls, 2);
        QVERIFY2(error.empty(), error.c_str());
    }

    void anUnreadableSourceSaysWhy() {
        DelimitedPasses passes("/no/such/folder/data.csv", 0, {"\n", ",", ""}, false);
        std::vector<FilePos> widths;
        std::uint64_t records = 0;
        std::string error;
        QVERIFY(!passes.Measure(widths, records, nullptr, error));
        QVERIFY2(QString::fromStdString(error).contains("/no/such/folder/data.csv"), error.c_str());
    }
};

QTEST_GUILESS_MAIN(ConverterFastTest)
#include "tst_converter_fast.moc"
