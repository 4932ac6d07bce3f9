#include <QTemporaryDir>
#include <QtTest>
#include <limits>

#include "util/utilities.h"

using namespace velmor::util;

class TestUtilities : public QObject {
    Q_OBJECT

private slots:
    void representationAccepted_data();
    void representationAccepted();
    void representationRefused_data();
    void representationRefused();
    void representationRoundTrip();
    void charactersToRepresentation();
    void leadingNumber_data();
    void leadingNumber();
    void roundHalfEven_data();
    void roundHalfEven();
    void toBoolean_data();
    void toBoolean();
    void unquote_data();
    void unquote();
    void splitPath_data();
    void splitPath();
    void splitAtAndRemove();
    void splitList();
    void findLast();
    void toVariableName_data();
    void toVariableName();
    void nextLine();
    void fileExists();
    void caseHelpers();
};

void TestUtilities::representationAccepted_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty") << QByteArray("") << QByteArray("");
    QTest::newRow("only blanks") << QByteArray(" \t ") << QByteArray("");
    QTest::newRow("crlf") << QByteArray("CHR$(13) & CHR$(10)") << QByteArray("\r\n");
    QTest::newRow("comma") << QByteArray("CHR$(44)") << QByteArray(",");
    QTest::newRow("no blanks") << QByteArray("CHR$(9)&CHR$(34)") << QByteArray("\t\"");
    QTest::newRow("wide blanks") << QByteArray("  CHR$(1)  &\tCHR$(2) ") << QByteArray("\x01\x02");
    QTest::newRow("zero") << QByteArray("CHR$(0)") << QByteArray("\0", 1);
    QTest::newRow("top") << QByteArray("CHR$(255)") << QByteArray("\xff");
}

void TestUtilities::representationAccepted() {
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, bytes);
    RepresentationResult r = RepresentationToCharacters(text.toStdString());
    QVERIFY2(r.ok(), r.error.c_str());
    QCOMPARE(QByteArray::fromStdString(r.characters), bytes);
}

void TestUtilities::representationRefused_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("raw comma") << QByteArray(",");
    QTest::newRow("lower case") << QByteArray("chr$(13)");
    QTest::newRow("out of range") << QByteArray("CHR$(256)");
    QTest::newRow("huge code") << QByteArray("CHR$(99999999999999999999)");
    QTest::newRow("leading zero") << QByteArray("CHR$(013)");
    QTest::newRow("sign") << QByteArray("CHR$(-1)");
    QTest::newRow("plus") << QByteArray("CHR$(+1)");
    QTest::newRow("blank inside") << QByteArray("CHR$( 13)");
    QTest::newRow("unclosed") << QByteArray("CHR$(13");
    QTest::newRow("no code") << QByteArray("CHR$()");
    QTest::newRow("missing ampersand") << QByteArray("CHR$(13) CHR$(10)");
    QTest::newRow("trailing ampersand") << QByteArray("CHR$(13) &");
    QTest::newRow("leading ampersand") << QByteArray("& CHR$(13)");
    QTest::newRow("double ampersand") << QByteArray("CHR$(13) && CHR$(10)");
    QTest::newRow("trailing junk") << QByteArray("CHR$(13)x");
    QTest::newRow("no dollar") << QByteArray("CHR(13)");
    QTest::newRow("binary") << QByteArray("\x00\xff\x01", 3);
}

void TestUtilities::representationRefused() {
    QFETCH(QByteArray, text);
    RepresentationResult r = RepresentationToCharacters(std::string(text.constData(), text.size()));
    QVERIFY(!r.ok());
    QVERIFY(r.characters.empty());
    QVERIFY(QByteArray::fromStdString(r.error).startsWith("Invalid representation at position "));
}

void TestUtilities::representationRoundTrip() {
    std::string all;
    for (int c = 0; c < 256; ++c) all.push_back(static_cast<char>(c));
    RepresentationResult r = RepresentationToCharacters(CharactersToRepresentation(all));
    QVERIFY(r.ok());
    QCOMPARE(r.characters, all);
}

void TestUtilities::charactersToRepresentation() {
    QCOMPARE(CharactersToRepresentation(""), std::string());
    QCOMPARE(CharactersToRepresentation("\r\n"), std::string("CHR$(13) & CHR$(10)"));
    QCOMPARE(CharactersToRepresentation("\xe9"), std::string("CHR$(233)"));
}

