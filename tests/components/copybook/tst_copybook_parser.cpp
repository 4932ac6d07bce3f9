// Copybooks written for these tests from the COBOL rules: the fields they
// lay out (name, offset, length, type, scale), the errors they raise, and
// field values decoded from hand-built bytes (every usage and sign form, the
// limits, invalid bytes), worked out digit by digit from the storage rules.
#include <QtTest>

#include "copybook/copybook.h"
#include "copybook/decode.h"

using namespace velmor::copybook;

namespace {

// Lines of program text, placed from column 8 behind a sequence number;
// lines starting with '|' give columns 1 to 7 themselves.
std::string Book(const QStringList& lines) {
    std::string text;
    for (const QString& line : lines) {
        if (line.startsWith('|')) text += line.mid(1).toStdString();
        else text += "000100 " + line.toStdString();
        text += "\n";
    }
    return text;
}

QString Describe(const Layout& layout) {
    QStringList parts;
    for (const CopybookField& f : layout.fields) {
        QString s = QString::fromStdString(f.name) + "@" + QString::number(f.offset) + "+" +
                    QString::number(f.format.length) + ":" + TypeName(f.format.type);
        if (f.format.scale != 0) s += "/" + QString::number(f.format.scale);
        if (f.format.sign == SignForm::LeadingSeparate) s += "/ls";
        if (f.format.sign == SignForm::TrailingSeparate) s += "/ts";
        if (f.format.sign == SignForm::LeadingOverpunch) s += "/lo";
        parts << s;
    }
    return parts.join(' ') + " =" + QString::number(layout.length);
}

FieldFormat FormatOf(const QString& clauses) {
    CopybookError error;
    auto book = Copybook::Parse("       01 R.\n           05 F " + clauses.toStdString() + ".\n", error);
    if (!book) qFatal("%s", error.Text().c_str());
    return book->Resolve({}).fields.at(0).format;
}

QByteArray H(const char* hex) { return QByteArray::fromHex(hex); }

}  // namespace

class CopybookParserTest : public QObject {
    Q_OBJECT
private slots:
    void layouts_data();
    void layouts();
    void errors_data();
    void errors();
    void dependingOnTakesTheRecordsCount();
    void notesAndConditions();
    void values_data();
    void values();
    void canonicalNumbers_data();
    void canonicalNumbers();
};

