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
QStringList SplitAll(const std::string& data, const DelimitedSyntax& syntax, std::size_t block) {
    DelimitedSplitter splitter(syntax);
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
        const QString crlf = "\r\n";
        QTest::newRow("plain") << QByteArray("a,b\r\nc,d\r\n") << crlf << ","
                               << "\"" << QStringList{"a|b", "c|d"};
        QTest::newRow("no final delimiter") << QByteArray("a,b\r\nc,d") << crlf << ","
                                            << "\"" << QStringList{"a|b", "c|d"};
        QTest::newRow("qualified delimiters")
            << QByteArray("\"a,b\",\"c\r\nd\"\r\ne,f\r\n") << crlf << ","
            << "\"" << QStringList{"a,b|c\r\nd", "e|f"};
        QTest::newRow("doubled qualifier") << QByteArray("\"say \"\"hi\"\"\",x\r\n") << crlf << ","
                                           << "\"" << QStringList{"say \"hi\"|x"};
        QTest::newRow("empty fields") << QByteArray(",,\r\n\"\",x\r\n") << crlf << ","
                                      << "\"" << QStringList{"||", "|x"};
        QTest::newRow("qualifier inside a value is data")
            << QByteArray("5\" disk,x\r\n") << crlf << ","
            << "\"" << QStringList{"5\" disk|x"};
        QTest::newRow("bytes after the closing qualifier kept")
            << QByteArray("\"ab\"cd,e\r\n") << crlf << ","
            << "\"" << QStringList{"abcd|e"};
        QTest::newRow("unterminated qualifier runs to the end")
            << QByteArray("a,\"b,c\r\nd") << crlf << ","
            << "\"" << QStringList{"a|b,c\r\nd"};
        QTest::newRow("no qualifier") << QByteArray("\"a,b\"\n") << "\n"
                                      << ","
                                      << "" << QStringList{"\"a|b\""};
        QTest::newRow("lf only") << QByteArray("a;b\nc;d\n") << "\n"
                                 << ";"
                                 << "\"" << QStringList{"a|b", "c|d"};
        QTest::newRow("cr only") << QByteArray("a\tb\rc\td\r") << "\r"
                                 << "\t"
                                 << "\"" << QStringList{"a|b", "c|d"};
        QTest::newRow("multi-byte field delimiter")
            << QByteArray("a||b||\"c||d\"\r\n") << crlf << "||"
            << "\"" << QStringList{"a|b|c||d"};
        QTest::newRow("lone cr inside crlf records") << QByteArray("a\rb,c\r\n") << crlf << ","
                                                     << "\"" << QStringList{"a\rb|c"};
        QTest::newRow("empty line is one empty record")
            << QByteArray("a\r\n\r\nb\r\n") << crlf << ","
            << "\"" << QStringList{"a", "", "b"};
        QTest::newRow("empty file") << QByteArray() << crlf << ","
                                    << "\"" << QStringList{};
        QTest::newRow("no field delimiter") << QByteArray("a,b\nc\n") << "\n"
                                            << ""
                                            << "\"" << QStringList{"a,b", "c"};
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

    void longValuesAcrossBlocks() {
        std::string value(100000, 'x');
        std::string data = "\"" + value + "\"\"\"," + value + "\r\nend\r\n";
        QStringList got = SplitAll(data, {"\r\n", ",", "\""}, 4096);
        QCOMPARE(got.size(), 2);
        QCOMPARE(got[0].size(), 2 * 100000 + 2);
        QCOMPARE(got[1], QString("end"));
    }
};

QTEST_GUILESS_MAIN(ConverterScanTest)
#include "tst_converter_scan.moc"
