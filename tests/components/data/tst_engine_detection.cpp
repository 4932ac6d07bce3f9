// Detection on the shapes real files have (ragged rows, comment lines,
// all-text and year headers, the ' qualifier), and file types that give way
// where the file plainly contradicts them. (A saved connection wins over
// both: tst_engine_sidefiles, tst_velmor_data_cli.)
#include <QTemporaryDir>
#include <QtTest>

#include "data/detection.h"
#include "data/file.h"
#include "data/profilefile.h"
#include "engine_testfiles.h"

using namespace velmor::data;
using namespace enginetest;

namespace {

const QByteArray kZoneComments = "# tz zone table\n#\n# country-\n#code\tcoordinates\tTZ\n\n";
const QByteArray kZones =
    "AD\t+4230+00131\tEurope/Andorra\nAE,OM\t+2518+05518\tAsia/Dubai\n"
    "AF\t+3431+06912\tAsia/Kabul\nAG,AI,BL\t+1503-06131\tAmerica/Puerto_Rico\tLeewards\n";

}  // namespace

class TestEngineDetection : public QObject {
    Q_OBJECT

private slots:
    void detects_data();
    void detects();
    void fileTypesYield_data();
    void fileTypesYield();
};

void TestEngineDetection::detects_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("field");
    QTest::addColumn<QByteArray>("qualifier");
    QTest::addColumn<bool>("header");
    QTest::addColumn<int>("offset");
    QTest::addColumn<QByteArray>("end");
    auto row = [](const char* tag, const QByteArray& bytes, const char* field, const char* qualifier,
                  bool header, int offset = 0, const char* end = "\n") {
        QTest::newRow(tag) << bytes << QByteArray(field) << QByteArray(qualifier) << header
                           << offset << QByteArray(end);
    };
    row("ragged rows with optional columns",
        "version,codename,created,release,eol,eol-lts\n1.1,Buzz,1993-08-16\n"
        "2.0,Hamm,1996-12-12,1998-07-24,2000-06-30\n3.0,Woody,1999-08-15\n"
        "4.0,Etch,2005-06-06,2007-04-08,2010-02-15,2012-02-06\n5.0,Lenny,2007-04-08\n",
        ",", "\"", true);
    row("comment lines, a comma inside some values", kZoneComments + kZones, "\t", "\"", false,
        int(kZoneComments.size()));
    row("all-text header over all-text data",
        "Registry,Assignment,Organization Name,Organization Address\r\n"
        "MA-L,002272,American Micro-Fuel Device Corp.,2181 Buchanan Loop WA 98248\r\n"
        "MA-L,00D0EF,IGT,9295 Prototype Drive Reno NV 89511\r\n"
        "MA-L,086195,Rockwell Automation,1 Allen-Bradley Dr. Mayfield OH 44124\r\n",
        ",", "\"", true, 0, "\r\n");
    row("years over measurements",
        "1990,1991,1992\n12.5,13.25,14.0\n11.75,12.5,13.5\n10.25,9.5,8.75\n", ",", "\"", true);
    row("years among measurements are data", "1990,12.5,3\n1991,13.25,4\n1992,14.0,5\n1993,9.5,6\n",
        ",", "\"", false);
    row("values wrapped in apostrophes",
        "'Smith, J';'Paris';'12'\n'Brown';'Rome';'7'\n'Lee';'Oslo';'31'\n", ";", "'", false);
    row("names alone in apostrophes", "'popul'\t'TVnews'\t'age'\n0\t7\t36\n190\t1\t20\n31\t7\t24\n",
        "\t", "'", true);
    row("a first line of names marked as a comment",
        "#id,code,name\n1,AE,Ministry of Communications\n2,AF,Office\n3,AG,Land\n", ",", "\"", true);
    row("commented names one field longer than the data",
        "#id,code,name,extra\n1,AE,Ministry\n2,AF,Office\n3,AG,Land\n", ",", "\"", true);
    row("a comment with a comma before the names",
        "# made by a script, from reference values\nobstime,ra,dec\n"
        "B1995.95,334.66,43.93\nJ2000.0,12.5,13.5\nB1950.0,1.25,-7.5\n",
        ",", "\"", true, 42);
    row("an apostrophe in a name stays text", "name\tn\nO'Brien\t1\nDe'Ath\t2\nLee\t3\n", "\t", "\"",
        true);
    // Edge rules, worked out by hand.
    row("a tie between two delimiters keeps the earlier", "a,b;c\nd,e;f\ng,h;i\n", ",", "\"", false);
    row("five records split 3 to 2 still have a delimiter", "a,b\nc,d\ne,f\ng\nh\n", ",", "\"",
        false);
    row("leading blank lines are records, not an offset", "\n\n1,2\n3,4\n5,6\n", ",", "\"", false);
    row("one value wrapped in apostrophes is no qualifier", "1,'x'\n2,\n3,\n4,\n", ",", "\"", false);
    row("a CR LF / LF tie goes to CR LF, LF inside values", "1,\"a\nb\"\r\n2,\"c\nd\"\r\n", ",", "\"",
        false, 0, "\r\n");
    // Classes of misreading seen on files nobody here had looked at.
    row("a data row of text over text is data",
        "Total,North,12\nSub,South,7\nSub,West,5\nSub,East,9\n", ",", "\"", false);
    row("a first value recurring below is data", "Sub,North,12\nTotal,South,7\nSub,West,5\nAll,East,9\n", ",",
        "\"", false);
    row("quoted names one value fewer (row names)",
        "\"x\"\t\"y\"\n\"1\"\t1.5\t2\n\"2\"\t2.5\t3\n\"3\"\t3.5\t4\n", "\t", "\"", true);
    row("quoted names one value fewer, blank-separated",
        "\"x\" \"y\"\n\"1\" 1.5 2\n\"2\" 2.5 3\n\"3\" 3.5 4\n", " ", "\"", true);
    row("names quoted where the data is not", "\"a\",\"b\"\nfoo,bar\nbaz,qux\n", ",", "\"", true);
    row("one quoted column, a comma inside a value", "\"Lee, Ann\"\r\n\"Kim\"\r\n\"Ray\"\r\n", ",",
        "\"", false, 0, "\r\n");
    row("colon-separated like the password file",
        "root:x:0:0:root:/root:/bin/bash\ndaemon:x:1:1:daemon:/usr/sbin:/usr/sbin/nologin\n"
        "bin:x:2:2:bin:/bin:/usr/sbin/nologin\n",
        ":", "\"", false);
    row("times in a comma file leave the comma", "id,at,until\n1,12:30:00,13:00:00\n2,14:05:10,15:00:00\n",
        ",", "\"", true);
    row("comma and blank between unquoted values", "Smith, John, 42\nLee, Ann, 37\nBo, Kim, 29\n", ",",
        "\"", false);
    row("comment lines between data lines",
        "id;name\n1;Lee\n# checked 2024\n2;Kim\n# moved, see below\n3;Ray\n", ";", "\"", true);
}

