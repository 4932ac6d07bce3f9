// The converter's block-wise delimited reader: qualified values, doubled
// qualifiers, multi-byte delimiters, a missing final delimiter, and the same
// records whatever the block boundaries.
#include <QtTest>
#include <string>
#include <vector>

#include "data/convert_scan.h"

using velmor::data::DelimitedSplitter;
using velmor::data::DelimitedSyntax;

namespace {

// Records as "a|b|c" lines (values joined by "|"), for compact expectations.
QStringList SplitAll(const std::string& data, const DelimitedSyntax& syntax, std::size_t block,
                     std::size_t most = static_cast<std::size_t>(-1)) {
    DelimitedSplitter splitter(syntax);
    splitter.KeepAtMost(most);
    QStringList records;
    std::string buffer;
    std::size_t fed = 0;
    for (;;) {
        std::size_t consumed = 0;
        const bool last = fed == data.size();
        if (splitter.Next(buffer, last, consumed)) {
            QStringList values;
            for (std::string_view v : splitter.Values()) {
                values << QString::fromLatin1(v.data(), static_cast<int>(v.size()));
            }
            records << values.join('|');
            buffer.erase(0, consumed);
            continue;
        }
        if (last) break;
        std::size_t n = std::min(block, data.size() - fed);
        buffer.append(data, fed, n);
        fed += n;
    }
    return records;
}

}  // namespace

class ConverterScanTest : public QObject {
    Q_OBJECT

private slots:
    void records_data() {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("recordDelimiter");
        QTest::addColumn<QString>("fieldDelimiter");
        QTest::addColumn<QString>("qualifier");
        QTest::addColumn<QStringList>("expected");
        auto row = [](const char* name, const QByteArray& data, const char* record,
                      const char* field, const char* qualifier, const QStringList& expected) {
            QTest::newRow(name) << data << QString(record) << QString(field) << QString(qualifier)
                                << expected;
        };
        const char* crlf = "\r\n";
        row("plain", "a,b\r\nc,d\r\n", crlf, ",", "\"", {"a|b", "c|d"});
        row("no final delimiter", "a,b\r\nc,d", crlf, ",", "\"", {"a|b", "c|d"});
        row("qualified delimiters", "\"a,b\",\"c\r\nd\"\r\ne,f\r\n", crlf, ",", "\"",
            {"a,b|c\r\nd", "e|f"});
        row("doubled qualifier", "\"say \"\"hi\"\"\",x\r\n", crlf, ",", "\"", {"say \"hi\"|x"});
        row("empty fields", ",,\r\n\"\",x\r\n", crlf, ",", "\"", {"||", "|x"});
        row("qualifier inside a value is data", "5\" disk,x\r\n", crlf, ",", "\"", {"5\" disk|x"});
        row("bytes after the closing qualifier kept", "\"ab\"cd,e\r\n", crlf, ",", "\"",
            {"abcd|e"});
        row("unterminated qualifier runs to the end", "a,\"b,c\r\nd", crlf, ",", "\"",
            {"a|b,c\r\nd"});
        row("no qualifier", "\"a,b\"\n", "\n", ",", "", {"\"a|b\""});
        row("lf only", "a;b\nc;d\n", "\n", ";", "\"", {"a|b", "c|d"});
        row("cr only", "a\tb\rc\td\r", "\r", "\t", "\"", {"a|b", "c|d"});
        row("multi-byte field delimiter", "a||b||\"c||d\"\r\n", crlf, "||", "\"", {"a|b|c||d"});
        row("lone cr inside crlf records", "a\rb,c\r\n", crlf, ",", "\"", {"a\rb|c"});
        row("empty line is one empty record", "a\r\n\r\nb\r\n", crlf, ",", "\"", {"a", "", "b"});
        row("empty file", "", crlf, ",", "\"", {});
        row("no field delimiter", "a,b\nc\n", "\n", "", "\"", {"a,b", "c"});
    }
    void records() {
        QFETCH(QByteArray, data);
        QFETCH(QString, recordDelimiter);
        QFETCH(QString, fieldDelimiter);
        QFETCH(QString, qualifier);
        QFETCH(QStringList, expected);
        DelimitedSyntax syntax{recordDelimiter.toStdString(), fieldDelimiter.toStdString(),
                               qualifier.toStdString()};
        const std::string bytes = data.toStdString();
        // Every block size, so each delimiter and qualifier is split somewhere.
        for (std::size_t block = 1; block <= bytes.size() + 1; ++block) {
            QCOMPARE(SplitAll(bytes, syntax, block), expected);
        }
    }

    // Values past the limit are still split (the record ends where it
    // should, a rebuilt value leaves nothing behind) but not kept.
    void valuesPastTheLimitAreNotKept() {
        const std::string data = "a,\"b\"\"c\",d,\"e\"\"f\"\r\nx,y,\"z\r\nz\"\r\nlast\r\n";
        for (std::size_t block = 1; block <= data.size() + 1; ++block) {
            QCOMPARE(SplitAll(data, {"\r\n", ",", "\""}, block, 2),
                     QStringList({"a|b\"c", "x|y", "last"}));
        }
    }
};

QTEST_GUILESS_MAIN(ConverterScanTest)
#include "tst_converter_scan.moc"
