#include <QTemporaryDir>
#include <QtTest>
#include <limits>

#include "util/utilities.h"

using namespace velmor::util;

namespace {

// Every one-argument text function, by name; numbers and truths as text.
std::string Apply(const QByteArray& function, const std::string& t) {
    if (function == "chars") return RepresentationToCharacters(t).characters;
    if (function == "repr") return CharactersToRepresentation(t);
    if (function == "number") return QByteArray::number(LeadingNumber(t), 'g', 17).toStdString();
    if (function == "whole") return std::to_string(ReadWholeNumber(t));
    if (function == "bool") return ToBoolean(t) ? "1" : "0";
    if (function == "unquote") return Unquote(t);
    if (function == "name") return ToVariableName(t);
    if (function == "trim") return Trim(t);
    if (function == "upper") return ToUpper(t);
    if (function == "lower") return ToLower(t);
    if (function == "noblank") return RemoveCharacter(t, ' ');
    if (function == "path") {
        std::string folder, name, extension;
        SplitPath(t, folder, name, extension);
        return folder + "|" + name + "|" + extension;
    }
    return "<unknown function>";
}

void Row(const char* function, const char* name, const QByteArray& text, const QByteArray& result) {
    QTest::newRow(QByteArray(function).append(": ").append(name).constData())
        << QByteArray(function) << text << result;
}

}  // namespace

class TestUtilities : public QObject {
    Q_OBJECT

private slots:
    void textFunctions_data() {
        QTest::addColumn<QByteArray>("function");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("result");
        Row("chars", "only blanks", " \t ", "");
        Row("chars", "crlf", "CHR$(13) & CHR$(10)", "\r\n");
        Row("chars", "no blanks", "CHR$(9)&CHR$(34)", "\t\"");
        Row("chars", "wide blanks", "  CHR$(1)  &\tCHR$(2) ", "\x01\x02");
        Row("repr", "crlf", "\r\n", "CHR$(13) & CHR$(10)");
        Row("number", "empty", "", "0");
        Row("number", "blanks and sign", " \t-12.5xyz", "-12.5");
        Row("number", "plus", "+7", "7");
        Row("number", "point first", ".25", "0.25");
        Row("number", "trailing point", "5.", "5");
        Row("number", "lone point", ".", "0");
        Row("number", "lone sign", "-", "0");
        Row("number", "second number ignored", "3 4", "3");
        Row("number", "sign then blank", "- 3", "0");
        Row("number", "exponent not read", "2e3", "2");
        Row("number", "tiny", "0." + QByteArray(400, '0') + "1", "0");
        Row("whole", "fraction down", " 2.5 records", "2");
        Row("whole", "fraction up", "3.5", "4");
        Row("bool", "Yes", "Yes", "1");
        Row("bool", "TRUE padded", "  TRUE ", "1");
        Row("bool", "No", "No", "0");
        Row("bool", "empty", "", "0");
        Row("bool", "minus one", "-1", "1");
        Row("bool", "zero point zero", "0.0", "0");
        Row("bool", "nan word", "nan", "0");
        Row("bool", "yes please", "yes please", "0");
        Row("bool", "number with tail", "1x", "0");
        Row("unquote", "quoted path", " \"/a b/c.dat\" ", "/a b/c.dat");
        Row("unquote", "plain", "*.csv", "*.csv");
        Row("unquote", "one quote", "\"", "\"");
        Row("unquote", "only opening", "\"abc", "\"abc");
        Row("unquote", "empty quotes", "\"\"", "");
        Row("unquote", "one pair only", "\"\"x\"\"", "\"x\"");
        Row("name", "plain", "OrdersC", "OrdersC");
        Row("name", "blanks and dots", "my file.v2", "my_file_v2");
        Row("name", "digit first", "2024C", "_2024C");
        Row("name", "empty", "", "_");
        Row("name", "latin1", "caf\xe9", "caf_");
        Row("name", "reserved word", "Dim", "_Dim");
        Row("name", "reserved once C is added", "publi", "_publi");
        Row("name", "reserved with its C", "publiC", "_publiC");
        Row("name", "longer than a reserved word", "endings", "endings");
        Row("trim", "blanks and tabs", " \t a b \t", "a b");
        Row("upper", "latin-1 untouched", "ab\xe9z", "AB\xe9Z");
        Row("lower", "latin-1 untouched", "AB\xc9Z", "ab\xc9z");
        Row("noblank", "spaces only", " A\tB C ", "A\tBC");
        Row("path", "full", "/data/in.csv", "/data/|in|csv");
        Row("path", "two dots", "/d/a.b.txt", "/d/|a.b|txt");
        Row("path", "no folder", "x.dat", "|x|dat");
        Row("path", "no extension", "/d.x/file", "/d.x/|file|");
        Row("path", "hidden file", "/h/.profile", "/h/|.profile|");
        Row("path", "folder only", "/h/", "/h/||");
    }

