// Output layouts of the converter: when delimited values get qualified, how
// fixed records are padded, the bytes of a dBase III header, and data bytes
// as UTF-8 and JSON for velmor-data (UTF-8 kept, other bytes read in the
// file's code page, nothing dropped).
#include <QtTest>
#include <string>
#include <vector>

#include "data/convert_format.h"
#include "data/convert_text.h"

using velmor::data::CodePage;
using velmor::data::DelimitedFormat;
using velmor::data::FilePos;
using velmor::data::Values;

namespace {

Values Split(const QStringList& list, std::vector<std::string>& storage) {
    storage.clear();
    for (const QString& s : list) storage.push_back(s.toLatin1().toStdString());
    return Values(storage.begin(), storage.end());
}

}  // namespace

class ConverterFormatTest : public QObject {
    Q_OBJECT

private slots:
    // "refused" (and the output left as it was) where no qualifier can protect a delimiter.
    void delimitedRecord_data() {
        QTest::addColumn<QStringList>("values");
        QTest::addColumn<QString>("qualifier");
        QTest::addColumn<int>("columns");
        QTest::addColumn<QString>("expected");
        auto row = [](const char* name, const QStringList& values, const char* qualifier,
                      const char* expected, int columns = 0) {
            QTest::newRow(name) << values << QString(qualifier) << columns << QString(expected);
        };
        row("plain", {"a", "b"}, "\"", "a,b\r\n");
        row("comma qualified", {"a,b", "c"}, "\"", "\"a,b\",c\r\n");
        row("qualifier doubled", {"say \"hi\"", "x"}, "\"", "\"say \"\"hi\"\"\",x\r\n");
        row("record end qualified", {"a\r\nb"}, "\"", "\"a\r\nb\"\r\n");
        row("lone line feed qualified", {"a\nb"}, "\"", "\"a\nb\"\r\n");
        row("empty values", {"", "", ""}, "\"", ",,\r\n");
        row("only a qualifier", {"\""}, "\"", "\"\"\"\"\r\n");
        row("no qualifier needed", {"a b"}, "", "a b\r\n");
        row("two-byte qualifier", {"x''y", "z"}, "''", "''x''''y'',z\r\n");
        row("missing columns padded", {"a"}, "\"", "a,,\r\n", 3);
        // Long values are scanned eight bytes at a time; a match in any byte counts.
        row("long, comma in the second word", {"abcdefghij,k"}, "\"", "\"abcdefghij,k\"\r\n");
        row("long, line feed last", {"abcdefghijklmnop\n"}, "\"", "\"abcdefghijklmnop\n\"\r\n");
        row("long, nothing special", {"abcdefghijklmnopq"}, "\"", "abcdefghijklmnopq\r\n");
        row("many special bytes", {"abcdefghij@k"}, "'#@%", "'#@%abcdefghij@k'#@%\r\n");
        row("delimiter without a qualifier", {"a", "b,c"}, "", "refused");
    }
    void delimitedRecord() {
        QFETCH(QStringList, values);
        QFETCH(QString, qualifier);
        QFETCH(int, columns);
        DelimitedFormat format("\r\n", ",", qualifier.toStdString());
        std::vector<std::string> storage;
        std::string out = "refused";
        if (format.AppendRecord(Split(values, storage), static_cast<std::size_t>(columns), out))
            out.erase(0, 7);
        QTEST(QString::fromStdString(out), "expected");
    }

    void fixedRecord_data() {
        QTest::addColumn<QStringList>("values");
        QTest::addColumn<QList<int>>("widths");
        QTest::addColumn<bool>("fits");
        QTest::addColumn<QString>("expected");
        QTest::newRow("padded") << QStringList{"ab", "c"} << QList<int>{3, 2} << true
                                << "ab c \r\n";
        QTest::newRow("exact") << QStringList{"abc"} << QList<int>{3} << true << "abc\r\n";
        QTest::newRow("missing values blank")
            << QStringList{"a"} << QList<int>{1, 2} << true << "a  \r\n";
        QTest::newRow("zero width") << QStringList{"", "b"} << QList<int>{0, 1} << true << "b\r\n";
        QTest::newRow("too wide") << QStringList{"abcd"} << QList<int>{3} << false << "";
        QTest::newRow("too many values") << QStringList{"a", "b"} << QList<int>{1} << false << "";
    }
    void fixedRecord() {
        QFETCH(QStringList, values);
        QFETCH(QList<int>, widths);
        QFETCH(bool, fits);
        QFETCH(QString, expected);
        std::vector<FilePos> w(widths.begin(), widths.end());
        std::vector<std::string> storage;
        std::string out;
        QCOMPARE(velmor::data::AppendFixedRecord(Split(values, storage), w, out), fits);
        QCOMPARE(QString::fromStdString(out), expected);
    }

    void dbaseNames_data() {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("upper case") << QStringList{"name", "City"} << QStringList{"NAME", "CITY"};
        QTest::newRow("cut to ten") << QStringList{"customernumber"} << QStringList{"CUSTOMERNU"};
        QTest::newRow("odd bytes")
            << QStringList{"a b-c", "1st", ""} << QStringList{"A_B_C", "F1ST", "F"};
        QTest::newRow("made unique") << QStringList{"amount", "AMOUNT", "Amount"}
                                     << QStringList{"AMOUNT", "AMOUNT_2", "AMOUNT_3"};
        QTest::newRow("unique within ten") << QStringList{"customernumber", "customernumbers"}
                                           << QStringList{"CUSTOMERNU", "CUSTOMER_2"};
    }
    void dbaseNames() {
        QFETCH(QStringList, names);
        QFETCH(QStringList, expected);
        std::vector<std::string> in;
        for (const QString& n : names) in.push_back(n.toStdString());
        QStringList got;
        for (const std::string& n : velmor::data::DbaseFieldNames(in)) {
            got << QString::fromStdString(n);
        }
        QCOMPARE(got, expected);
    }

