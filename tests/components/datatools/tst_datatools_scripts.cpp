// The scripts a conversion leaves behind, byte for byte against golden
// files; the folder script's update; names that break scripts; and every
// writer's refusal of a read-only target. (The names of the scripts, their
// writing twice and their reading back: tst_tools_converter.)
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include "basic/interpreter.h"
#include "components/data/engine_testfiles.h"
#include "data/bytesearch.h"
#include "data/converter.h"
#include "data/file.h"
#include "datatools/conversionscript.h"
#include "support/unprivileged.h"

using namespace velmor;
using datatools::ConversionNames;
using datatools::ConversionSettings;

namespace {

QByteArray Golden(const char* name) {
    return enginetest::ReadBytes(QStringLiteral(VELMOR_TEST_DATA "/tools/") + name);
}

ConversionSettings Delimited() {
    return {false, true, "CHR$(13) & CHR$(10)", "CHR$(44)", "CHR$(34)", {}};
}

ConversionSettings Fixed() {
    return {true, false, {}, {}, {}, {}};
}

}  // namespace

class DatatoolsScriptsTest : public QObject {
    Q_OBJECT
private slots:
    void fileScript_data();
    void fileScript();
    void folderScript_data();
    void folderScript();
    void failures();
    void unreadableFolderScriptIsKept();
    void namesThatBreakScripts_data();
    void namesThatBreakScripts();
    void readOnlyTargetsAreKept_data();
    void readOnlyTargetsAreKept();
};

void DatatoolsScriptsTest::fileScript_data() {
    QTest::addColumn<QString>("data");
    QTest::addColumn<bool>("fixed");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QString>("golden");
    QTest::newRow("delimited") << "/data/Sales/orders.dat" << false << "csv"
                               << "ordersC.delimited.VelmorBasic";
    QTest::newRow("fixed, a name that is no variable name")
        << "/data/my-orders.csv" << true << "txt" << "my-ordersC.fixed.VelmorBasic";
}

void DatatoolsScriptsTest::fileScript() {
    QFETCH(QString, data);
    QFETCH(bool, fixed);
    QFETCH(QString, extension);
    QFETCH(QString, golden);
    ConversionNames n = ConversionNames::Of(data.toStdString());
    n.targetExtension = extension.toStdString();
    ConversionSettings s = Delimited();
    if (fixed) s = Fixed();
    const QByteArray expected = Golden(golden.toLatin1().constData());
    QVERIFY(!expected.isEmpty());
    QCOMPARE(QByteArray::fromStdString(datatools::FileScriptText(n, s)), expected);
    s.firstRecordContainsFieldNames = true;  // a names row, fixed or delimited
    QVERIFY(datatools::FileScriptText(n, s).find("FirstRecordContainsFieldNames = True\r\n") !=
            std::string::npos);
}

void DatatoolsScriptsTest::folderScript_data() {
    QTest::addColumn<QByteArray>("current");
    QTest::addColumn<QByteArray>("expected");  // "" = left as it is
    const QByteArray a = "  Call Execute(App.Path & \"aC.VelmorBasic\")\r\n";
    const QByteArray orders = "  Call Execute(App.Path & \"ordersC.VelmorBasic\")\r\n";
    QTest::newRow("added before End Sub") << "Sub Main()\r\n" + a + "End Sub\r\n"
                                          << "Sub Main()\r\n" + a + orders + "End Sub\r\n";
    QTest::newRow("already there, other case")
        << "Sub Main()\r\n" + orders.toUpper() + "End Sub\r\n" << QByteArray();
    QTest::newRow("no End Sub") << "Sub Main()\r\n" + a << QByteArray();
    QTest::newRow("the last End Sub, lines after it kept")
        << QByteArray("Sub Main()\r\nEnd Sub\r\nSub X()\r\nEnd Sub\r\n' end\r\n")
        << "Sub Main()\r\nEnd Sub\r\nSub X()\r\n" + orders + "' end\r\nEnd Sub\r\n";
    QTest::newRow("LF line ends") << QByteArray("Sub Main()\nEnd Sub\n")
                                  << "Sub Main()\r\n" + orders + "End Sub\r\n";
}

