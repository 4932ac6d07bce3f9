// Where connection and indexing files land under each setting, that files of
// different folders never share one, and that every File and Converter made
// later starts with the program's settings.
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>
#include <filesystem>

#include "data/converter.h"
#include "data/file.h"
#include "data/sidefiles.h"
#include "engine_testfiles.h"

using namespace velmor::data;
using namespace enginetest;

namespace {

// Large enough (over 1 MiB) that counting it leaves an indexing file.
QByteArray IndexedCsv() {
    QByteArray out = "ID,NAME\r\n";
    for (int i = 1; i <= 60000; ++i) out += QByteArray::number(i) + ",name " + "abcdefgh\r\n";
    return out;
}

QStringList FilesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files, QDir::Name);
}

}  // namespace

class TestEngineSideFiles : public QObject {
    Q_OBJECT

private:
    QTemporaryDir root_;
    QString data_, cache_;

    // The folder a row names: a folder of the row's own, or the user's.
    QString Folder(const QString& rowRoot, const QString& name, bool connection) const {
        if (name == "xdg") return connection ? data_ + "/Velmor/Connections" : cache_ + "/Velmor";
        return rowRoot + "/" + name;
    }

private slots:
    void initTestCase() {
        data_ = root_.filePath("xdgdata");
        cache_ = root_.filePath("xdgcache");
        qputenv("XDG_DATA_HOME", QFile::encodeName(data_));
        qputenv("XDG_CACHE_HOME", QFile::encodeName(cache_));
    }
    void init() {
        QDir(data_).removeRecursively();
        QDir(cache_).removeRecursively();
        SetEngineDefaults({});
    }

    void sideFilesLand_data();
    void sideFilesLand();
    void sideFileNames_data();
    void sideFileNames();
    void laterObjectsStartWithTheSettings();
    void readOnlyCommandsWriteNothingBeside_data();
    void readOnlyCommandsWriteNothingBeside();
    void countingWidensADetectedLayout_data();
    void countingWidensADetectedLayout();
};

void TestEngineSideFiles::sideFilesLand_data() {
    QTest::addColumn<bool>("store");
    QTest::addColumn<QString>("secondary");
    QTest::addColumn<bool>("oldBeside");  // a connection file made before, beside the data
    QTest::addColumn<QString>("connectionIn");
    QTest::addColumn<QString>("indexIn");
    auto row = [](const char* name, bool store, const char* secondary, bool oldBeside,
                  const char* connectionIn, const char* indexIn) {
        QTest::newRow(name) << store << QString(secondary) << oldBeside << QString(connectionIn)
                            << QString(indexIn);
    };
    row("in the data folder", true, "", false, "a", "a");
    row("data folder wins over secondary", true, "settings", false, "a", "a");
    row("secondary folder", false, "settings", false, "settings", "settings");
    row("user folders", false, "", false, "xdg", "xdg");
    row("missing secondary folder", false, "nowhere", false, "xdg", "xdg");
    row("old file beside is used first", false, "", true, "a", "xdg");
    row("secondary folder ignores beside", false, "settings", true, "settings", "settings");
}

