// Copybooks written for these tests from the COBOL rules: the fields they
// lay out (name, offset, length, type, scale) and the errors they raise.
#include <QtTest>

#include "copybook/copybook.h"

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

QTEST_GUILESS_MAIN(CopybookParserTest)
#include "tst_copybook_parser.moc"