    void dbaseHeaderBytes() {
        std::string h = velmor::data::DbaseHeader({"ID", "NAME"}, {3, 10}, 258, {2026, 12, 6});
        QCOMPARE(h.size(), std::size_t(32 + 2 * 32 + 1));
        QCOMPARE(static_cast<unsigned char>(h[0]), 0x03);
        QCOMPARE(static_cast<int>(h[1]), 126);
        QCOMPARE(static_cast<int>(h[2]), 12);
        QCOMPARE(static_cast<int>(h[3]), 6);
        QCOMPARE(h.substr(4, 4), std::string("\x02\x01\0\0", 4));
        QCOMPARE(static_cast<unsigned char>(h[8]), 97);   // header length
        QCOMPARE(static_cast<unsigned char>(h[10]), 14);  // 1 + 3 + 10
        QCOMPARE(h.substr(32, 11), std::string("ID\0\0\0\0\0\0\0\0\0", 11));
        QCOMPARE(h[32 + 11], 'C');
        QCOMPARE(static_cast<int>(h[32 + 16]), 3);
        QCOMPARE(h.substr(64, 4), std::string("NAME"));
        QCOMPARE(static_cast<int>(h[64 + 16]), 10);
        QCOMPARE(h.back(), '\x0D');
    }

    void dbaseLimits_data() {
        QTest::addColumn<QList<int>>("widths");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("widest field") << QList<int>{254} << true;
        QTest::newRow("too wide a field") << QList<int>{255} << false;
        QTest::newRow("no fields") << QList<int>{} << false;
    }
    void dbaseLimits() {
        QFETCH(QList<int>, widths);
        QFETCH(bool, accepted);
        std::vector<FilePos> w(widths.begin(), widths.end());
        std::vector<std::string> names(w.size(), "F");
        QCOMPARE(velmor::data::DbaseLayoutProblem(names, w).empty(), accepted);
    }


    void display_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("expected");
        const int win = static_cast<int>(CodePage::Windows1252);
        const int latin = static_cast<int>(CodePage::Latin1);
        QTest::newRow("ascii") << QByteArray("abc") << win << "abc";
        QTest::newRow("utf-8 kept")
            << QByteArray("Gr\xc3\xbc\xc3\x9f") << win << QString::fromUtf8("Grüß");
        QTest::newRow("latin-1 byte")
            << QByteArray("M\xfcller") << win << QString::fromUtf8("Müller");
        QTest::newRow("windows euro") << QByteArray("\x80 5") << win << QString::fromUtf8("€ 5");
        QTest::newRow("latin-1 control") << QByteArray("\x80") << latin << QString(QChar(0x80));
        QTest::newRow("undefined windows byte")
            << QByteArray("\x81") << win << QString(QChar(0x81));
        QTest::newRow("cut sequence") << QByteArray("\xc3") << win << QString::fromUtf8("Ã");
        QTest::newRow("overlong refused")
            << QByteArray("\xc0\xaf") << win << QString::fromUtf8("À¯");
        QTest::newRow("surrogate refused")
            << QByteArray("\xed\xa0\x80") << latin << QString::fromUtf8("í\xc2\xa0\xc2\x80");
        QTest::newRow("four bytes kept")
            << QByteArray("\xf0\x9f\x98\x80") << win << QString::fromUtf8("\xf0\x9f\x98\x80");
        QTest::newRow("nul kept") << QByteArray("a\0b", 3) << win << QString::fromLatin1("a\0b", 3);
    }
    void display() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, page);
        QFETCH(QString, expected);
        std::string out;
        velmor::data::AppendDisplayText(bytes.toStdString(), out, static_cast<CodePage>(page));
        QCOMPARE(QString::fromUtf8(out.data(), static_cast<int>(out.size())), expected);
        QVERIFY(QString::fromUtf8(out.data(), static_cast<int>(out.size())).isValidUtf16());
    }

    void json_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("plain") << QByteArray("ab") << QByteArray("\"ab\"");
        QTest::newRow("escapes") << QByteArray("a\"b\\c\r\n\t")
                                 << QByteArray("\"a\\\"b\\\\c\\r\\n\\t\"");
        QTest::newRow("controls") << QByteArray("\x01\x1f", 2) << QByteArray("\"\\u0001\\u001f\"");
        QTest::newRow("nul") << QByteArray("\0", 1) << QByteArray("\"\\u0000\"");
        QTest::newRow("latin-1") << QByteArray("\xe9") << QByteArray("\"\xc3\xa9\"");
    }
    void json() {
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, expected);
        std::string out;
        velmor::data::AppendJsonString(bytes.toStdString(), out);
        QCOMPARE(QByteArray::fromStdString(out), expected);
        QJsonParseError error{};
        QJsonDocument doc =
            QJsonDocument::fromJson("[" + QByteArray::fromStdString(out) + "]", &error);
        QCOMPARE(error.error, QJsonParseError::NoError);
        QVERIFY(doc.isArray());
    }
};

QTEST_GUILESS_MAIN(ConverterFormatTest)
#include "tst_converter_format.moc"