void TestUtilities::leadingNumber_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<double>("number");
    QTest::newRow("empty") << QByteArray("") << 0.0;
    QTest::newRow("word") << QByteArray("abc") << 0.0;
    QTest::newRow("plain") << QByteArray("40") << 40.0;
    QTest::newRow("blanks and sign") << QByteArray(" \t-12.5xyz") << -12.5;
    QTest::newRow("plus") << QByteArray("+7") << 7.0;
    QTest::newRow("point first") << QByteArray(".25") << 0.25;
    QTest::newRow("trailing point") << QByteArray("5.") << 5.0;
    QTest::newRow("lone point") << QByteArray(".") << 0.0;
    QTest::newRow("lone sign") << QByteArray("-") << 0.0;
    QTest::newRow("second number ignored") << QByteArray("3 4") << 3.0;
    QTest::newRow("sign then blank") << QByteArray("- 3") << 0.0;
    QTest::newRow("exponent not read") << QByteArray("2e3") << 2.0;
    QTest::newRow("tiny") << QByteArray("0." + QByteArray(400, '0') + "1") << 0.0;
}

void TestUtilities::leadingNumber() {
    QFETCH(QByteArray, text);
    QFETCH(double, number);
    QCOMPARE(LeadingNumber(text.toStdString()), number);
}

void TestUtilities::roundHalfEven_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<qint64>("rounded");
    QTest::newRow("half down to even") << 2.5 << qint64(2);
    QTest::newRow("half up to even") << 3.5 << qint64(4);
    QTest::newRow("negative half") << -2.5 << qint64(-2);
    QTest::newRow("negative odd half") << -3.5 << qint64(-4);
    QTest::newRow("above half") << 2.51 << qint64(3);
    QTest::newRow("below half") << -0.49 << qint64(0);
    QTest::newRow("nan") << std::numeric_limits<double>::quiet_NaN() << qint64(0);
    QTest::newRow("infinity") << std::numeric_limits<double>::infinity()
                              << std::numeric_limits<qint64>::max();
    QTest::newRow("minus infinity")
        << -std::numeric_limits<double>::infinity() << std::numeric_limits<qint64>::min();
    QTest::newRow("1e30") << 1e30 << std::numeric_limits<qint64>::max();
}

void TestUtilities::roundHalfEven() {
    QFETCH(double, value);
    QFETCH(qint64, rounded);
    QCOMPARE(static_cast<qint64>(RoundHalfEven(value)), rounded);
}

void TestUtilities::toBoolean_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("value");
    QTest::newRow("Yes") << QByteArray("Yes") << true;
    QTest::newRow("TRUE padded") << QByteArray("  TRUE ") << true;
    QTest::newRow("true") << QByteArray("true") << true;
    QTest::newRow("No") << QByteArray("No") << false;
    QTest::newRow("False") << QByteArray("False") << false;
    QTest::newRow("empty") << QByteArray("") << false;
    QTest::newRow("minus one") << QByteArray("-1") << true;
    QTest::newRow("zero") << QByteArray("0") << false;
    QTest::newRow("zero point zero") << QByteArray("0.0") << false;
    QTest::newRow("nan word") << QByteArray("nan") << false;
    QTest::newRow("yes please") << QByteArray("yes please") << false;
    QTest::newRow("number with tail") << QByteArray("1x") << false;
}

void TestUtilities::toBoolean() {
    QFETCH(QByteArray, text);
    QFETCH(bool, value);
    QCOMPARE(ToBoolean(text.toStdString()), value);
}

void TestUtilities::unquote_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("result");
    QTest::newRow("quoted path") << QByteArray(" \"/a b/c.dat\" ") << QByteArray("/a b/c.dat");
    QTest::newRow("plain") << QByteArray("*.csv") << QByteArray("*.csv");
    QTest::newRow("one quote") << QByteArray("\"") << QByteArray("\"");
    QTest::newRow("only opening") << QByteArray("\"abc") << QByteArray("\"abc");
    QTest::newRow("empty quotes") << QByteArray("\"\"") << QByteArray("");
    QTest::newRow("one pair only") << QByteArray("\"\"x\"\"") << QByteArray("\"x\"");
}

void TestUtilities::unquote() {
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, result);
    QCOMPARE(QByteArray::fromStdString(Unquote(text.toStdString())), result);
}

void TestUtilities::splitPath_data() {
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QByteArray>("folder");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("extension");
    QTest::newRow("full") << QByteArray("/data/in.csv") << QByteArray("/data/") << QByteArray("in")
                          << QByteArray("csv");
    QTest::newRow("two dots") << QByteArray("/d/a.b.txt") << QByteArray("/d/") << QByteArray("a.b")
                              << QByteArray("txt");
    QTest::newRow("no folder") << QByteArray("x.dat") << QByteArray("") << QByteArray("x")
                               << QByteArray("dat");
    QTest::newRow("no extension") << QByteArray("/d.x/file") << QByteArray("/d.x/")
                                  << QByteArray("file") << QByteArray("");
    QTest::newRow("hidden file") << QByteArray("/h/.profile") << QByteArray("/h/")
                                 << QByteArray(".profile") << QByteArray("");
    QTest::newRow("folder only") << QByteArray("/h/") << QByteArray("/h/") << QByteArray("")
                                 << QByteArray("");
}