void DatatoolsScriptsTest::folderScript() {
    QFETCH(QByteArray, current);
    QFETCH(QByteArray, expected);
    const std::string updated =
        datatools::FolderScriptWithLine(current.toStdString(), datatools::FolderScriptLine("orders"));
    QCOMPARE(QByteArray::fromStdString(updated), expected);
}

void DatatoolsScriptsTest::failures() {
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("Sales"));
    ConversionNames n = ConversionNames::Of(dir.filePath("Sales/orders.dat").toStdString());
    n.targetExtension = "csv";
    std::string error;
    // A folder where the file's script belongs: nothing is written.
    QVERIFY(QDir(dir.path()).mkdir("Sales/ordersC.VelmorBasic"));
    QVERIFY(!datatools::WriteConversionScripts(n, Delimited(), error));
    QVERIFY(QString::fromStdString(error).contains("ordersC.VelmorBasic"));
    QVERIFY(!QFile::exists(QString::fromStdString(n.FolderScript())));
}

// A folder script the program cannot read is left as it was.
void DatatoolsScriptsTest::unreadableFolderScriptIsKept() {
    VELMOR_UNPRIVILEGED("unreadableFolderScriptIsKept");
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("Sales"));
    ConversionNames n = ConversionNames::Of(dir.filePath("Sales/orders.dat").toStdString());
    n.targetExtension = "csv";
    std::string error;
    const QString folderScript = QString::fromStdString(n.FolderScript());
    QVERIFY(enginetest::WriteBytes(folderScript, "Sub Main()\r\nEnd Sub\r\n"));
    QFile(folderScript).setPermissions(QFileDevice::WriteOwner);
    QVERIFY(!datatools::WriteConversionScripts(n, Delimited(), error));
    QFile(folderScript).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QCOMPARE(enginetest::ReadBytes(folderScript), QByteArray("Sub Main()\r\nEnd Sub\r\n"));
}

void DatatoolsScriptsTest::namesThatBreakScripts_data() {
    QTest::addColumn<QString>("data");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QString>("target");
    QTest::newRow("quote in the name") << "o\"q.csv" << "txt" << "o\"qCf.txt";
    QTest::newRow("no extension") << "noext" << "csv" << "noextCf.csv";
    QTest::newRow("no target extension") << "plain.csv" << "" << "plainCf";
}

// Each name reaches the folder script's later lines and the file it names.
void DatatoolsScriptsTest::namesThatBreakScripts() {
    QFETCH(QString, data);
    QFETCH(QString, extension);
    QFETCH(QString, target);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath("Sales"));
    const QString folder = dir.filePath("Sales/");
    QVERIFY(enginetest::WriteBytes(folder + data, "ID,NAME\r\n1,Lee\r\n"));
    QVERIFY(enginetest::WriteBytes(folder + "last.csv", "ID\r\n1\r\n"));
    std::string error;
    for (const QString& name : {data, QString("last.csv")}) {
        ConversionNames n = ConversionNames::Of((folder + name).toStdString());
        n.targetExtension = name == data ? extension.toStdString() : "txt";
        QVERIFY2(datatools::WriteConversionScripts(n, Fixed(), error), error.c_str());
        if (name != data) continue;
        QCOMPARE(QString::fromStdString(n.Target()), folder + target);
        const std::string script = datatools::FileScriptText(n, Fixed());
        const std::size_t call = script.find("Call ");
        QCOMPARE(datatools::TargetExtensionOf(script.substr(call, script.find('\r', call) - call)),
                 extension.toStdString());
    }
    basic::Interpreter interpreter;
    QStringList errors;
    interpreter.Error = [&errors](const std::string& d, int& line, bool& cancel) {
        errors << QString::fromStdString(d) + " @" + QString::number(line);
        cancel = true;
    };
    QVERIFY(interpreter.LoadFile(dir.filePath("Sales/Sales.VelmorBasic").toStdString()));
    QVERIFY2(interpreter.Run("Main"), qPrintable(errors.join('\n')));
    QCOMPARE(enginetest::ReadBytes(folder + target), QByteArray("1Lee\r\n"));
    QVERIFY(QFile::exists(folder + "lastCf.txt"));
}

