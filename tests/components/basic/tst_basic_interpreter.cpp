// Running scripts: the events and what their handlers see, values reaching
// the engine objects, errors with their line numbers, nested scripts and
// the limits that keep a bad script from harming the program.
#include <QtTest>

#include "../data/engine_testfiles.h"
#include "basic/interpreter.h"
#include "data/connection.h"
#include "data/converter.h"

using namespace velmor::basic;

namespace {

struct ReportedError {
    QString description;
    int line = 0;
    QString path;
};

// Records every event of one interpreter; errors cancel unless told not to.
struct Recorder {
    explicit Recorder(Interpreter& interpreter, bool cancel = true) {
        interpreter.BeforeLineExecutes = [this](std::string& line) {
            log << "B:" + QString::fromStdString(line);
        };
        interpreter.AfterLineExecutes = [this](const std::string& line, const Variables&) {
            log << "A:" + QString::fromStdString(line);
        };
        interpreter.Error = [this, &interpreter, cancel](const std::string& d, int& line, bool& c) {
            errors.push_back({QString::fromStdString(d), line,
                              QString::fromStdString(interpreter.ErrorScriptPath())});
            c = cancel;
        };
    }
    QStringList log;
    QList<ReportedError> errors;
};

// The converter's way of taking the object a script creates: the name from
// the line's fourth character up to the first "=".
Value ObjectCreatedBy(const std::string& line, const Variables& variables) {
    if (line.find("CreateObject(\"Velmor_Data.Converter\")") == std::string::npos) return {};
    const std::string name =
        QString::fromStdString(line.substr(3, line.find('=') - 3)).trimmed().toStdString();
    return variables.Item(variables.IndexOf(name)).Value();
}

const char* const kHead =
    "Sub Main()\n"
    "  Dim c\n"
    "  Set c = CreateObject(\"Velmor_Data.Converter\")\n";

void WriteFile(const QString& path, const QByteArray& text) {
    QVERIFY(enginetest::WriteBytes(path, text));
}

}  // namespace

class TestBasicInterpreter : public QObject {
    Q_OBJECT

private slots:
    void init() { QVERIFY(dir_.isValid()); }
    // The handler before a line sees it as written and decides what runs: a
    // line it rewrites runs as rewritten, one it turns into a comment does not.
    void eventsInOrder() {
        Interpreter interpreter;
        Recorder recorder(interpreter);
        std::shared_ptr<velmor::data::Converter> converter;
        interpreter.BeforeLineExecutes = [log = interpreter.BeforeLineExecutes](std::string& line) {
            log(line);
            if (line.find("Wrong") != std::string::npos) line = "  c.IsDelimited = True";
            if (QString::fromStdString(line).toLower().contains("= false")) line = "'" + line;
        };
        interpreter.AfterLineExecutes = [&, log = interpreter.AfterLineExecutes](
                                            const std::string& line, const Variables& variables) {
            log(line, variables);
            if (!converter) converter = ObjectCreatedBy(line, variables).AsConverter();
        };
        QVERIFY(interpreter.LoadText(std::string(kHead) +
                                         "\n  ' a comment\n\tc.IsFixed = True\n  Wrong statement\n"
                                         "  c.IsDelimited = FALSE\nEnd Sub\n",
                                     Path("s.VelmorBasic").toStdString()));
        QVERIFY(interpreter.Run("Main", {Value("ignored")}));
        QCOMPARE(recorder.log, (QStringList{
                                   "B:  Dim c",
                                   "A:Dim c",
                                   "B:  Set c = CreateObject(\"Velmor_Data.Converter\")",
                                   "A:Set c = CreateObject(\"Velmor_Data.Converter\")",
                                   "B:  ' a comment",
                                   "B:\tc.IsFixed = True",
                                   "A:c.IsFixed = True",
                                   "B:  Wrong statement",
                                   "A:c.IsDelimited = True",
                                   "B:  c.IsDelimited = FALSE",
                               }));
        QVERIFY(recorder.errors.isEmpty());
        QVERIFY(converter && converter->IsDelimited() && converter->IsFixed());
    }

