#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "app/global.h"
#include "app/registryaccess.h"

using velmor::RegistryAccess;
namespace G = velmor::Global;

namespace {
const QString kShared = "HKEY_LOCAL_MACHINE\\Software\\Velmor\\Data\\";
const QString kOwn = "HKEY_LOCAL_MACHINE\\Software\\Velmor\\Data\\Velmor_Dravik\\";
}  // namespace

class TestGlobalRegistry : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void keysIgnoreCaseAndSeparators_data();
    void keysIgnoreCaseAndSeparators();
    void missingValueKeepsCallersValue();
    void valuesIgnoreCaseAndSurviveReopening();
    void defaultValueAndReservedNames();
    void unusualKeyTexts();
    void firstStartWithNoKeys();
    void garbageStoreReadsAsDefaults();
    void settingsRoundTrip();
    void switchesReadFromStoredText_data();
    void switchesReadFromStoredText();
    void handEditedValueWithCommas_data();
    void handEditedValueWithCommas();
    void executableName_data();
    void executableName();
    void shellOpenCommandIsQuoted();

private:
    QString Read(const QString& key, const QString& name);

    std::unique_ptr<QTemporaryDir> dir_;
    QString ini_;
};

void TestGlobalRegistry::init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    ini_ = dir_->filePath("registry.ini");
    qputenv("VELMOR_REGISTRY", QFile::encodeName(ini_));
    G::ResetState();
    G::SetProgramFolder(dir_->filePath("my programs"));
}

void TestGlobalRegistry::cleanup() {
    G::SetProgramFolder(QString());
    dir_.reset();
}

QString TestGlobalRegistry::Read(const QString& key, const QString& name) {
    RegistryAccess registry(ini_);
    QString value = "<missing>";
    registry.GetValue(key, name, value);
    return value;
}

void TestGlobalRegistry::keysIgnoreCaseAndSeparators_data() {
    QTest::addColumn<QString>("asked");
    QTest::newRow("same") << "HKEY_LOCAL_MACHINE\\Software\\Velmor";
    QTest::newRow("trailing separator") << "HKEY_LOCAL_MACHINE\\Software\\Velmor\\";
    QTest::newRow("other case") << "hkey_local_machine\\SOFTWARE\\velmor";
    QTest::newRow("doubled separator") << "HKEY_LOCAL_MACHINE\\\\Software\\Velmor";
}

void TestGlobalRegistry::keysIgnoreCaseAndSeparators() {
    QFETCH(QString, asked);
    RegistryAccess registry(ini_);
    registry.CreateKey("HKEY_LOCAL_MACHINE\\Software\\Velmor\\");
    QVERIFY(registry.KeyExists(asked));
    QVERIFY(registry.KeyExists("HKEY_LOCAL_MACHINE\\Software"));
    QVERIFY(!registry.KeyExists("HKEY_LOCAL_MACHINE\\Software\\Velmor\\Data"));
    QVERIFY(!registry.KeyExists(""));
    QVERIFY(!registry.KeyExists("\\"));
}

// A missing value, in a missing or in a created key, leaves the caller's.
void TestGlobalRegistry::missingValueKeepsCallersValue() {
    {
        RegistryAccess registry(ini_);
        QString value = "before";
        QVERIFY(!registry.GetValue(kShared, "LastPathOpened", value));
        QCOMPARE(value, QString("before"));
        registry.CreateKey("HKEY_LOCAL_MACHINE\\Software\\Empty");
        registry.CreateKey("HKEY_LOCAL_MACHINE\\Software\\EMPTY\\");  // no second copy
    }
    RegistryAccess reopened(ini_);
    QVERIFY(reopened.KeyExists("HKEY_LOCAL_MACHINE\\Software\\Empty\\"));
    QString value = "kept";
    QVERIFY(!reopened.GetValue("HKEY_LOCAL_MACHINE\\Software\\Empty", "", value));
    QCOMPARE(value, QString("kept"));
}

void TestGlobalRegistry::valuesIgnoreCaseAndSurviveReopening() {
    {
        RegistryAccess registry(ini_);
        registry.SetValue(kShared, "LastPathOpened", "/data/in");
        registry.SetValue("hkey_local_machine\\software\\velmor\\data", "LASTPATHOPENED",
                          "/data/out");
    }
    QCOMPARE(Read(kShared, "lastpathopened"), QString("/data/out"));
    QFile file(ini_);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    QCOMPARE(text.count("/data/"), 1);  // one value, not two differing in case
}