void CopybookParserTest::layouts_data() {
    QTest::addColumn<QStringList>("copybook");
    QTest::addColumn<QString>("options");  // redefines to choose; "+F" lists fillers
    QTest::addColumn<QString>("expected");
    QTest::newRow("display and sizes")
        << QStringList{"01 REC.", "   05 NAME PIC X(10).", "   05 AMT PIC S9(5)V99.",
                       "   05 CNT PIC 9(3).", "   05 CODE PICTURE IS A(2)."}
        << "" << "NAME@0+10:text AMT@10+7:zoned/2 CNT@17+3:zoned CODE@20+2:text =22";
    QTest::newRow("binary widths by digits")
        << QStringList{"01 R.", "05 B1 PIC S9(4) COMP.", "05 B2 PIC 9(5) BINARY.",
                       "05 B3 PIC S9(9) COMP-4.", "05 B4 PIC S9(10) COMPUTATIONAL.",
                       "05 B5 PIC 9(18) USAGE IS COMP-5."}
        << "" << "B1@0+2:binary B2@2+4:binary B3@6+4:binary B4@10+8:binary B5@18+8:comp-5 =26";
    QTest::newRow("packed and floats")
        << QStringList{"01 R.", "05 P1 PIC S9(7)V99 COMP-3.", "05 P2 PIC 9(4) PACKED-DECIMAL.",
                       "05 P3 PIC S9(38) COMP-3.", "05 F1 COMP-1.", "05 F2 USAGE COMP-2."}
        << "" << "P1@0+5:packed/2 P2@5+3:packed P3@8+20:packed F1@28+4:float F2@32+8:float =40";
    QTest::newRow("sign clauses")
        << QStringList{"01 R.", "05 A PIC S9(3) SIGN LEADING SEPARATE CHARACTER.",
                       "05 B PIC S9(3) SIGN IS TRAILING SEPARATE.", "05 C PIC S9(3) LEADING.",
                       "05 D PIC S9(3) TRAILING."}
        << "" << "A@0+4:zoned/ls B@4+4:zoned/ts C@8+3:zoned/lo D@11+3:zoned =14";
    QTest::newRow("P scaling both sides")
        << QStringList{"01 R.", "05 A PIC 9(3)PP.", "05 B PIC PP9(3).", "05 C PIC SVPP99.",
                       "05 D PIC S99PPP COMP-3."}
        << "" << "A@0+3:zoned/-2 B@3+3:zoned/5 C@6+2:zoned/4 D@8+2:packed/-3 =10";
    QTest::newRow("edited pictures")
        << QStringList{"01 R.", "05 A PIC ZZ,ZZ9.99-.", "05 B PIC $***,**9.99CR.",
                       "05 C PIC ++++9.", "05 D PIC 99/99/99.", "05 E PIC XXBXX."}
        << "" << "A@0+10:edited/2 B@10+13:edited/2 C@23+5:edited D@28+8:edited E@36+5:text =41";
    QTest::newRow("usage of a group reaches its items")
        << QStringList{"01 R.", "05 G COMP-3.", "10 A PIC S9(3).", "10 B PIC S9(5).",
                       "05 H SIGN LEADING SEPARATE.", "10 C PIC S9."}
        << "" << "A@0+2:packed B@2+3:packed C@5+2:zoned/ls =7";
    QTest::newRow("occurs, nested")
        << QStringList{"01 R.", "05 T OCCURS 2 TIMES.", "10 K PIC X.", "10 V PIC 9 OCCURS 3.",
                       "05 Z PIC X."}
        << ""
        << "K(1)@0+1:text V(1,1)@1+1:zoned V(1,2)@2+1:zoned V(1,3)@3+1:zoned K(2)@4+1:text "
           "V(2,1)@5+1:zoned V(2,2)@6+1:zoned V(2,3)@7+1:zoned Z@8+1:text =9";
    const QStringList redefining{"01 R.", "05 KIND PIC X.", "05 BODY PIC X(6).",
                                 "05 NUMS REDEFINES BODY.", "10 N1 PIC 9(2).", "10 N2 PIC S9(3) COMP-3.",
                                 "05 PACKS REDEFINES BODY PIC S9(11) COMP-3.", "05 TAIL PIC X."};
    QTest::newRow("redefines: first by default")
        << redefining << "" << "KIND@0+1:text BODY@1+6:text TAIL@7+1:text =8";
    QTest::newRow("redefines: chosen")
        << redefining << "nums" << "KIND@0+1:text N1@1+2:zoned N2@3+2:packed TAIL@7+1:text =8";
    QTest::newRow("redefines: larger alternative sizes the area")
        << QStringList{"01 R.", "05 A PIC X(2).", "05 B REDEFINES A PIC X(5).", "05 C PIC X."}
        << "" << "A@0+2:text C@5+1:text =6";
    QTest::newRow("second record chosen")
        << QStringList{"01 HEAD.", "05 H PIC X(4).", "01 DETAIL.", "05 D PIC 9(2)."}
        << "detail" << "D@0+2:zoned =2";
    QTest::newRow("fillers kept, listed when asked")
        << QStringList{"01 R.", "05 FILLER PIC X(2).", "05 A PIC X.", "05 PIC X(3).", "05 B PIC X."}
        << "+F" << "FILLER@0+2:text A@2+1:text FILLER@3+3:text B@6+1:text =7";
    QTest::newRow("fillers hidden")
        << QStringList{"01 R.", "05 FILLER PIC X(2).", "05 A PIC X.", "05 PIC X(3).", "05 B PIC X."}
        << "" << "A@2+1:text B@6+1:text =7";
    QTest::newRow("comments, sequence area, case, values, continuation")
        << QStringList{"|000100* a comment line PIC 9(99)", "|000200/ a page eject",
                       "01 rec.                                                           XXXXXXXX",
                       "   05 name pic x(3) value 'ab'.", "   05 flag pic x value space.",
                       "      88 is-on value 'Y' 'y'.", "   05 amount-of-it",
                       "|000300-      s pic s9(3)v9 comp-3 value -1.5.",
                       "   05 lit pic x(4) value 'ab", "|000400-    'cd'.",
                       "   05 sy pic s9(4) comp sync.", "   05 just pic x(2) justified right."}
        << "" << "NAME@0+3:text FLAG@3+1:text AMOUNT-OF-ITS@4+3:packed/1 LIT@7+4:text "
                 "SY@11+2:binary JUST@13+2:text =15";
}