void TestEngineSideFiles::sideFilesLand() {
    QFETCH(bool, store);
    QFETCH(QString, secondary);
    QFETCH(bool, oldBeside);
    QFETCH(QString, connectionIn);
    QFETCH(QString, indexIn);
    QTemporaryDir dir;
    for (const char* sub : {"a", "b", "settings"}) QVERIFY(QDir(dir.path()).mkdir(sub));
    const QString a = dir.path() + "/a/orders.csv";
    const QString b = dir.path() + "/b/orders.csv";
    QVERIFY(WriteBytes(a, IndexedCsv()));
    QVERIFY(WriteBytes(b, "x;y\r\n1;2\r\n"));
    if (oldBeside) QVERIFY(WriteBytes(a + ".vdc", ""));  // replaced by the save below
    const std::string folder =
        secondary.isEmpty() ? "" : (dir.path() + "/" + secondary).toStdString();
    auto openWithSettings = [&](File& file, const QString& path) {
        file.SetStoreConnectionAndIndexingFilesInDataPath(store ? "True" : "False");
        file.SetSecondaryConnectionAndIndexingPath(folder);
        QVERIFY(file.Open(path.toStdString()));
    };

    QString saved;
    {
        File file;
        openWithSettings(file, a);
        file.GetConnection().SetIsDelimited(false);
        file.GetConnection().SetIsFixed(true);
        file.GetConnection().SetRecordLength(5);
        saved = Str(file.ConnectionPathAndName());
        QVERIFY(file.SaveConnection(saved.toStdString(), false));  // as the viewer saves
        // Delimited again and counted, so an indexing file is kept on closing.
        file.GetConnection().SetIsFixed(false);
        file.GetConnection().SetIsDelimited(true);
        file.MoveLast();
    }
    QCOMPARE(QFileInfo(saved).absolutePath(), Folder(dir.path(), connectionIn, true));
    QVERIFY(QFileInfo(saved).fileName().startsWith("orders.csv"));
    QVERIFY(QFileInfo(saved).size() > 0);
    const QString indexFolder = Folder(dir.path(), indexIn, false);
    const QStringList indexes = FilesIn(indexFolder).filter(".vdi");
    QCOMPARE(indexes.size(), 1);
    QVERIFY(indexes[0].startsWith("orders.csv"));
    QStringList beside = FilesIn(dir.path() + "/a");
    QCOMPARE(beside.size(), 1 + (connectionIn == "a" || oldBeside) + (indexIn == "a"));

    // The other orders.csv must not meet the first one's connection.
    File other;
    openWithSettings(other, b);
    QVERIFY(Str(other.ConnectionPathAndName()) != saved);
    QVERIFY(!other.GetConnection().IsFixed());
    File again;
    openWithSettings(again, a);
    QCOMPARE(again.GetConnection().RecordLength(), 5);
}

void TestEngineSideFiles::sideFileNames_data() {
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("xdgData");
    QTest::addColumn<QString>("folder");  // below $HOME, or "xdg"
    QTest::newRow("a 250-byte name") << QByteArray(246, 'n') + ".csv" << QByteArray() << "xdg";
    QTest::newRow("a 250-byte name in UTF-8")
        << QByteArray("\xC3\xA9").repeated(123) + ".csv" << QByteArray() << "xdg";
    QTest::newRow("a relative XDG_DATA_HOME is ignored")
        << QByteArray("a.csv") << QByteArray("relative/data") << ".local/share/Velmor/Connections";
}

void TestEngineSideFiles::sideFileNames() {
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, xdgData);
    QFETCH(QString, folder);
    const QByteArray home = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(root_.path()));
    if (!xdgData.isEmpty()) qputenv("XDG_DATA_HOME", xdgData);
    const std::string data = "/d/" + name.toStdString();
    const std::string connection = SideFilePath(data, SideFileKind::Connection, {false, ""});
    const std::string index = SideFilePath(data, SideFileKind::Index, {false, ""});
    qputenv("HOME", home);
    qputenv("XDG_DATA_HOME", QFile::encodeName(data_));
    for (const std::string& path : {connection, index})
        QVERIFY(std::filesystem::path(path).filename().string().size() <= 255);
    const QString expected = folder == "xdg" ? data_ + "/Velmor/Connections" : root_.filePath(folder);
    QCOMPARE(QFileInfo(QFile::decodeName(connection.c_str())).absolutePath(), expected);
}

void TestEngineSideFiles::laterObjectsStartWithTheSettings() {
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("settings"));
    const QString data = dir.path() + "/chunks.txt";
    QVERIFY(WriteBytes(data, "abcde12345vwxyz"));
    EngineDefaults defaults;
    defaults.sideFiles = {false, (dir.path() + "/settings").toStdString()};
    SetEngineDefaults(defaults);

    File viewer;  // as the program's viewer: the settings handed over before Open
    viewer.SetStoreConnectionAndIndexingFilesInDataPath("False");
    viewer.SetSecondaryConnectionAndIndexingPath(defaults.sideFiles.secondaryPath);
    QVERIFY(viewer.Open(data.toStdString()));
    viewer.GetConnection().SetIsDelimited(false);
    viewer.GetConnection().SetIsFixed(true);
    viewer.GetConnection().SetRecordLength(5);
    QVERIFY(viewer.SaveConnection("", false));

    File counter;  // a second File made by a window or a script
    QVERIFY(counter.Open(data.toStdString()));
    counter.CopyConnectionTo(viewer.GetConnection());
    QVERIFY(viewer.GetConnection().IsFixed());
    QCOMPARE(viewer.GetConnection().RecordLength(), 5);

    Converter converter;
    converter.SetIsDelimited(true);
    converter.SetRecordDelimiterRepresentation("CHR$(10)");
    converter.SetFieldDelimiterRepresentation("CHR$(44)");
    const QString target = dir.path() + "/out.csv";
    QVERIFY(converter.Convert(data.toStdString(), target.toStdString()));
    QCOMPARE(ReadBytes(target), QByteArray("abcde\n12345\nvwxyz\n"));
    QVERIFY(!QFileInfo::exists(data + ".vdc"));
}