void TestEngineDetection::detects() {
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, field);
    QFETCH(QByteArray, qualifier);
    QFETCH(bool, header);
    QFETCH(int, offset);
    QFETCH(QByteArray, end);
    Detection d = DetectConnection(std::string_view(bytes.constData(), bytes.size()), bytes.size());
    QCOMPARE(d.kind, Detection::Kind::Delimited);
    QCOMPARE(QByteArray::fromStdString(d.fieldDelimiter), field);
    QCOMPARE(QByteArray::fromStdString(d.qualifier), qualifier);
    QCOMPARE(d.header, header);
    QCOMPARE(d.byteOffset, offset);
    QCOMPARE(QByteArray::fromStdString(d.recordDelimiter), end);
}

void TestEngineDetection::fileTypesYield_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("qualifier");
    QTest::addColumn<bool>("header");
    QTest::addColumn<int>("offset");
    auto row = [](const char* tag, const char* name, const QByteArray& bytes, const char* field,
                  const char* qualifier, bool header, int offset = 0) {
        QTest::newRow(tag) << QString(name) << bytes << QString(field) << QString(qualifier)
                           << header << offset;
    };
    row("csv type, semicolons", "a.csv", "id;name\n1;Lee, Bo\n2;Kim\n3;Ray\n", "CHR$(59)",
        "CHR$(34)", true);
    row("csv type, semicolons between decimal commas", "a.csv",
        "Name;Town;Sum\r\nLee;Oslo;12,50\r\nKim;Rome;7,00\r\nRay;Paris;3,25\r\n", "CHR$(59)",
        "CHR$(34)", true);
    row("csv type, a first line naming the delimiter", "a.csv",
        "sep=;\r\nName;Town\r\nLee;Oslo\r\nKim;Rome\r\nRay;Paris\r\n", "CHR$(59)", "CHR$(34)",
        true, 7);
    row("csv type, tabs, a comma in one value", "a.csv", "id\tname\n1\tLee, Bo\n2\tKim\n3\tRay\n",
        "CHR$(9)", "CHR$(34)", true);
    row("csv type, first record is data", "a.csv", "1,12.5\n2,13.25\n3,9.75\n", "CHR$(44)",
        "CHR$(34)", false);
    row("csv type, names without evidence stay names", "a.csv",
        "name,city\nJohn Smith,New York\nAnn Lee,Rome\n", "CHR$(44)", "CHR$(34)", true);
    row("tab type, comment lines first", "zone.tab", kZoneComments + kZones, "CHR$(9)", "CHR$(34)",
        false, int(kZoneComments.size()));
    row("csv type, tabs and apostrophes", "b.csv", "'popul'\t'age'\n0\t36\n190\t20\n", "CHR$(9)",
        "CHR$(39)", true);
    row("a type's own byte offset is kept", "a.hdr", "#v1\nUNITS m s\nid,t\n1,2\n3,4\n", "CHR$(44)",
        "CHR$(34)", true, 14);
    row("flat type, plainly delimited lines", "a.dat",
        "id,name,city\n1,Lee,Oslo\n2,Kimberley,Rome\n3,Ray,Paris\n", "CHR$(44)", "CHR$(34)", true);
    row("flat type, fixed lines stay fixed", "b.dat", "ABCD 123\nEFGH 456\nIJKL 789\n", "", "",
        false);
}