    // Each faulty line is reported once, with its line and script, and stops
    // the run before anything is written.
    void errors() {
        const struct {
            const char* body;
            int line;
            const char* message;
            bool fileAccess;
        } rows[] = {
            {"  Frobnicate 1, 2", 4, "Unknown statement", true},
            {"  x = 5", 4, "\"x\" is not declared", true},
            {"  Dim d\n  d.IsFixed = True", 5, "\"d\" is not set", true},
            {"  Dim a, b\n  a = b", 5, "\"b\" has not been given a value", true},
            {"  c.Colour = 1", 4, "Converter has no member \"Colour\"", true},
            {"  Dim a\n  a = c.Shape", 5, "no member \"Shape\"", true},
            {"  Call c.Convert(\"a\")", 4, "expects 2 arguments, not 1", true},
            {"  Dim a\n  a = c.IsFixed(1)", 5, "takes no arguments", true},
            {"  c.IsFixed = \"yes\"", 4, "expects True or False, not a String", true},
            {"  c.FieldDelimiterRepresentation = c", 4, "with \"Set", true},
            {"  Dim n\n  n = 5 - \"a\"", 5, "expects a whole number", true},
            {"  c.Convert = 1", 4, "is a method", true},
            {"  Set c = 5", 4, "assigns objects only", true},
            {"  Dim d\n  d = c", 5, "with \"Set d = ...\"", true},
            {"  Dim n\n  n = 3\n  n.IsFixed = True", 6, "\"n\" is not an object", true},
            {"  Set c = CreateObject(\"Excel.Application\")", 4, "cannot create", true},
            {"  Call Execute(App.Path & \"missing.VelmorBasic\")", 4, "does not exist", true},
            {"  Dim C", 4, "declared twice", true},
            {"  DIM d\n  SET D = createobject(\"velmor_data.converter\")\n  CALL d.CONVERT", 6,
             "Converter.Convert expects 2 arguments, not 0", true},
            {"  Call Nowhere()", 4, "no procedure or function \"Nowhere\"", true},
            {"  Call Helper(1)", 4, "expects 0 arguments, not 1", true},
            {"  Dim a\n  a = Helper", 5, "gives no value", true},
            {"  Dim n\n  n = 9223372036854775807 + 1", 5, "too large", true},
            {"  Sub_Placeholder", 4, "cannot begin inside", true},
            {"  Dim f\n  Set f = CreateObject(\"Velmor_Data.File\")\n  Call f.MoveTo(2.5)", 6,
             "whole number", true},
            {"  Dim f, g, n\n  Set f = CreateObject(\"Velmor_Data.File\")\n  Set g = "
             "f.Fields.Add(\"A\", 3)\n  Call f.Fields.Remove(1)\n  n = f.Fields.Count\n  g.Name = "
             "\"B\"",
             9, "no longer part", true},
            {"  Dim t\n  t = True\n  c.IsFixed = t\n  Call c.Convert(App.Path & \"absent.dat\", "
             "App.Path & \"out.txt\")",
             7, "absent.dat", true},
            {"  Call Execute(\"inner.VelmorBasic\")", 4, "without file access", false},
            {"  Call c.Convert(\"a.dat\", \"b.csv\")", 4, "without file access", false},
        };
        WriteFile(Path("inner.VelmorBasic"), "Sub Main()\nEnd Sub\n");
        const std::string path = Path("errors.VelmorBasic").toStdString();
        for (const auto& r : rows) {
            Interpreter interpreter;
            Recorder recorder(interpreter);
            interpreter.SetFileAccess(r.fileAccess);
            // A line the handler turns into a procedure heading is refused too.
            interpreter.BeforeLineExecutes = [log =
                                                  interpreter.BeforeLineExecutes](std::string& l) {
                if (l == "  Sub_Placeholder") l = "  Sub Inner()";
                log(l);
            };
            QVERIFY(
                interpreter.LoadText(std::string(kHead) + r.body +
                                         "\n  c.IsFixed = True\nEnd Sub\nSub Helper()\nEnd Sub\n",
                                     path));
            QVERIFY2(!interpreter.Run("Main"), r.body);
            QCOMPARE(recorder.errors.size(), 1);
            QVERIFY2(recorder.errors[0].description.contains(r.message),
                     qPrintable(recorder.errors[0].description));
            QCOMPARE(recorder.errors[0].line, r.line);
            QCOMPARE(recorder.errors[0].path, QString::fromStdString(path));
            QVERIFY(!recorder.log.contains("A:c.IsFixed = True"));
            QVERIFY(!QFile::exists(Path("out.txt")) && !QFile::exists(Path("b.csv")));
        }
    }

    void cancelStopsTheRun() {
        const std::string text =
            std::string(kHead) + "  x = 1\n  c.IsFixed = True\n  y = 2\nEnd Sub\n";
        {
            Interpreter interpreter;
            Recorder recorder(interpreter, false);
            QVERIFY(interpreter.LoadText(text, "s"));
            QVERIFY(!interpreter.Run("Main"));
            QCOMPARE(recorder.errors.size(), 2);
            QCOMPARE(recorder.errors[0].line, 4);
            QCOMPARE(recorder.errors[1].line, 6);
            QVERIFY(recorder.log.contains("A:c.IsFixed = True"));
        }
        {
            Interpreter interpreter;  // without an Error handler the first error stops the run
            QStringList after;
            interpreter.AfterLineExecutes = [&](const std::string& l, const Variables&) {
                after << QString::fromStdString(l);
            };
            QVERIFY(interpreter.LoadText(text, "s"));
            QVERIFY(!interpreter.Run("Main"));
            QCOMPARE(after.size(), 2);
            QVERIFY(interpreter.LoadText(std::string(kHead) + "End Sub\n", "s"));
            QVERIFY(interpreter.Run("Main"));
        }
    }