void TestGlobalRegistry::defaultValueAndReservedNames() {
    RegistryAccess registry(ini_);
    const QString key = "HKEY_CLASSES_ROOT\\prog\\Shell";
    registry.SetDefaultValue(key, "default");
    registry.SetValue(key, "@", "at");
    registry.SetValue(key, ".", "dot");
    registry.SetValue(key, "@variant", "@Variant(garbage)");
    QCOMPARE(Read(key, ""), QString("default"));
    QCOMPARE(Read(key, "@"), QString("at"));
    QCOMPARE(Read(key, "."), QString("dot"));
    QCOMPARE(Read(key, "@variant"), QString("@Variant(garbage)"));
}

void TestGlobalRegistry::unusualKeyTexts() {
    RegistryAccess registry(ini_);
    const QString slashKey = "HKEY_CLASSES_ROOT\\a/b\\c%2Fd\\with space=eq";
    registry.SetValue(slashKey, "name/with slash", "v1");
    QCOMPARE(Read(slashKey, "name/with slash"), QString("v1"));
    QVERIFY(registry.KeyExists(slashKey));
    QVERIFY(!registry.KeyExists("HKEY_CLASSES_ROOT\\a\\b"));
    QVERIFY(!registry.KeyExists("HKEY_CLASSES_ROOT\\a/b\\c/d"));
    registry.SetValue("HKEY_CLASSES_ROOT\\x", "v", QString::fromUtf8("\xc3\xa9\n\"line\""));
    QCOMPARE(Read("HKEY_CLASSES_ROOT\\x", "v"), QString::fromUtf8("\xc3\xa9\n\"line\""));
}

void TestGlobalRegistry::firstStartWithNoKeys() {
    G::LastPathOpened = "stale";
    G::PromptToSaveConfigurationChanges = true;
    G::CreateFormatFileDuringSave = true;
    G::LoadSettings();
    RegistryAccess registry(ini_);
    for (const char* key : {"HKEY_LOCAL_MACHINE\\Software", "HKEY_LOCAL_MACHINE\\Software\\Velmor",
                            "HKEY_LOCAL_MACHINE\\Software\\Velmor\\Data",
                            "HKEY_LOCAL_MACHINE\\Software\\Velmor\\Data\\Velmor_Dravik"}) {
        QVERIFY2(registry.KeyExists(key), key);
    }
    QCOMPARE(G::LastPathOpened, QString());
    QCOMPARE(G::LastDataConnectionName, QString());
    QCOMPARE(G::SecondaryConnectionAndIndexingPath, QString());
    QCOMPARE(G::TempFolderPath, QString());
    QVERIFY(!G::PromptToSaveConfigurationChanges);
    QVERIFY(!G::StoreConnectionAndIndexingFilesInDataPath);
    QVERIFY(!G::CreateFormatFileDuringSave);
}

void TestGlobalRegistry::garbageStoreReadsAsDefaults() {
    QFile file(ini_);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray("\x00\xff[[[\n=\n[HKEY_LOCAL_MACHINE\n\x01=\x02\n", 24));
    file.write(QByteArray(1 << 20, 'z'));
    file.close();
    G::TempFolderPath = "stale";
    G::LoadSettings();
    QCOMPARE(G::TempFolderPath, QString());
    QVERIFY(!G::CreateFormatFileDuringSave);
    G::TempFolderPath = "/t";
    G::SaveSettings();
    G::ResetState();
    G::LoadSettings();
    QCOMPARE(G::TempFolderPath, QString("/t"));
}

