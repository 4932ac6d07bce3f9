// Conversion scripts as the data converter writes them, run for real: a
// file's script converts its file, the folder script repeats every
// conversion of its folder (also through the velmor-basic runner), and the
// converter's restore run reads the settings back without converting.
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
    void initTestCase();
    void init();
    void fileScriptConverts();
    void folderScriptRunsEveryConversion();
    void restoreRunReadsSettingsWithoutConverting();
    void fileObjectReadsRecords();
    void runner_data();
    void runner();

private:
    bool RunScript(const QString& name, QStringList* errors = nullptr);
    QString Work(const QString& name) const { return work_ + "/" + name; }

    QTemporaryDir dir_;
    QString work_;
    QByteArray ordersReference_;
    QByteArray customersReference_;
};

void TestBasicScripts::initTestCase() {
    QVERIFY(dir_.isValid());
    const QString data = VELMOR_TEST_DATA "/basic/conversion";
    QString reference = dir_.filePath("reference");
    QVERIFY(CopyFolder(data, reference));
    ordersReference_ = DirectConversion(reference, "orders.dat", "ordersCf.csv", true);
    customersReference_ = DirectConversion(reference, "customers.csv", "customersCf.txt", false);
    QVERIFY(ordersReference_.contains("100001"));
    QVERIFY(customersReference_.contains("Kaito Garcia"));
}

void TestBasicScripts::init() {
    static int round = 0;
    work_ = dir_.filePath(QString("round%1/conversion").arg(++round));
    QVERIFY(CopyFolder(VELMOR_TEST_DATA "/basic/conversion", work_));
}

bool TestBasicScripts::RunScript(const QString& name, QStringList* errors) {
    Interpreter interpreter;
    QStringList reported;
    interpreter.Error = [&](const std::string& description, int& line, bool& cancel) {
        reported << QString("%1:%2: %3")
                        .arg(QString::fromStdString(interpreter.ErrorScriptPath()))
                        .arg(line)
                        .arg(QString::fromStdString(description));
        cancel = true;
    };
    bool ok =
        interpreter.LoadFile(Work(name).toStdString()) && interpreter.Run("Main", {Value("")});
    if (errors != nullptr) *errors = reported;
    if (!reported.isEmpty()) qWarning("%s", qPrintable(reported.join('\n')));
    return ok;
}

void TestBasicScripts::fileScriptConverts() {
    QVERIFY(RunScript("ordersC.VelmorBasic"));
    QCOMPARE(enginetest::ReadBytes(Work("ordersCf.csv")), ordersReference_);
    QVERIFY(!QFile::exists(Work("customersCf.txt")));
}

void TestBasicScripts::folderScriptRunsEveryConversion() {
    QVERIFY(RunScript("conversion.VelmorBasic"));
    QCOMPARE(enginetest::ReadBytes(Work("ordersCf.csv")), ordersReference_);
    QCOMPARE(enginetest::ReadBytes(Work("customersCf.txt")), customersReference_);
}

void TestBasicScripts::restoreRunReadsSettingsWithoutConverting() {
    Interpreter interpreter;
    QString extension;
    std::shared_ptr<velmor::data::Converter> converter;
    interpreter.BeforeLineExecutes = [&](std::string& line) {
        QString text = QString::fromStdString(line);
        if (!text.toLower().contains(".convert(")) return;
        line = "'" + line;
        int dot = text.lastIndexOf('.');
        extension = text.mid(dot + 1, text.indexOf('"', dot) - dot - 1);
    };
    interpreter.AfterLineExecutes = [&](const std::string& line, const Variables& variables) {
        if (line.find("CreateObject(\"Velmor_Data.Converter\")") == std::string::npos) return;
        std::string name =
            QString::fromStdString(line.substr(3, line.find('=') - 3)).trimmed().toStdString();
        converter = variables.Item(variables.IndexOf(name)).Value().AsConverter();
    };
    int errors = 0;
    interpreter.Error = [&](const std::string&, int&, bool& cancel) {
        ++errors;
        cancel = true;
    };
    QVERIFY(interpreter.LoadFile(Work("ordersC.VelmorBasic").toStdString()));
    QVERIFY(interpreter.Run("Main", {}));
    QCOMPARE(errors, 0);
    QCOMPARE(extension, QString("csv"));
    QVERIFY(converter);
    QVERIFY(converter->IsDelimited());
    QVERIFY(converter->FirstRecordContainsFieldNames());
    QCOMPARE(converter->FieldDelimiterRepresentation(), std::string("CHR$(44)"));
    QCOMPARE(converter->TextQualifierRepresentation(), std::string("CHR$(34)"));
    QVERIFY(!QFile::exists(Work("ordersCf.csv")));
}

void TestBasicScripts::fileObjectReadsRecords() {
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
    QStringList errors;
    interpreter.Error = [&](const std::string& description, int& line, bool& cancel) {
        errors << QString("%1: %2").arg(line).arg(QString::fromStdString(description));
        cancel = true;
    };
    QMap<QString, QString> values;
    interpreter.AfterLineExecutes = [&](const std::string&, const Variables& variables) {
        for (const char* name : {"position", "found", "first", "count"}) {
            const Value& v = variables.Item(variables.IndexOf(name)).Value();
            if (const auto* text = std::get_if<std::string>(&v.Get())) {
                values[name] = QString::fromStdString(*text);
            } else if (const auto* whole = std::get_if<std::int64_t>(&v.Get())) {
                values[name] = QString::number(*whole);
            }
        }
    };
    QVERIFY(interpreter.LoadFile(Work("read.VelmorBasic").toStdString()));
    QVERIFY2(interpreter.Run("Main"), qPrintable(errors.join('\n')));
    QCOMPARE(values["count"], QString("5"));
    QCOMPARE(values["first"], QString("100001|PAI"));
    QCOMPARE(values["found"], QString("4"));
    QCOMPARE(values["position"], QString("4"));
}

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
    QTest::newRow("error with line")
        << QStringList{"extra.VelmorBasic"}
        << QByteArray("Sub Main()\r\n  Dim c\r\n  c.IsFixed = True\r\nEnd Sub\r\n") << 1
        << "extra.VelmorBasic:3: The object variable \"c\" is not set";
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
    if (arguments.value(0) == "conversion.VelmorBasic") {
        QCOMPARE(enginetest::ReadBytes(Work("ordersCf.csv")), ordersReference_);
        QCOMPARE(enginetest::ReadBytes(Work("customersCf.txt")), customersReference_);
    }
}

QTEST_GUILESS_MAIN(TestBasicScripts)
#include "tst_basic_scripts.moc"