void CopybookParserTest::layouts() {
    QFETCH(QStringList, copybook);
    QFETCH(QString, options);
    QFETCH(QString, expected);
    CopybookError error;
    auto book = Copybook::Parse(Book(copybook), error);
    QVERIFY2(book, error.Text().c_str());
    ResolveOptions opt;
    if (options == "+F") opt.fillers = true;
    else if (!options.isEmpty()) opt.redefines.push_back(options.toStdString());
    QCOMPARE(book->UnknownAlternative(opt), std::string());
    QCOMPARE(Describe(book->Resolve(opt)), expected);
}

void CopybookParserTest::errors_data() {
    QTest::addColumn<QStringList>("copybook");
    QTest::addColumn<QString>("expected");
    QTest::newRow("renames")
        << QStringList{"01 R.", "05 A PIC X.", "66 B RENAMES A."}
        << "line 3, column 8: level 66 (RENAMES) is not supported";
    QTest::newRow("bad level")
        << QStringList{"01 R.", "  55 A PIC X."}
        << "line 2, column 10: expected a level number (01 to 49, 66, 77 or 88), found '55'";
    QTest::newRow("missing period at the end")
        << QStringList{"01 R.", "05 A PIC X"} << "line 2, column 18: expected '.' at the end of the entry";
    QTest::newRow("bad picture character")
        << QStringList{"01 R.", "05 A PIC 9(3)Q."}
        << "line 2, column 21: expected a picture character (X A 9 S V P Z * + - CR DB B 0 / . , $), found 'Q'";
    QTest::newRow("bad repeat count")
        << QStringList{"01 R.", "05 A PIC X(0)."}
        << "line 2, column 18: expected a repeat count such as (5) after a picture character";
    QTest::newRow("repeat count past any number")
        << QStringList{"01 R.", "05 A PIC 9(99999999999999999999999)."}
        << "line 2, column 18: expected a repeat count such as (5) after a picture character";
    QTest::newRow("too many digits")
        << QStringList{"01 R.", "05 A PIC 9(39) COMP-3."} << "line 2, column 17: expected at most 38 digits";
    QTest::newRow("binary too long")
        << QStringList{"01 R.", "05 A PIC 9(19) COMP."}
        << "line 2, column 8: expected at most 18 digits in a binary item";
    QTest::newRow("elementary item without picture")
        << QStringList{"01 R.", "05 A."} << "line 2, column 8: expected a PICTURE clause for the elementary item A";
    QTest::newRow("unknown clause")
        << QStringList{"01 R.", "05 A PIC X BLINK."}
        << "line 2, column 19: expected a clause (PIC, USAGE, OCCURS, REDEFINES, SIGN, VALUE) or '.', found 'BLINK'";
    QTest::newRow("unsupported usage")
        << QStringList{"01 R.", "05 A USAGE INDEX."} << "line 2, column 19: USAGE INDEX is not supported";
    QTest::newRow("items below an elementary item")
        << QStringList{"01 R.", "05 A PIC X.", "10 B PIC X."}
        << "line 3, column 8: expected no items below A, which has a PICTURE";
    QTest::newRow("redefines something else")
        << QStringList{"01 R.", "05 A PIC X.", "05 B PIC X.", "05 C REDEFINES A PIC X."}
        << "line 4, column 8: expected REDEFINES to name B";
    QTest::newRow("range without depending on")
        << QStringList{"01 R.", "05 A PIC X OCCURS 1 TO 5."}
        << "line 2, column 26: expected DEPENDING ON after OCCURS 1 TO ...";
    QTest::newRow("no entries") << QStringList{"|      * only a comment"}
                                << "line 1, column 1: expected a data description entry such as 01 RECORD-NAME.";
    QTest::newRow("numeric usage with text picture")
        << QStringList{"01 R.", "05 A PIC X(4) COMP-3."}
        << "line 2, column 8: expected a numeric picture (9, S, V, P) with USAGE COMP-3";
    QTest::newRow("level before any record")
        << QStringList{"05 A PIC X."} << "line 1, column 8: expected level 01 or 77 before level 05";
}