    // An error in a script another executes names that script and its line;
    // a script executing itself, two executing each other, and a procedure
    // calling itself are all stopped.
    void executedScriptsAndRecursion() {
        WriteFile(Path("inner.VelmorBasic"), "Sub Main()\n  Dim i\n  i.Open = 1\nEnd Sub\n");
        WriteFile(Path("broken.VelmorBasic"), "Sub Main()\n  Dim i\n\nSub Other()\nEnd Sub\n");
        WriteFile(Path("nomain.VelmorBasic"), "Sub Other()\nEnd Sub\n");
        WriteFile(Path("b.VelmorBasic"),
                  "Sub Main()\n  Call Execute(\"outer.VelmorBasic\")\nEnd Sub\n");
        const struct {
            const char* body;
            int line;
            const char* script;  // "" when either of two may be named
            const char* message;
        } rows[] = {
            {"Call Execute(App.Path & \"inner.VelmorBasic\")", 3, "inner.VelmorBasic",
             "\"i\" is not set"},
            {"Call Execute(\"inner.VelmorBasic\")", 3, "inner.VelmorBasic", "\"i\" is not set"},
            {"Call Execute(\"broken.VelmorBasic\")", 4, "broken.VelmorBasic",
             "cannot begin inside"},
            {"Call Execute(\"nomain.VelmorBasic\")", 2, "outer.VelmorBasic",
             "no procedure \"Main\""},
            {"Call Execute(App.Path & \"outer.VelmorBasic\")", 2, "", "too deeply"},
            {"Call Execute(\"b.VelmorBasic\")", 2, "", "too deeply"},
            {"Call Again(1)\nEnd Sub\nSub Again(n)\n  Call Again(n + 1)", 5, "outer.VelmorBasic",
             "too deeply"},
        };
        for (const auto& r : rows) {
            WriteFile(Path("outer.VelmorBasic"),
                      QByteArray("Sub Main()\n  ") + r.body + "\nEnd Sub\n");
            Interpreter interpreter;
            Recorder recorder(interpreter);
            QVERIFY(interpreter.LoadFile(Path("outer.VelmorBasic").toStdString()));
            QVERIFY(!interpreter.Run("Main"));
            QCOMPARE(recorder.errors.size(), 1);
            const ReportedError& e = recorder.errors[0];
            QVERIFY2(e.description.contains(r.message), qPrintable(e.description));
            QCOMPARE(e.line, r.line);
            if (!*r.script) continue;
            QCOMPARE(e.path, Path(r.script));
            if (e.path != Path("outer.VelmorBasic")) QVERIFY(e.description.contains(e.path));
        }
    }

    // The handler after a line finds variables by name in any case; App.Path
    // is the folder of the script, even when it was loaded by a relative name.
    void proceduresAndArguments() {
        Interpreter interpreter;
        Recorder recorder(interpreter);
        Value taken;
        interpreter.AfterLineExecutes = [&](const std::string&, const Variables& variables) {
            if (variables.IndexOf("C") != 0) taken = variables.Item(variables.IndexOf("C")).Value();
            QCOMPARE(variables.IndexOf("nothingLikeThis"), 0);
            QCOMPARE(variables.Item(0).Name(), std::string());
            QVERIFY(variables.Item(variables.Count() + 1).Value().IsEmpty());
        };
        WriteFile(Path("procs.VelmorBasic"),
                  "Sub Fill(separator, quote)\n"
                  "  Dim c, n\n"
                  "  Set c = CreateObject(\"Velmor_Data.Converter\")\n"
                  "  c.FieldDelimiterRepresentation = separator & \"|\" & quote\n"
                  "  n = -(2 + 3) - 1.5\n"
                  "  c.TextQualifierRepresentation = n\n"
                  "  c.RecordDelimiterRepresentation = app.PATH & \"x.dat\"\n"
                  "  c.FirstRecordContainsFieldNames = True\n"
                  "  Call Mark(c)\n"
                  "  Exit Sub\n"
                  "  c.IsFixed = True\n"
                  "End Sub\n"
                  "Sub Mark(target)\n"
                  "  target.IsDelimited = True\n"
                  "End Sub\n");
        QDir::setCurrent(dir_.path());
        QVERIFY(interpreter.LoadFile("procs.VelmorBasic"));
        QVERIFY(interpreter.Run("Fill", {Value("CHR$(9)"), Value("x")}));
        auto converter = taken.AsConverter();
        QVERIFY(converter);
        QCOMPARE(converter->FieldDelimiterRepresentation(), std::string("CHR$(9)|x"));
        QCOMPARE(QString::fromStdString(converter->TextQualifierRepresentation()), QString("-6.5"));
        QCOMPARE(QString::fromStdString(converter->RecordDelimiterRepresentation()),
                 dir_.path() + "/x.dat");
        QVERIFY(converter->IsDelimited() && converter->FirstRecordContainsFieldNames());
        QVERIFY(!converter->IsFixed());
        QVERIFY(taken.AsFile() == nullptr);
    }

