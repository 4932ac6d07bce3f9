// Conversion scripts as the data converter writes them, run for real: the
// folder script repeats every conversion of its folder, a script reads
// records through the file object, and the velmor-basic runner reports.
#include <QtTest>

#include "../data/engine_testfiles.h"
#include "basic/interpreter.h"
#include "data/converter.h"

using namespace velmor::basic;

namespace {

bool CopyFolder(const QString& from, const QString& to) {
    QDir().mkpath(to);
    for (const QString& name : QDir(from).entryList(QDir::Files)) {
        if (!QFile::copy(from + "/" + name, to + "/" + name)) return false;
    }
    return true;
}

// What the engine writes when asked directly with the scripts' settings.
QByteArray DirectConversion(const QString& folder, const QString& source, const QString& target,
                            bool delimited) {
    velmor::data::Converter converter;
    if (delimited) {
        converter.SetIsDelimited(true);
        converter.SetFirstRecordContainsFieldNames(true);
        converter.SetRecordDelimiterRepresentation("CHR$(13) & CHR$(10)");
        converter.SetFieldDelimiterRepresentation("CHR$(44)");
        converter.SetTextQualifierRepresentation("CHR$(34)");
    } else {
        converter.SetIsFixed(true);
    }
    std::string error;
    converter.OnError = [&](const std::string& d, bool& cancel) {
        error = d;
        cancel = true;
    };
    bool ok = converter.Convert((folder + "/" + source).toStdString(),
                                (folder + "/" + target).toStdString());
    if (!ok) qWarning("direct conversion failed: %s", error.c_str());
    return enginetest::ReadBytes(folder + "/" + target);
}

}  // namespace

class TestBasicScripts : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        const QString reference = dir_.filePath("reference");
        QVERIFY(CopyFolder(VELMOR_TEST_DATA "/basic/conversion", reference));
        ordersReference_ = DirectConversion(reference, "orders.dat", "ordersCf.csv", true);
        customersReference_ =
            DirectConversion(reference, "customers.csv", "customersCf.txt", false);
        QVERIFY(ordersReference_.contains("100001"));
        QVERIFY(customersReference_.contains("Kaito Garcia"));
    }

    void init() {
        static int round = 0;
        work_ = dir_.filePath(QString("round%1/conversion").arg(++round));
        QVERIFY(CopyFolder(VELMOR_TEST_DATA "/basic/conversion", work_));
    }

    // The folder script executes each file's script, which converts its file.
    void folderScriptRunsEveryConversion() {
        Interpreter interpreter;
        QStringList errors;
        interpreter.Error = [&](const std::string& description, int& line, bool& cancel) {
            errors << QString("%1: %2").arg(line).arg(QString::fromStdString(description));
            cancel = true;
        };
        QVERIFY(interpreter.LoadFile(Work("conversion.VelmorBasic").toStdString()));
        QVERIFY2(interpreter.Run("Main", {Value("")}), qPrintable(errors.join('\n')));
        QCOMPARE(enginetest::ReadBytes(Work("ordersCf.csv")), ordersReference_);
        QCOMPARE(enginetest::ReadBytes(Work("customersCf.txt")), customersReference_);
    }

    void fileObjectReadsRecords() {
        QVERIFY(enginetest::WriteBytes(
            Work("read.VelmorBasic"),
            "Sub Main()\n"
            "  Dim f, position, found, first, count\n"
            "  Set f = CreateObject(\"Velmor_Data.File\")\n"
            "  Call f.Open(App.Path & \"orders.dat\")\n"
            "  count = f.Fields.Count\n"
            "  Call f.MoveTo(1)\n"
            "  first = f.Fields.Item(1).Value & \"|\" & f.Fields.Item(\"status\").Value\n"
            "  position = 0\n"
            "  found = f.Find(\"STATUS\", \"NEW\", position)\n"
            "End Sub\n"));
        Interpreter interpreter;
        interpreter.Error = [](const std::string& description, int&, bool& cancel) {
            qWarning("%s", description.c_str());
            cancel = true;
        };
        QStringList values;
        interpreter.AfterLineExecutes = [&](const std::string&, const Variables& variables) {
            values.clear();
            for (const char* name : {"count", "first", "found", "position"}) {
                const Value& v = variables.Item(variables.IndexOf(name)).Value();
                if (const auto* text = std::get_if<std::string>(&v.Get()))
                    values << QString::fromStdString(*text);
                else if (const auto* whole = std::get_if<std::int64_t>(&v.Get()))
                    values << QString::number(*whole);
            }
        };
        QVERIFY(interpreter.LoadFile(Work("read.VelmorBasic").toStdString()));
        QVERIFY(interpreter.Run("Main"));
        QCOMPARE(values, (QStringList{"5", "100001|PAI", "4", "4"}));
    }

    void runner_data();
    void runner();