void TestEngineSideFiles::readOnlyCommandsWriteNothingBeside_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("indexIn");
    QTest::newRow("count") << QStringList{"count"} << "xdg";
    QTest::newRow("records") << QStringList{"records", "--from", "59990"} << "xdg";
    QTest::newRow("count in a folder")
        << QStringList{"count", "--connection-folder", "settings"} << "settings";
}

void TestEngineSideFiles::readOnlyCommandsWriteNothingBeside() {
    QFETCH(QStringList, args);
    QFETCH(QString, indexIn);
    QVERIFY2(!VelmorData().isEmpty(), "build the velmor-data target first");
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("a"));
    QVERIFY(QDir(dir.path()).mkdir("settings"));
    const QString a = dir.path() + "/a/orders.csv";
    QVERIFY(WriteBytes(a, IndexedCsv()));
    args.insert(1, a);
    for (QString& arg : args)
        if (arg == "settings") arg = dir.path() + "/settings";
    QCOMPARE(RunVelmorData(args).status, 0);
    QCOMPARE(FilesIn(dir.path() + "/a"), QStringList{"orders.csv"});
    QCOMPARE(FilesIn(Folder(dir.path(), indexIn, false)).filter(".vdi").size(), 1);
}

void TestEngineSideFiles::countingWidensADetectedLayout_data() {
    QTest::addColumn<bool>("saved");
    QTest::addColumn<bool>("forgotten");  // the saved connection removed after the count
    QTest::newRow("detected") << false << false;
    QTest::newRow("saved by the user") << true << false;
    QTest::newRow("counted while saved") << true << true;
}

// Record 1,829 holds six values where the others hold four. The index the
// count leaves (the file is large enough) keeps the number for later runs.
void TestEngineSideFiles::countingWidensADetectedLayout() {
    QFETCH(bool, saved);
    QFETCH(bool, forgotten);
    QVERIFY2(!VelmorData().isEmpty(), "build the velmor-data target first");
    QTemporaryDir dir;
    const QString path = dir.filePath("wide.csv");
    QByteArray text;
    for (int i = 1; i <= 200000; ++i)
        text += QByteArray::number(i) + (i == 1829 ? ",b,c,d,e1829,f\n" : ",b,c,d\n");
    QVERIFY(WriteBytes(path, text));
    if (saved)
        QCOMPARE(RunVelmorData({"connection", path, "--delimited", "--record-delimiter",
                                "CHR$(10)", "--field-delimiter", "CHR$(44)"})
                     .status,
                 0);
    QCOMPARE(RunVelmorData({"count", path}).out, QByteArray("200000\n"));
    QCOMPARE(FilesIn(cache_ + "/Velmor").filter(".vdi").size(), 1);
    if (forgotten) {
        QVERIFY(QDir(data_).removeRecursively());
        saved = false;
    }
    const CliResult fields = RunVelmorData({"fields", path});
    QCOMPARE(fields.out.count('\n'), saved ? 4 : 6);
    const CliResult find = RunVelmorData({"find", path, "Field6", "f"});
    const CliResult codes = RunVelmorData({"codes", path, "Field5"});
    QCOMPARE(find.status == 0, !saved);
    QCOMPARE(codes.status == 0, !saved);
    if (!saved) {
        QVERIFY2(fields.out.contains("Field6\t"), fields.out.constData());
        QCOMPARE(find.out, QByteArray("1829\n"));
        QVERIFY2(codes.out.contains("e1829"), codes.out.constData());
    }
}

QTEST_GUILESS_MAIN(TestEngineSideFiles)
#include "tst_engine_sidefiles.moc"