void TestEngineDetection::fileTypesYield() {
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, field);
    QFETCH(QString, qualifier);
    QFETCH(bool, header);
    QFETCH(int, offset);
    QTemporaryDir dir;
    QVERIFY(WriteBytes(dir.filePath(name), bytes));
    File file;
    RegisterProfileEntries(AllFileTypeEntries(BuiltInProfileEntries()), file.GetFileTypes());
    Connection& banner = file.GetFileTypes().Add("Banner");
    banner.SetExtensions("*.hdr");
    banner.SetIsDelimited(true);
    banner.SetFieldDelimiterRepresentation("CHR$(44)");
    banner.SetTextQualifierRepresentation("CHR$(34)");
    banner.SetFirstRecordContainsFieldNames(true);
    banner.SetByteOffset(14);
    QVERIFY(file.Open(dir.filePath(name).toStdString()));
    const Connection& c = file.GetConnection();
    QCOMPARE(c.IsDelimited(), !field.isEmpty());
    if (field.isEmpty()) return;
    QCOMPARE(Str(c.FieldDelimiterRepresentation()), field);
    QCOMPARE(Str(c.TextQualifierRepresentation()), qualifier);
    QCOMPARE(c.FirstRecordContainsFieldNames(), header);
    QCOMPARE(c.ByteOffset(), offset);
}

QTEST_GUILESS_MAIN(TestEngineDetection)
#include "tst_engine_detection.moc"