void TestGlobalRegistry::settingsRoundTrip() {
    G::LastPathOpened = "/home/u/data files";
    G::LastDataConnectionName = "CSV";
    G::SecondaryConnectionAndIndexingPath = "$APPPATH/index";
    G::StoreConnectionAndIndexingFilesInDataPath = true;
    G::PromptToSaveConfigurationChanges = false;
    G::TempFolderPath = "/tmp/velmor";
    G::CreateFormatFileDuringSave = true;
    G::SaveSettings();

    QCOMPARE(Read(kShared, "LastPathOpened"), QString("/home/u/data files"));
    QCOMPARE(Read(kShared, "LastDataConnectionName"), QString("CSV"));
    QCOMPARE(Read(kOwn, "StoreConnectionAndIndexingFilesInDataPath"), QString("Yes"));
    QCOMPARE(Read(kOwn, "PromptToSaveConfigurationChanges"), QString("No"));
    QCOMPARE(Read(kOwn, "CreateFormatFileDuringSave"), QString("Yes"));
    QCOMPARE(Read(kOwn, "SecondaryConnectionAndIndexingPath"), QString("$APPPATH/index"));

    G::ResetState();
    G::LoadSettings();
    QCOMPARE(G::LastPathOpened, QString("/home/u/data files"));
    QCOMPARE(G::LastDataConnectionName, QString("CSV"));
    QCOMPARE(G::SecondaryConnectionAndIndexingPath, QString("$APPPATH/index"));
    QCOMPARE(G::TempFolderPath, QString("/tmp/velmor"));
    QVERIFY(G::StoreConnectionAndIndexingFilesInDataPath);
    QVERIFY(!G::PromptToSaveConfigurationChanges);
    QVERIFY(G::CreateFormatFileDuringSave);
}

void TestGlobalRegistry::switchesReadFromStoredText_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("value");
    QTest::newRow("Yes") << "Yes" << true;
    QTest::newRow("True") << "True" << true;
    QTest::newRow("yes lower") << "yes" << true;
    QTest::newRow("No") << "No" << false;
    QTest::newRow("False") << "False" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("garbage") << "maybe" << false;
}

void TestGlobalRegistry::switchesReadFromStoredText() {
    QFETCH(QString, stored);
    QFETCH(bool, value);
    {
        RegistryAccess registry(ini_);
        registry.SetValue(kOwn, "PromptToSaveConfigurationChanges", stored);
        registry.SetValue(kOwn, "CreateFormatFileDuringSave", stored);
    }
    G::LoadSettings();
    QCOMPARE(G::PromptToSaveConfigurationChanges, value);
    QCOMPARE(G::CreateFormatFileDuringSave, value);
}

void TestGlobalRegistry::handEditedValueWithCommas_data() {
    QTest::addColumn<QByteArray>("written");
    QTest::addColumn<QString>("read");
    QTest::newRow("comma") << QByteArray("/home/u/a,b") << "/home/u/a,b";
    QTest::newRow("blanks around commas") << QByteArray("/h/a, b ,c") << "/h/a, b ,c";
    QTest::newRow("trailing comma") << QByteArray("/h/a,") << "/h/a,";
}

void TestGlobalRegistry::handEditedValueWithCommas() {
    QFETCH(QByteArray, written);
    G::LastPathOpened = "/placeholder";
    G::SaveSettings();
    QFile file(ini_);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QByteArray text = file.readAll();
    file.close();
    QVERIFY(text.contains("LastPathOpened=/placeholder"));
    text.replace("LastPathOpened=/placeholder", "LastPathOpened=" + written);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
    file.close();
    G::ResetState();
    G::LoadSettings();
    QTEST(G::LastPathOpened, "read");
    G::SaveSettings();  // and it is written back as the same text
    G::ResetState();
    G::LoadSettings();
    QTEST(G::LastPathOpened, "read");
}

void TestGlobalRegistry::executableName_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("name");
    QTest::newRow("plain") << "/usr/bin/velmor_dravik"
                           << "velmor_dravik";
    QTest::newRow("dots belong to the name") << "/opt/v/velmor_dravik-1.2"
                                             << "velmor_dravik-1.2";
    QTest::newRow("unknown") << ""
                             << "Velmor_Dravik";
}

void TestGlobalRegistry::executableName() {
    QFETCH(QString, file);
    QTEST(G::ExecutableNameOf(file), "name");
}

void TestGlobalRegistry::shellOpenCommandIsQuoted() {
    G::RegisterShellOpenCommand();
    const QString base = "HKEY_CLASSES_ROOT\\" + G::ExecutableName();
    RegistryAccess registry(ini_);
    QVERIFY(registry.KeyExists(base));
    QVERIFY(registry.KeyExists(base + "\\Shell\\Open"));
    QCOMPARE(G::ExecutableName(), QString("tst_global_registry"));
    QCOMPARE(Read(base + "\\Shell\\Open\\Command\\", ""),
             "\"" + dir_->filePath("my programs") + "/tst_global_registry\" \"%1\"");
}

QTEST_GUILESS_MAIN(TestGlobalRegistry)
#include "tst_global_registry.moc"
