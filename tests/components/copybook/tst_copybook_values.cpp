// Field values decoded from hand-built bytes: every usage and sign form,
// the limits, and invalid bytes. Expected values are worked out from the
// storage rules, digit by digit.
#include <QtTest>

#include "copybook/copybook.h"
#include "copybook/decode.h"

using namespace velmor::copybook;

namespace {

FieldFormat FormatOf(const QString& clauses) {
    CopybookError error;
    auto book = Copybook::Parse("       01 R.\n           05 F " + clauses.toStdString() + ".\n", error);
    if (!book) qFatal("%s", error.Text().c_str());
    return book->Resolve({}).fields.at(0).format;
}

QByteArray H(const char* hex) { return QByteArray::fromHex(hex); }

}  // namespace

class CopybookValuesTest : public QObject {
    Q_OBJECT
private slots:
    void values_data();
    void values();
    void canonicalNumbers_data();
    void canonicalNumbers();
};

void CopybookValuesTest::values_data() {
    QTest::addColumn<QString>("clauses");
    QTest::addColumn<QString>("form");  // "E" EBCDIC, "A" ASCII; "+ieee" IEEE floats
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");  // "" empty; "?..." invalid
    const QString nines38(38, '9'), nines18(18, '9');
    // Packed decimal.
    QTest::newRow("packed -1234.50") << "PIC S9(5)V99 COMP-3" << "E" << H("0123450D") << "-1234.50";
    QTest::newRow("packed unsigned F") << "PIC 9(3) COMP-3" << "E" << H("123F") << "123";
    QTest::newRow("packed C") << "PIC S9(3) COMP-3" << "E" << H("123C") << "123";
    QTest::newRow("packed B is negative") << "PIC S9(3) COMP-3" << "E" << H("123B") << "-123";
    QTest::newRow("packed A is positive") << "PIC S9(3) COMP-3" << "E" << H("123A") << "123";
    QTest::newRow("packed negative zero") << "PIC S9(3)V9 COMP-3" << "E" << H("00000D") << "0.0";
    QTest::newRow("packed 18 nines") << "PIC S9(18) COMP-3" << "E" << H("0999999999999999999C") << nines18;
    QTest::newRow("packed 38 nines negative")
        << "PIC S9(38) COMP-3" << "E" << QByteArray::fromHex("0" + QByteArray(38, '9') + "D")
        << "-" + nines38;
    QTest::newRow("packed 38 digits scale 38")
        << "PIC SV9(38) COMP-3" << "E" << H("012345678901234567890123456789012345678C")
        << "0.12345678901234567890123456789012345678";
    QTest::newRow("packed P right") << "PIC S9(3)PP COMP-3" << "E" << H("123C") << "12300";
    QTest::newRow("packed P left") << "PIC SVPP9(3) COMP-3" << "E" << H("123D") << "-0.00123";
    QTest::newRow("packed bad digit nibble") << "PIC S9(3) COMP-3" << "E" << H("1A3C") << "?1A3C";
    QTest::newRow("packed digit as sign") << "PIC S9(3) COMP-3" << "E" << H("1234") << "?1234";
    QTest::newRow("packed unsigned with minus") << "PIC 9(3) COMP-3" << "E" << H("123D") << "?123D";
    QTest::newRow("packed all blank") << "PIC S9(3) COMP-3" << "E" << H("4040") << "";
    QTest::newRow("packed low values") << "PIC S9(3) COMP-3" << "E" << H("0000") << "?0000";
    // Zoned decimal, EBCDIC.
    QTest::newRow("zoned unsigned") << "PIC 9(3)" << "E" << H("F1F2F3") << "123";
    QTest::newRow("zoned trailing C") << "PIC S9(3)" << "E" << H("F1F2C3") << "123";
    QTest::newRow("zoned trailing D, scale") << "PIC S9(3)V99" << "E" << H("F1F2F3F4D5") << "-123.45";
    QTest::newRow("zoned trailing F") << "PIC S9(3)" << "E" << H("F1F2F3") << "123";
    QTest::newRow("zoned leading overpunch") << "PIC S9(3) SIGN LEADING" << "E" << H("D1F2F3") << "-123";
    QTest::newRow("zoned leading separate") << "PIC S9(3) SIGN LEADING SEPARATE" << "E" << H("60F1F2F3") << "-123";
    QTest::newRow("zoned leading separate plus") << "PIC S9(3) SIGN LEADING SEPARATE" << "E" << H("4EF1F2F3") << "123";
    QTest::newRow("zoned trailing separate") << "PIC S9(3) SIGN TRAILING SEPARATE" << "E" << H("F1F2F360") << "-123";
    QTest::newRow("zoned separate sign missing") << "PIC S9(3) SIGN TRAILING SEPARATE" << "E" << H("F1F2F3F4") << "?F1F2F3F4";
    QTest::newRow("zoned negative zero") << "PIC S9(3)" << "E" << H("F0F0D0") << "0";
    QTest::newRow("zoned 18 nines") << "PIC S9(18)" << "E" << H("F9F9F9F9F9F9F9F9F9F9F9F9F9F9F9F9F9D9") << "-" + nines18;
    QTest::newRow("zoned P right") << "PIC 9(3)PP" << "E" << H("F1F2F3") << "12300";
    QTest::newRow("zoned P left") << "PIC PP9(3)" << "E" << H("F1F2F3") << "0.00123";
    QTest::newRow("zoned blanks before") << "PIC 9(5)" << "E" << H("4040F1F2F3") << "123";
    QTest::newRow("zoned blanks after") << "PIC S9(5)V9" << "E" << H("F1F2C3404040") << "12.3";
    QTest::newRow("zoned all blank") << "PIC S9(5)" << "E" << H("4040404040") << "";
    QTest::newRow("zoned bad zone") << "PIC 9(3)" << "E" << H("F1C2F3") << "?F1C2F3";
    QTest::newRow("zoned blank inside") << "PIC 9(3)" << "E" << H("F140F3") << "?F140F3";
    QTest::newRow("zoned bad digit") << "PIC S9(3)" << "E" << H("F1FAC3") << "?F1FAC3";
    QTest::newRow("zoned unsigned with sign") << "PIC 9(3)" << "E" << H("F1F2D3") << "?F1F2D3";
    QTest::newRow("zoned bad sign zone") << "PIC S9(3)" << "E" << H("F1F293") << "?F1F293";
    // Zoned decimal, ASCII.
    QTest::newRow("ascii unsigned") << "PIC 9(3)" << "A" << QByteArray("123") << "123";
    QTest::newRow("ascii overpunch J-R") << "PIC S9(3)" << "A" << QByteArray("12L") << "-123";
    QTest::newRow("ascii overpunch A-I") << "PIC S9(3)" << "A" << QByteArray("12C") << "123";
    QTest::newRow("ascii overpunch braces") << "PIC S9(3)V9" << "A" << QByteArray("012}") << "-12.0";
    QTest::newRow("ascii overpunch p-y") << "PIC S9(3)" << "A" << QByteArray("12s") << "-123";
    QTest::newRow("ascii separate") << "PIC S9(3) LEADING SEPARATE" << "A" << QByteArray("-123") << "-123";
    QTest::newRow("ascii padded") << "PIC 9(4)V99" << "A" << QByteArray("  1234") << "12.34";
    QTest::newRow("ascii bad") << "PIC 9(3)" << "A" << QByteArray("1x3") << "?317833";
    QTest::newRow("ebcdic digits in ascii") << "PIC 9(2)" << "A" << H("F1F2") << "?F1F2";
    // Binary, big-endian.
    QTest::newRow("binary -1") << "PIC S9(4) COMP" << "E" << H("FFFF") << "-1";
    QTest::newRow("binary smallest half") << "PIC S9(4) BINARY" << "E" << H("8000") << "-32768";
    QTest::newRow("binary largest half") << "PIC S9(4) COMP-4" << "E" << H("7FFF") << "32767";
    QTest::newRow("binary unsigned half") << "PIC 9(4) COMP" << "E" << H("FFFF") << "65535";
    QTest::newRow("binary scaled") << "PIC S9(7)V99 COMP" << "E" << H("0001E240") << "1234.56";
    QTest::newRow("binary smallest long") << "PIC S9(18) COMP" << "E" << H("8000000000000000") << "-9223372036854775808";
    QTest::newRow("binary unsigned long") << "PIC 9(18) COMP" << "E" << H("FFFFFFFFFFFFFFFF") << "18446744073709551615";
    QTest::newRow("binary blanks are a number") << "PIC S9(9) COMP" << "E" << H("40404040") << "1077952576";
    QTest::newRow("comp-5") << "PIC S9(4) COMP-5" << "E" << H("FFFE") << "-2";
    QTest::newRow("binary P left") << "PIC SVP9(3) COMP" << "E" << H("FF85") << "-0.0123";
    // Floating point.
    QTest::newRow("ibm short 1") << "COMP-1" << "E" << H("41100000") << "1";
    QTest::newRow("ibm short -123") << "COMP-1" << "E" << H("C27B0000") << "-123";
    QTest::newRow("ibm short 0.5") << "COMP-1" << "E" << H("40800000") << "0.5";
    QTest::newRow("ibm short 0.1") << "COMP-1" << "E" << H("4019999A") << "0.1";
    QTest::newRow("ibm long 1") << "COMP-2" << "E" << H("4110000000000000") << "1";
    QTest::newRow("ibm zero") << "COMP-2" << "E" << H("0000000000000000") << "0";
    QTest::newRow("ieee short") << "COMP-1" << "E+ieee" << H("3FC00000") << "1.5";
    QTest::newRow("ieee long") << "COMP-2" << "E+ieee" << H("3FB999999999999A") << "0.1";
    QTest::newRow("ieee nan") << "COMP-1" << "E+ieee" << H("7FC00000") << "?7FC00000";
    // Edited.
    QTest::newRow("edited trailing minus") << "PIC ZZ,ZZ9.99-" << "A" << QByteArray(" 1,234.50-") << "-1234.50";
    QTest::newRow("edited zero") << "PIC ZZ,ZZ9.99-" << "A" << QByteArray("     0.00 ") << "0.00";
    QTest::newRow("edited check protect CR") << "PIC $***,**9.99CR" << "A" << QByteArray("$**1,234.50CR") << "-1234.50";
    QTest::newRow("edited check protect no CR") << "PIC $***,**9.99CR" << "A" << QByteArray("$**1,234.50  ") << "1234.50";
    QTest::newRow("edited floating plus") << "PIC ++++9" << "A" << QByteArray("  -12") << "-12";
    QTest::newRow("edited DB") << "PIC 999DB" << "A" << QByteArray("012DB") << "-12";
    QTest::newRow("edited ebcdic") << "PIC ZZ9.99" << "E" << H("40F1F24BF3F4") << "12.34";
    QTest::newRow("edited blank") << "PIC ZZ9.99" << "E" << H("404040404040") << "";
    QTest::newRow("edited letters") << "PIC ZZ9" << "A" << QByteArray("1A2") << "?314132";
    // Text is handed on as it is; a field cut off by a short record is invalid.
    QTest::newRow("text") << "PIC X(3)" << "E" << H("C1C2C3") << "\u00C1\u00C2\u00C3";
    QTest::newRow("cut off") << "PIC S9(5) COMP-3" << "E" << H("0012") << "?0012";
}