    void loadFailures() {
        Interpreter interpreter;
        Recorder recorder(interpreter);
        QVERIFY(!interpreter.Run("Main"));
        QCOMPARE(recorder.errors.size(), 1);
        QVERIFY(recorder.errors[0].description.contains("No script is loaded"));

        recorder.errors.clear();
        QVERIFY(!interpreter.LoadFile(Path("none.VelmorBasic").toStdString()));
        QVERIFY(!interpreter.LoadFile(dir_.path().toStdString()));
        QVERIFY(!interpreter.Run("Main"));
        QCOMPARE(recorder.errors.size(), 2);
        QCOMPARE(recorder.errors[0].line, 0);
        QVERIFY(recorder.errors[0].description.contains(Path("none.VelmorBasic")));

        recorder.errors.clear();
        WriteFile(Path("binary.VelmorBasic"), QByteArray("\x00\xff\x01Sub", 6));
        QVERIFY(!interpreter.LoadFile(Path("binary.VelmorBasic").toStdString()));
        QCOMPARE(recorder.errors.size(), 1);
        QCOMPARE(recorder.errors[0].line, 1);

        recorder.errors.clear();
        QVERIFY(interpreter.LoadText("Sub Main()\nEnd Sub\n", "s"));
        QVERIFY(!interpreter.Run("SetConnectionProperties"));
        QCOMPARE(recorder.errors.size(), 1);
        QVERIFY(
            recorder.errors[0].description.contains("no procedure \"SetConnectionProperties\""));
        interpreter.Reset();
        QVERIFY(!interpreter.Run("Main"));
    }

    void reentrantRunIsRefused() {
        Interpreter interpreter;
        bool inner = true;
        int errors = 0;
        interpreter.BeforeLineExecutes = [&](std::string&) { inner = interpreter.Run("Main"); };
        interpreter.Error = [&](const std::string&, int&, bool&) { ++errors; };
        QVERIFY(interpreter.LoadText(std::string(kHead) + "End Sub\n", "s"));
        QVERIFY(interpreter.Run("Main"));
        QVERIFY(!inner);
        QCOMPARE(errors, 2);
    }

    void limitsStopRunawayScripts() {
        {
            // Every call doubles the work: without a line budget this would run 2^32 lines.
            Interpreter interpreter;
            Recorder recorder(interpreter, false);
            Interpreter::Limits limits;
            limits.lines = 5000;
            interpreter.SetLimits(limits);
            QVERIFY(
                interpreter.LoadText("Sub Main()\n  Call A(1)\nEnd Sub\n"
                                     "Sub A(n)\n  Call A(n + 1)\n  Call A(n + 1)\nEnd Sub\n",
                                     "s"));
            QVERIFY(!interpreter.Run("Main"));
            QVERIFY(recorder.errors.size() > 1);
            QVERIFY(recorder.errors.first().description.contains("too deeply"));
            QVERIFY2(recorder.errors.last().description.contains("stopped after 5000 lines"),
                     qPrintable(recorder.errors.last().description));
        }
        {
            Interpreter interpreter;
            Recorder recorder(interpreter);
            std::string text = "Sub Main()\n  Dim s\n  s = \"ab\"\n";
            for (int i = 0; i < 40; ++i) text += "  s = s & s\n";
            QVERIFY(interpreter.LoadText(text + "End Sub\n", "s"));
            QVERIFY(!interpreter.Run("Main"));
            QCOMPARE(recorder.errors.size(), 1);
            QVERIFY(recorder.errors[0].description.contains("would be longer than 1048576"));
            QCOMPARE(recorder.errors[0].line, 3 + 20);
        }
    }

private:
    QString Path(const QString& name) const { return dir_.filePath(name); }
    QTemporaryDir dir_;
};

QTEST_GUILESS_MAIN(TestBasicInterpreter)
#include "tst_basic_interpreter.moc"