// Every writer of the program refuses an existing target without a write
// bit, even for the superuser (these tests run as root), and leaves it and
// its folder as they were.
void DatatoolsScriptsTest::readOnlyTargetsAreKept_data() {
    QTest::addColumn<QString>("writer");
    QTest::addColumn<QString>("target");  // in the folder of the data file "d.csv"
    QTest::newRow("converter") << "convert" << "dCf.txt";
    QTest::newRow("file script") << "scripts" << "dC.VelmorBasic";
    QTest::newRow("folder script") << "scripts" << "Sales.VelmorBasic";
    QTest::newRow("layout report") << "whole" << "layout.txt";
    QTest::newRow("connection file") << "connection" << "d.vdc";
    QTest::newRow("format file") << "connection" << "d.fmt";
    QTest::newRow("byte replacement") << "bytes" << "d.csv";
}

void DatatoolsScriptsTest::readOnlyTargetsAreKept() {
    QFETCH(QString, writer);
    QFETCH(QString, target);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("Sales"));
    const QString folder = dir.filePath("Sales");
    const QString data = folder + "/d.csv", path = folder + "/" + target;
    QVERIFY(enginetest::WriteBytes(data, "a,b\r\n1,2\r\n"));
    if (path != data) QVERIFY(enginetest::WriteBytes(path, "protected"));
    const QByteArray before = enginetest::ReadBytes(path);
    QVERIFY(QFile(path).setPermissions(QFileDevice::ReadOwner | QFileDevice::ReadGroup |
                                       QFileDevice::ReadOther));
    const QStringList names = QDir(folder).entryList(QDir::Files);

    std::string error;
    bool written = true;
    if (writer == "convert") {
        data::Converter c;
        c.OnError = [&error](const std::string& e, bool& cancel) {
            error = e;
            cancel = true;
        };
        c.SetIsDelimited(true);
        c.SetRecordDelimiterRepresentation("CHR$(13) & CHR$(10)");
        c.SetFieldDelimiterRepresentation("CHR$(9)");
        written = c.Convert(data.toStdString(), path.toStdString());
    } else if (writer == "scripts") {
        ConversionNames n = ConversionNames::Of(data.toStdString());
        n.targetExtension = "txt";
        written = datatools::WriteConversionScripts(n, Delimited(), error);
    } else if (writer == "whole") {
        written = datatools::WriteFileAtomically(path.toStdString(), "report", error);
    } else if (writer == "connection") {
        data::File f;
        f.OnError = [&error](const std::string& e, bool& cancel) {
            error = e;
            cancel = true;
        };
        QVERIFY(f.Open(data.toStdString()));
        written = f.SaveConnection((folder + "/d.vdc").toStdString(), true);
    } else if (writer == "bytes") {
        const data::ByteReplaceResult r = data::ReplaceAllBytes(path.toStdString(), "1", "11");
        written = r.error.empty();
        error = r.error;
    }
    QVERIFY(!written);
    QVERIFY2(QString::fromStdString(error).contains("read-only"), error.c_str());
    QCOMPARE(enginetest::ReadBytes(path), before);
    struct stat info {};
    QVERIFY(::stat(QFile::encodeName(path).constData(), &info) == 0);
    QCOMPARE(info.st_mode & 07777, 0444u);
    QStringList after = QDir(folder).entryList(QDir::Files);
    if (writer == "scripts" || writer == "connection") after = names;  // the other file may be new
    QCOMPARE(QDir(folder).entryList(QDir::Files).filter(".temp-"), QStringList());
    QCOMPARE(after, names);
}

QTEST_GUILESS_MAIN(DatatoolsScriptsTest)
#include "tst_datatools_scripts.moc"