void CopybookValuesTest::values() {
    QFETCH(QString, clauses);
    QFETCH(QString, form);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);
    const FieldFormat format = FormatOf(clauses);
    DecodeOptions options;
    options.charset = form.startsWith('A') ? Charset::Ascii : Charset::Ebcdic;
    options.floats = form.endsWith("+ieee") ? FloatFormat::Ieee : FloatFormat::Ibm;
    std::string out = "x";  // values are appended
    const ValueState state = Decode(format, bytes.toStdString(), options, out);
    const QString value = format.type == FieldType::Text ? QString::fromLatin1(out.data() + 1)
                                                          : QString::fromStdString(out.substr(1));
    QCOMPARE(value, expected);
    QCOMPARE(state, expected.isEmpty() ? ValueState::Empty
                    : expected.startsWith('?') ? ValueState::Invalid : ValueState::Value);
}

void CopybookValuesTest::canonicalNumbers_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");  // "-" when not a number
    QTest::newRow("trailing zeros") << "-1234.50" << "-1234.5";
    QTest::newRow("leading zeros and plus") << "+001234.500" << "1234.5";
    QTest::newRow("blanks") << " 7 " << "7";
    QTest::newRow("negative zero") << "-0.00" << "0";
    QTest::newRow("point first") << ".25" << "0.25";
    QTest::newRow("letters") << "12a" << "-";
    QTest::newRow("two points") << "1.2.3" << "-";
    QTest::newRow("sign only") << "-" << "-";
}

void CopybookValuesTest::canonicalNumbers() {
    QFETCH(QString, text);
    QFETCH(QString, expected);
    const auto canonical = CanonicalNumber(text.toStdString());
    QCOMPARE(canonical ? QString::fromStdString(*canonical) : QString("-"), expected);
}

QTEST_GUILESS_MAIN(CopybookValuesTest)
#include "tst_copybook_values.moc"
