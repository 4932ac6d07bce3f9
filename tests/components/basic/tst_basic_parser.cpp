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
    void tokenize_data();
    void tokenize();
    void statement_data();
    void statement();
    void structure_data();
    void structure();
    void lineEndings();
    void hugeAndDeepLinesAreRefused();
    void procedureHeading();
};

void TestBasicParser::tokenize_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QString>("error");

    QTest::newRow("doubled quotes")
        << R"(x = "say ""hi""")" << QStringList{"x", "=", R"(say "hi")"} << "";
    QTest::newRow("comment after statement")
        << "Dim a ' the 'a' variable" << QStringList{"Dim", "a"} << "";
    QTest::newRow("quote inside text is no comment") << R"("it's")" << QStringList{"it's"} << "";
    QTest::newRow("member chain") << "f.Connection.RecordLength = 40"
                                  << QStringList{"f", ".", "Connection", ".", "RecordLength",
                                                 "=", "40"}
                                  << "";
    QTest::newRow("join") << R"(App.Path & "a.dat")"
                          << QStringList{"App", ".", "Path", "&", "a.dat"} << "";
    QTest::newRow("decimal") << "x = 2.5" << QStringList{"x", "=", "2.5"} << "";
    QTest::newRow("dollar name") << "Chr$" << QStringList{"Chr$"} << "";
    QTest::newRow("unclosed text") << R"(x = "abc)" << QStringList{} << "not closed";
    QTest::newRow("stray character") << "x = 1 # 2" << QStringList{} << "'#' at column 7";
    QTest::newRow("control byte") << QString("x\x01") << QStringList{} << "code 1";
    QTest::newRow("too large") << "x = 99999999999999999999" << QStringList{} << "too large";
}

void TestBasicParser::tokenize() {
    QFETCH(QString, line);
    QFETCH(QStringList, texts);
    QFETCH(QString, error);
    LexResult result = Tokenize(line.toStdString());
    if (!error.isEmpty()) {
        QVERIFY2(QString::fromStdString(result.error).contains(error), result.error.c_str());
        return;
    }
    QVERIFY2(result.error.empty(), result.error.c_str());
    QStringList got;
    for (const Token& token : result.tokens) got << QString::fromStdString(token.text);
    QCOMPARE(got, texts);
}

void TestBasicParser::statement_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("error");
    const int nothing = int(StatementKind::Nothing);
    const int dim = int(StatementKind::Dim);
    const int assign = int(StatementKind::Assign);
    const int set = int(StatementKind::SetObject);
    const int call = int(StatementKind::Call);
    const int exit = int(StatementKind::ExitSub);

    QTest::newRow("blank") << "   " << nothing << "";
    QTest::newRow("rem") << "REM a remark" << nothing << "";
    QTest::newRow("dim several") << "Dim a, b As Object, c As Velmor_Data.Converter" << dim << "";
    QTest::newRow("set") << R"(Set c = CreateObject("Velmor_Data.Converter"))" << set << "";
    QTest::newRow("set lower case") << R"(set c = createobject("x"))" << set << "";
    QTest::newRow("property") << "c.IsFixed = True" << assign << "";
    QTest::newRow("let") << "Let x = -5 + 3" << assign << "";
    QTest::newRow("deep property") << "f.Connection.RecordLength = 40" << assign << "";
    QTest::newRow("call method") << R"(Call f.Fields.Add("ID", 5, "", 0))" << call << "";
    QTest::newRow("call execute") << R"(Call Execute(App.Path & "ordersC.VelmorBasic"))" << call
                                  << "";
    QTest::newRow("call without parentheses") << "Call f.CloseFile" << call << "";
    QTest::newRow("method without call") << R"(f.Open "x.dat")" << call << "";
    QTest::newRow("exit sub") << "Exit Sub" << exit << "";
    QTest::newRow("end sub") << "end sub" << exit << "";
    QTest::newRow("unknown word") << "Goto 10" << nothing << "Unknown statement";
    QTest::newRow("number alone") << "42" << nothing << "Unknown statement";
    QTest::newRow("missing value") << "x =" << nothing << "missing";
    QTest::newRow("missing parenthesis") << "Call f.Add(1, 2" << nothing << "Expected \")\"";
    QTest::newRow("assign to call")
        << "f.Item(1) = 3" << nothing << "Only a variable or a property";
    QTest::newRow("reserved as variable") << "Dim Set" << nothing << "cannot be used";
    QTest::newRow("trailing tokens") << "Dim a b" << nothing << "Unexpected \"b\"";
    QTest::newRow("plain end") << "End" << nothing << "Exit Sub";
    QTest::newRow("call a literal") << "Call 5" << nothing << "procedure or a method";
}

void TestBasicParser::statement() {
    QFETCH(QString, line);
    QFETCH(int, kind);
    QFETCH(QString, error);
    ParseResult result = ParseStatement(line.toStdString());
    if (!error.isEmpty()) {
        QVERIFY2(QString::fromStdString(result.error).contains(error), result.error.c_str());
        return;
    }
    QVERIFY2(result.error.empty(), result.error.c_str());
    QCOMPARE(int(result.statement.kind), kind);
}

void TestBasicParser::structure_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("errorLine");
    QTest::addColumn<QString>("error");

    QTest::newRow("two procedures") << "' header\nOption Explicit\n\nSub Main()\nEnd Sub\n"
                                       "Private Sub Other(a, ByVal b)\n  Dim x\nEnd Sub\n"
                                    << 0 << "";
    QTest::newRow("statement outside") << "Dim x\nSub Main()\nEnd Sub\n"
                                       << 1 << "outside a procedure";
    QTest::newRow("missing end sub") << "Sub Main()\n  Dim x\n" << 1 << "no \"End Sub\"";
    QTest::newRow("nested sub") << "Sub Main()\nSub Inner()\nEnd Sub\n"
                                << 2 << "cannot begin inside";
    QTest::newRow("end sub alone") << "End Sub\n" << 1 << "without \"Sub\"";
    QTest::newRow("twice") << "Sub A()\nEnd Sub\nsub a()\nEnd Sub\n" << 3 << "defined twice";
    QTest::newRow("broken heading") << "Sub ()\nEnd Sub\n" << 1 << "procedure name";
}

void TestBasicParser::structure() {
    QFETCH(QString, text);
    QFETCH(int, errorLine);
    QFETCH(QString, error);
    Script script;
    std::string message;
    int line = -1;
    bool ok = script.Load(text.toStdString(), "/scripts/x.VelmorBasic", message, line);
    QCOMPARE(ok, error.isEmpty());
    QCOMPARE(line, errorLine);
    QVERIFY2(QString::fromStdString(message).contains(error), message.c_str());
    if (ok) {
        QVERIFY(script.Find("MAIN") != nullptr);
        QCOMPARE(script.Folder(), std::string("/scripts/"));
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

void TestBasicParser::procedureHeading() {
    ProcedureHeading heading;
    std::string error;
    QVERIFY(ParseProcedureHeading("Public Sub SetConnectionProperties()", heading, error));
    QCOMPARE(heading.name, std::string("SetConnectionProperties"));
    QVERIFY(heading.parameters.empty());
    QVERIFY(ParseProcedureHeading("Sub Two(ByRef a As String, b)", heading, error));
    QCOMPARE(heading.parameters, (std::vector<std::string>{"a", "b"}));
    QVERIFY(ParseProcedureHeading("Sub NoParentheses", heading, error));
    QVERIFY(!ParseProcedureHeading("Sub Bad(a,)", heading, error));
}

QTEST_GUILESS_MAIN(TestBasicParser)
#include "tst_basic_parser.moc"