void TestUtilities::splitPath() {
    QFETCH(QByteArray, path);
    std::string folder, name, extension;
    SplitPath(path.toStdString(), folder, name, extension);
    QTEST(QByteArray::fromStdString(folder), "folder");
    QTEST(QByteArray::fromStdString(name), "name");
    QTEST(QByteArray::fromStdString(extension), "extension");
}

void TestUtilities::splitAtAndRemove() {
    std::string before, after;
    SplitAt("KEY=a=b", "=", before, after);
    QCOMPARE(before, std::string("KEY"));
    QCOMPARE(after, std::string("a=b"));
    SplitAt("END", "=", before, after);
    QCOMPARE(before, std::string("END"));
    QCOMPARE(after, std::string());

    QCOMPARE(RemoveCharacter(" A\tB C ", ' '), std::string("A\tBC"));
    std::string text = "abcabcab";
    RemoveText(text, "ab", false);
    QCOMPARE(text, std::string("cabcab"));
    RemoveText(text, "ab", true);
    QCOMPARE(text, std::string("cc"));
    RemoveText(text, "", true);
    QCOMPARE(text, std::string("cc"));
}

void TestUtilities::splitList() {
    QCOMPARE(SplitList("*.a;*.b;", ';'), (std::vector<std::string>{"*.a", "*.b", ""}));
    QCOMPARE(SplitList("one", ';'), (std::vector<std::string>{"one"}));
    QVERIFY(SplitList("", ';').empty());
    QCOMPARE(SplitList("a\xff"
                       "b",
                       255),
             (std::vector<std::string>{"a", "b"}));
}

void TestUtilities::findLast() {
    QCOMPARE(FindLast("a.b.c", "."), std::int64_t(4));
    QCOMPARE(FindLast("abc", "x"), std::int64_t(0));
    QCOMPARE(FindLast("abc", ""), std::int64_t(0));
    QCOMPARE(FindLast("aaa", "aa"), std::int64_t(2));
}

void TestUtilities::toVariableName_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("name");
    QTest::newRow("plain") << QByteArray("OrdersC") << QByteArray("OrdersC");
    QTest::newRow("blanks and dots") << QByteArray("my file.v2") << QByteArray("my_file_v2");
    QTest::newRow("digit first") << QByteArray("2024C") << QByteArray("_2024C");
    QTest::newRow("empty") << QByteArray("") << QByteArray("_");
    QTest::newRow("latin1") << QByteArray("caf\xe9") << QByteArray("caf_");
    QTest::newRow("reserved word") << QByteArray("Dim") << QByteArray("_Dim");
    QTest::newRow("reserved once C is added") << QByteArray("publi") << QByteArray("_publi");
    QTest::newRow("reserved with its C") << QByteArray("publiC") << QByteArray("_publiC");
    QTest::newRow("longer than a reserved word") << QByteArray("endings") << QByteArray("endings");
}

void TestUtilities::toVariableName() {
    QFETCH(QByteArray, text);
    QTEST(QByteArray::fromStdString(ToVariableName(text.toStdString())), "name");
}

void TestUtilities::nextLine() {
    std::string text = "a\r\nb\nc\rd";
    std::vector<std::string> lines;
    bool more = true;
    while (more) {
        std::string line;
        NextLine(text, more, line);
        lines.push_back(line);
    }
    QCOMPARE(lines, (std::vector<std::string>{"a", "b", "c", "d"}));

    text = "last\r\n";
    std::string line;
    NextLine(text, more, line);
    QCOMPARE(line, std::string("last"));
    QVERIFY(!more);

    text.clear();
    NextLine(text, more, line);
    QCOMPARE(line, std::string());
    QVERIFY(!more);
}

void TestUtilities::fileExists() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString file = dir.filePath("x.dat");
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();
    QVERIFY(FileExists(file.toStdString()));
    QVERIFY(!FileExists(dir.path().toStdString()));
    QVERIFY(!FileExists(dir.filePath("missing").toStdString()));
    QVERIFY(!FileExists(""));
    QVERIFY(!FileExists(file.toStdString() + std::string("\0.other", 7)));
}

void TestUtilities::caseHelpers() {
    QCOMPARE(Trim(" \t a b \t"), std::string("a b"));
    QCOMPARE(ToUpper("ab\xe9z"), std::string("AB\xe9Z"));
    QCOMPARE(ToLower("AB\xc9Z"), std::string("ab\xc9z"));
    QVERIFY(EqualsNoCase("BeGiN", "begin"));
    QVERIFY(!EqualsNoCase("begin", "begins"));
    QCOMPARE(ReadWholeNumber(" 2.5 records"), std::int64_t(2));
    QCOMPARE(ReadWholeNumber("3.5"), std::int64_t(4));
}

QTEST_GUILESS_MAIN(TestUtilities)
#include "tst_utilities.moc"
