// Data bytes as UTF-8 and JSON for velmor-data's output: UTF-8 kept, other
// bytes read in the file's code page, nothing dropped.
#include <QtTest>
#include <string>

#include "data/convert_text.h"

using velmor::data::CodePage;

class ConverterTextTest : public QObject {
    Q_OBJECT

private slots:
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

QTEST_GUILESS_MAIN(ConverterTextTest)
#include "tst_converter_text.moc"