    void textFunctions() {
        QFETCH(QByteArray, function);
        QFETCH(QByteArray, text);
        const std::string input(text.constData(), static_cast<std::size_t>(text.size()));
        if (function == "chars") QVERIFY(RepresentationToCharacters(input).ok());
        QTEST(QByteArray::fromStdString(Apply(function, input)), "result");
    }

    void representationRefused_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("raw comma") << QByteArray(",");
        QTest::newRow("lower case") << QByteArray("chr$(13)");
        QTest::newRow("out of range") << QByteArray("CHR$(256)");
        QTest::newRow("huge code") << QByteArray("CHR$(99999999999999999999)");
        QTest::newRow("leading zero") << QByteArray("CHR$(013)");
        QTest::newRow("sign") << QByteArray("CHR$(-1)");
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

    void representationRefused() {
        QFETCH(QByteArray, text);
        RepresentationResult r =
            RepresentationToCharacters(std::string(text.constData(), text.size()));
        QVERIFY(!r.ok());
        QVERIFY(r.characters.empty());
        QVERIFY(
            QByteArray::fromStdString(r.error).startsWith("Invalid representation at position "));
    }

    void representationRoundTrip() {
        std::string all;
        for (int c = 0; c < 256; ++c) all.push_back(static_cast<char>(c));
        RepresentationResult r = RepresentationToCharacters(CharactersToRepresentation(all));
        QVERIFY(r.ok());
        QCOMPARE(r.characters, all);
    }

    void roundHalfEven() {
        constexpr double inf = std::numeric_limits<double>::infinity();
        constexpr qint64 top = std::numeric_limits<qint64>::max();
        const std::pair<double, qint64> rows[] = {
            {2.5, 2},    {3.5, 4},
            {-2.5, -2},  {-3.5, -4},
            {2.51, 3},   {-0.49, 0},
            {inf, top},  {-inf, std::numeric_limits<qint64>::min()},
            {1e30, top}, {std::numeric_limits<double>::quiet_NaN(), 0}};
        for (const auto& [value, rounded] : rows)
            QCOMPARE(static_cast<qint64>(RoundHalfEven(value)), rounded);
    }

    void smallTextHelpers() {
        std::string before, after;
        SplitAt("KEY=a=b", "=", before, after);
        QCOMPARE(before + "|" + after, std::string("KEY|a=b"));
        SplitAt("END", "=", before, after);
        QCOMPARE(before + "|" + after, std::string("END|"));

        std::string text = "abcabcab";
        RemoveText(text, "ab", false);
        QCOMPARE(text, std::string("cabcab"));
        RemoveText(text, "ab", true);
        QCOMPARE(text, std::string("cc"));
        RemoveText(text, "", true);
        QCOMPARE(text, std::string("cc"));

        QCOMPARE(SplitList("*.a;*.b;", ';'), (std::vector<std::string>{"*.a", "*.b", ""}));
        QVERIFY(SplitList("", ';').empty());
        QCOMPARE(SplitList(std::string("a\xff") + "b", 255), (std::vector<std::string>{"a", "b"}));

        QCOMPARE(FindLast("a.b.c", "."), std::int64_t(4));
        QCOMPARE(FindLast("abc", "x"), std::int64_t(0));
        QCOMPARE(FindLast("abc", ""), std::int64_t(0));
        QCOMPARE(FindLast("aaa", "aa"), std::int64_t(2));
        QVERIFY(EqualsNoCase("BeGiN", "begin"));
        QVERIFY(!EqualsNoCase("begin", "begins"));
    }

    void nextLine() {
        const std::pair<std::string, QStringList> rows[] = {
            {"a\r\nb\nc\rd", {"a", "b", "c", "d"}}, {"last\r\n", {"last"}}, {"", {""}}};
        for (auto [text, expected] : rows) {
            QStringList lines;
            for (bool more = true; more;) {
                std::string line;
                NextLine(text, more, line);
                lines << QString::fromStdString(line);
            }
            QCOMPARE(lines, expected);
        }
    }

    void fileExists() {
        QTemporaryDir dir;
        const QString file = dir.filePath("x.dat");
        QVERIFY(QFile(file).open(QIODevice::WriteOnly));
        QVERIFY(FileExists(file.toStdString()));
        QVERIFY(!FileExists(dir.path().toStdString()));
        QVERIFY(!FileExists(dir.filePath("missing").toStdString()));
        QVERIFY(!FileExists(""));
        QVERIFY(!FileExists(file.toStdString() + std::string("\0.other", 7)));
    }
};

QTEST_GUILESS_MAIN(TestUtilities)
#include "tst_utilities.moc"
