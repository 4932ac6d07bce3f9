// Reading script lines and finding procedures: tokens, statements, and the
// structural faults a script file can have.
#include <QtTest>

#include "basic/lexer.h"
#include "basic/parser.h"
#include "basic/script.h"

using namespace velmor::basic;

class TestBasicParser : public QObject {
    Q_OBJECT

private slots:
    void tokenize();
    void statement();
    void structure();
    void lineEndings();
    void hugeAndDeepLinesAreRefused();
};

// A row with an error expects that part of the message; without one, the
// tokens' texts.
void TestBasicParser::tokenize() {
    const struct {
        const char* line;
        QStringList texts;
        const char* error;
    } rows[] = {
        {R"(x = "say ""hi""")", {"x", "=", R"(say "hi")"}, ""},
        {"Dim a ' the 'a' variable", {"Dim", "a"}, ""},
        {R"("it's")", {"it's"}, ""},
        {"f.Connection.RecordLength = 40",
         {"f", ".", "Connection", ".", "RecordLength", "=", "40"},
         ""},
        {R"(App.Path & "a.dat")", {"App", ".", "Path", "&", "a.dat"}, ""},
        {"x = 2.5", {"x", "=", "2.5"}, ""},
        {"Chr$", {"Chr$"}, ""},
        {R"(x = "abc)", {}, "not closed"},
        {"x = 1 # 2", {}, "'#' at column 7"},
        {"x\x01", {}, "code 1"},
        {"x = 99999999999999999999", {}, "too large"},
    };
    for (const auto& r : rows) {
        const LexResult result = Tokenize(r.line);
        const QString error = QString::fromStdString(result.error);
        QVERIFY2(*r.error ? error.contains(r.error) : error.isEmpty(), r.line);
        QStringList got;
        for (const Token& token : result.tokens) got << QString::fromStdString(token.text);
        if (!*r.error) QCOMPARE(got, r.texts);
    }
}

void TestBasicParser::statement() {
    using K = StatementKind;
    const struct {
        const char* line;
        K kind;
        const char* error;
    } rows[] = {
        {"   ", K::Nothing, ""},
        {"REM a remark", K::Nothing, ""},
        {"Dim a, b As Object, c As Velmor_Data.Converter", K::Dim, ""},
        {R"(Set c = CreateObject("Velmor_Data.Converter"))", K::SetObject, ""},
        {R"(set c = createobject("x"))", K::SetObject, ""},
        {"c.IsFixed = True", K::Assign, ""},
        {"Let x = -5 + 3", K::Assign, ""},
        {"f.Connection.RecordLength = 40", K::Assign, ""},
        {R"(Call f.Fields.Add("ID", 5, "", 0))", K::Call, ""},
        {R"(Call Execute(App.Path & "ordersC.VelmorBasic"))", K::Call, ""},
        {"Call f.CloseFile", K::Call, ""},
        {R"(f.Open "x.dat")", K::Call, ""},
        {"Exit Sub", K::ExitSub, ""},
        {"end sub", K::ExitSub, ""},
        {"Goto 10", K::Nothing, "Unknown statement"},
        {"42", K::Nothing, "Unknown statement"},
        {"x =", K::Nothing, "missing"},
        {"Call f.Add(1, 2", K::Nothing, "Expected \")\""},
        {"f.Item(1) = 3", K::Nothing, "Only a variable or a property"},
        {"Dim Set", K::Nothing, "cannot be used"},
        {"Dim a b", K::Nothing, "Unexpected \"b\""},
        {"End", K::Nothing, "Exit Sub"},
        {"Call 5", K::Nothing, "procedure or a method"},
    };
    for (const auto& r : rows) {
        const ParseResult result = ParseStatement(r.line);
        const QString error = QString::fromStdString(result.error);
        QVERIFY2(*r.error ? error.contains(r.error) : error.isEmpty(), r.line);
        if (!*r.error) QVERIFY2(result.statement.kind == r.kind, r.line);
    }
}

// A faulty script names the line of its first structural fault.
void TestBasicParser::structure() {
    const struct {
        const char* text;
        int errorLine;
        const char* error;
    } rows[] = {
        {"' header\nOption Explicit\n\nSub Main()\nEnd Sub\n"
         "Private Sub Other(ByRef a As String, ByVal b)\n  Dim x\nEnd Sub\n",
         0, ""},
        {"Dim x\nSub Main()\nEnd Sub\n", 1, "outside a procedure"},
        {"Sub Main()\n  Dim x\n", 1, "no \"End Sub\""},
        {"Sub Main()\nSub Inner()\nEnd Sub\n", 2, "cannot begin inside"},
        {"End Sub\n", 1, "without \"Sub\""},
        {"Sub A()\nEnd Sub\nsub a()\nEnd Sub\n", 3, "defined twice"},
        {"Sub ()\nEnd Sub\n", 1, "procedure name"},
        {"Sub Main\nEnd Sub\nSub Bad(a,)\nEnd Sub\n", 3, "parameter name"},
    };
    for (const auto& r : rows) {
        Script script;
        std::string message;
        int line = -1;
        const bool ok = script.Load(r.text, "/scripts/x.VelmorBasic", message, line);
        QVERIFY2(ok == !*r.error && line == r.errorLine, r.text);
        QVERIFY2(QString::fromStdString(message).contains(r.error), message.c_str());
        if (ok) {
            QVERIFY(script.Find("MAIN") != nullptr);
            QCOMPARE(script.Folder(), std::string("/scripts/"));
        }
    }
}

void TestBasicParser::lineEndings() {
    Script script;
    std::string message;
    int line = 0;
    QVERIFY(script.Load("Sub Main()\r\n  Dim a\r  Dim b\nEnd Sub", "s", message, line));
    QCOMPARE(script.LineCount(), 4);
    QCOMPARE(script.Line(3), std::string("  Dim b"));
    const Procedure* main = script.Find("main");
    QVERIFY(main != nullptr);
    QCOMPARE(main->headingLine, 1);
    QCOMPARE(main->endLine, 4);
}

void TestBasicParser::hugeAndDeepLinesAreRefused() {
    std::string deep = "x = " + std::string(100000, '(') + "1" + std::string(100000, ')');
    QVERIFY(QString::fromStdString(ParseStatement(deep).error).contains("nested too deeply"));
    std::string negations = "x = " + std::string(100000, '-') + "1";
    QVERIFY(!ParseStatement(negations).error.empty());
    std::string chain = "x = a";
    for (int i = 0; i < 100000; ++i) chain += " & a";
    QVERIFY(QString::fromStdString(ParseStatement(chain).error).contains("too long"));
    std::string members = "x = a";
    for (int i = 0; i < 100000; ++i) members += ".b";
    QVERIFY(!ParseStatement(members).error.empty());
    std::string huge = "x = \"" + std::string(kMaxLineLength, 'a') + "\"";
    QVERIFY(QString::fromStdString(ParseStatement(huge).error).contains("longer than"));
}

QTEST_GUILESS_MAIN(TestBasicParser)
#include "tst_basic_parser.moc"