void CopybookParserTest::errors() {
    QFETCH(QStringList, copybook);
    QFETCH(QString, expected);
    CopybookError error;
    QVERIFY(!Copybook::Parse(Book(copybook), error));
    QCOMPARE(QString::fromStdString(error.Text()), expected);
}

void CopybookParserTest::dependingOnTakesTheRecordsCount() {
    CopybookError error;
    auto book = Copybook::Parse(Book({"01 R.", "05 N PIC 9.", "05 T OCCURS 1 TO 3 DEPENDING ON N.",
                                      "10 V PIC X(2).", "05 AFTER PIC X."}),
                                error);
    QVERIFY2(book, error.Text().c_str());
    QVERIFY(book->Variable());
    QCOMPARE(Describe(book->Resolve({})),  // no record: the largest count
             QString("N@0+1:zoned V(1)@1+2:text V(2)@3+2:text V(3)@5+2:text AFTER@7+1:text =8"));
    QCOMPARE(Describe(book->Resolve({}, "\xF2" "AABBZ")),
             QString("N@0+1:zoned V(1)@1+2:text V(2)@3+2:text AFTER@5+1:text =6"));
    const Layout bad = book->Resolve({}, "\xF7" "AABBCCZ");
    QCOMPARE(bad.length, 8);
    QCOMPARE(QString::fromStdString(bad.problem),
             QString("The count N = 7 is outside 1 to 3; the largest count is used."));
}

void CopybookParserTest::notesAndConditions() {
    CopybookError error;
    auto book = Copybook::Parse(Book({"01 R.", "05 S PIC S9(4) COMP SYNC.", "88 LOW VALUE 1 THRU 9.",
                                      "88 HIGH VALUES ARE 10 THROUGH 99."}),
                                error);
    QVERIFY2(book, error.Text().c_str());
    QCOMPARE(book->Notes(), std::vector<std::string>{"line 2: SYNC ignored; no slack bytes are added"});
    const Layout layout = book->Resolve({});
    QCOMPARE(layout.fields.at(0).conditions, (std::vector<std::string>{"LOW", "HIGH"}));
    ResolveOptions unknown;
    unknown.redefines = {"NOPE"};
    QCOMPARE(book->UnknownAlternative(unknown), std::string("NOPE"));
}

void CopybookParserTest::values_data() {
    QTest::addColumn<QString>("clauses");
    QTest::addColumn<QString>("form");  // "E" EBCDIC, "A" ASCII; "+ieee" IEEE floats
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");  // "" empty; "?..." invalid
    const QString nines38(38, '9'), nines18(18, '9');
    // Packed decimal.
    QTest::newRow("packed -1234.50") << "PIC S9(5)V99 COMP-3" << "E" << H("0123450D") << "-1234.50";
    QTest::newRow("packed unsigned F") << "PIC 9(3) COMP-3" << "E" << H("123F") << "123";
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

void CopybookParserTest::values() {
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

void CopybookParserTest::canonicalNumbers_data() {
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

void CopybookParserTest::canonicalNumbers() {
    QFETCH(QString, text);
    QFETCH(QString, expected);
    const auto canonical = CanonicalNumber(text.toStdString());
    QCOMPARE(canonical ? QString::fromStdString(*canonical) : QString("-"), expected);
}

QTEST_GUILESS_MAIN(CopybookParserTest)
#include "tst_copybook_parser.moc"