private:
    QString Work(const QString& name) const { return work_ + "/" + name; }

    QTemporaryDir dir_;
    QString work_;
    QByteArray ordersReference_;
    QByteArray customersReference_;
};

void TestBasicScripts::runner_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("stderrText");

    QTest::newRow("folder script")
        << QStringList{"conversion.VelmorBasic"} << QByteArray() << 0 << "";
    QTest::newRow("named procedure")
        << QStringList{"extra.VelmorBasic", "Other"}
        << QByteArray("Sub Main()\r\n  x = 1\r\nEnd Sub\r\nSub Other()\r\nEnd Sub\r\n") << 0 << "";
    QTest::newRow("nested error names the inner file")
        << QStringList{"extra.VelmorBasic"}
        << QByteArray(
               "Sub Main()\n\n  Call Execute(\"ordersC.VelmorBasic\")\n  Call "
               "Execute(\"none.VelmorBasic\")\nEnd Sub\n")
        << 1 << "extra.VelmorBasic:4: The script file";
    // A layout carried in a script and damaged by hand: refused, nothing written.
    const QByteArray carried =
        "Sub Main()\r\n  Dim c\r\n  Set c = CreateObject(\"Velmor_Data.Converter\")\r\n"
        "  c.IsDelimited = True\r\n  c.RecordDelimiterRepresentation = \"CHR$(10)\"\r\n"
        "  c.FieldDelimiterRepresentation = \"CHR$(44)\"\r\n"
        "  Call c.AddSourceConnectionLine(\"[Velmor Data Connection]\")\r\n"
        "  Call c.AddSourceConnectionLine(\"%1\")\r\n"
        "  Call c.Convert(App.Path & \"orders.dat\", App.Path & \"carriedCf.csv\")\r\nEnd Sub\r\n";
    QTest::newRow("damaged carried layout")
        << QStringList{"extra.VelmorBasic"} << QString(carried).arg("Field=1,x,F").toUtf8() << 1
        << "extra.VelmorBasic:9: The layout given for";
    QTest::newRow("carried layout dividing nothing")
        << QStringList{"extra.VelmorBasic"} << QString(carried).arg("FieldCount=0").toUtf8() << 1
        << "extra.VelmorBasic:9: The layout given for";
    QTest::newRow("missing script") << QStringList{"absent.VelmorBasic"} << QByteArray() << 1
                                    << "absent.VelmorBasic:0: The script file";
    QTest::newRow("usage") << QStringList{} << QByteArray() << 2 << "usage: velmor-basic";
    QTest::newRow("connection folder that is none")
        << QStringList{"--connection-folder", "absent", "extra.VelmorBasic"} << QByteArray() << 2
        << "\"absent\" is not a folder";
}

void TestBasicScripts::runner() {
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, script);
    QFETCH(int, exitCode);
    QFETCH(QString, stderrText);
    const QString program = QCoreApplication::applicationDirPath() + "/velmor-basic";
    if (!QFile::exists(program))
        QSKIP("the velmor-basic runner has not been built beside the tests");
    if (!script.isEmpty()) QVERIFY(enginetest::WriteBytes(Work("extra.VelmorBasic"), script));
    QProcess process;
    process.setWorkingDirectory(work_);
    process.start(program, arguments);
    QVERIFY(process.waitForFinished(60000));
    QString errors = QString::fromLocal8Bit(process.readAllStandardError());
    QCOMPARE(process.exitCode(), exitCode);
    QVERIFY2(errors.contains(stderrText), qPrintable(errors));
    if (exitCode == 0) QVERIFY2(errors.isEmpty(), qPrintable(errors));
    QVERIFY(!QFile::exists(Work("carriedCf.csv")));
}

QTEST_GUILESS_MAIN(TestBasicScripts)
#include "tst_basic_scripts.moc"
