// The settings store (an INI file posing as the registry), the settings kept
// in it, the shell's open command, and the question seam's file-dialog
// filters in the program's "Name (pattern)|pattern" form.
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "app/global.h"
#include "app/registryaccess.h"
#include "app/userprompt.h"

using velmor::RegistryAccess;
namespace G = velmor::Global;

namespace {
const QString kShared = "HKEY_LOCAL_MACHINE\\Software\\Velmor\\Data\\";
const QString kOwn = kShared + "Velmor_Dravik\\";
}  // namespace

class TestGlobalRegistry : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> dir_;
    QString ini_;

    QString Read(const QString& key, const QString& name) {
        QString value = "<missing>";
        RegistryAccess(ini_).GetValue(key, name, value);
        return value;
    }
    QByteArray IniText() {
        QFile file(ini_);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    void WriteIni(const QByteArray& text) {
        QFile file(ini_);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
    }
    void Reload() {
        G::ResetState();
        G::LoadSettings();
    }

private slots:
    void init() {
        dir_ = std::make_unique<QTemporaryDir>();
        ini_ = dir_->filePath("registry.ini");
        qputenv("VELMOR_REGISTRY", QFile::encodeName(ini_));
        G::ResetState();
        G::SetProgramFolder(dir_->filePath("my programs"));
    }
    void cleanup() {
        G::SetProgramFolder(QString());
        dir_.reset();
    }

    // Keys ignore case and doubled or trailing separators; a missing value
    // leaves the caller's.
    void keys() {
        {
            RegistryAccess registry(ini_);
            registry.CreateKey("HKEY_LOCAL_MACHINE\\Software\\Velmor\\");
            registry.CreateKey("HKEY_LOCAL_MACHINE\\Software\\EMPTY\\");
            registry.CreateKey("HKEY_LOCAL_MACHINE\\Software\\Empty");  // no second copy
            QString value = "before";
            QVERIFY(!registry.GetValue(kShared, "LastPathOpened", value));
            QCOMPARE(value, QString("before"));
        }
        RegistryAccess registry(ini_);
        for (const char* asked :
             {"HKEY_LOCAL_MACHINE\\Software\\Velmor", "HKEY_LOCAL_MACHINE\\Software",
              "hkey_local_machine\\SOFTWARE\\velmor\\", "HKEY_LOCAL_MACHINE\\\\Software\\Velmor"})
            QVERIFY2(registry.KeyExists(asked), asked);
        for (const char* asked : {"HKEY_LOCAL_MACHINE\\Software\\Velmor\\Data", "", "\\"})
            QVERIFY2(!registry.KeyExists(asked), asked);
        QCOMPARE(IniText().toLower().count("empty"), 1);
        QString value = "kept";
        QVERIFY(!registry.GetValue("HKEY_LOCAL_MACHINE\\Software\\Empty", "", value));
        QCOMPARE(value, QString("kept"));
    }

    void values() {
        {
            RegistryAccess registry(ini_);
            registry.SetValue(kShared, "LastPathOpened", "/data/in");
            registry.SetValue("hkey_local_machine\\software\\velmor\\data", "LASTPATHOPENED",
                              "/data/out");
            const QString key = "HKEY_CLASSES_ROOT\\prog\\Shell";
            registry.SetDefaultValue(key, "default");
            registry.SetValue(key, "@", "at");
            registry.SetValue(key, ".", "dot");
            registry.SetValue(key, "@variant", "@Variant(garbage)");
            registry.SetValue("HKEY_CLASSES_ROOT\\a/b\\c%2Fd\\with space=eq", "name/with slash",
                              "v1");
            registry.SetValue("HKEY_CLASSES_ROOT\\x", "v", "\u00e9\n\"line\"");
        }
        QCOMPARE(Read(kShared, "lastpathopened"), QString("/data/out"));
        QCOMPARE(IniText().count("/data/"), 1);  // one value, not two differing in case
        const QString key = "HKEY_CLASSES_ROOT\\prog\\Shell";
        QCOMPARE(Read(key, "") + Read(key, "@") + Read(key, ".") + Read(key, "@variant"),
                 QString("defaultatdot@Variant(garbage)"));
        QCOMPARE(Read("HKEY_CLASSES_ROOT\\a/b\\c%2Fd\\with space=eq", "name/with slash"),
                 QString("v1"));
        RegistryAccess registry(ini_);
        QVERIFY(!registry.KeyExists("HKEY_CLASSES_ROOT\\a\\b"));
        QVERIFY(!registry.KeyExists("HKEY_CLASSES_ROOT\\a/b\\c/d"));
        QCOMPARE(Read("HKEY_CLASSES_ROOT\\x", "v"), QString("\u00e9\n\"line\""));
    }

    // The first start creates the keys; a damaged store reads as defaults
    // and is written again.
    void firstStartAndDamagedStore() {
        for (const bool damaged : {false, true}) {
            if (damaged)
                WriteIni(QByteArray("\x00\xff[[[\n=\n[HKEY_LOCAL_MACHINE\n\x01=\x02\n", 24) +
                         QByteArray(1 << 20, 'z'));
            G::LastPathOpened = G::TempFolderPath = "stale";
            G::PromptToSaveConfigurationChanges = G::CreateFormatFileDuringSave = true;
            G::LoadSettings();
            QCOMPARE(G::LastPathOpened + G::LastDataConnectionName +
                         G::SecondaryConnectionAndIndexingPath + G::TempFolderPath,
                     QString());
            QVERIFY(!G::PromptToSaveConfigurationChanges &&
                    !G::StoreConnectionAndIndexingFilesInDataPath &&
                    !G::CreateFormatFileDuringSave);
        }
        QVERIFY(RegistryAccess(ini_).KeyExists(kOwn));
        G::TempFolderPath = "/t";
        G::SaveSettings();
        Reload();
        QCOMPARE(G::TempFolderPath, QString("/t"));
    }

    void settingsRoundTrip() {
        G::LastPathOpened = "/home/u/data files";
        G::LastDataConnectionName = "CSV";
        G::SecondaryConnectionAndIndexingPath = "$APPPATH/index";
        G::StoreConnectionAndIndexingFilesInDataPath = true;
        G::PromptToSaveConfigurationChanges = false;
        G::TempFolderPath = "/tmp/velmor";
        G::CreateFormatFileDuringSave = true;
        G::SaveSettings();
        const QStringList stored{Read(kShared, "LastPathOpened"),
                                 Read(kShared, "LastDataConnectionName"),
                                 Read(kOwn, "StoreConnectionAndIndexingFilesInDataPath"),
                                 Read(kOwn, "PromptToSaveConfigurationChanges"),
                                 Read(kOwn, "CreateFormatFileDuringSave"),
                                 Read(kOwn, "SecondaryConnectionAndIndexingPath"),
                                 Read(kOwn, "TempFolderPath")};
        QCOMPARE(stored, (QStringList{"/home/u/data files", "CSV", "Yes", "No", "Yes",
                                      "$APPPATH/index", "/tmp/velmor"}));
        Reload();
        QCOMPARE((QStringList{G::LastPathOpened, G::LastDataConnectionName,
                              G::SecondaryConnectionAndIndexingPath, G::TempFolderPath}),
                 (QStringList{"/home/u/data files", "CSV", "$APPPATH/index", "/tmp/velmor"}));
        QVERIFY(G::StoreConnectionAndIndexingFilesInDataPath &&
                !G::PromptToSaveConfigurationChanges && G::CreateFormatFileDuringSave);
    }

    void switchesReadFromStoredText() {
        const std::pair<const char*, bool> rows[] = {{"Yes", true}, {"True", true},
                                                     {"yes", true}, {"No", false},
                                                     {"", false},   {"maybe", false}};
        for (const auto& [stored, value] : rows) {
            {
                RegistryAccess registry(ini_);
                registry.SetValue(kOwn, "PromptToSaveConfigurationChanges", stored);
                registry.SetValue(kOwn, "CreateFormatFileDuringSave", stored);
            }
            G::LoadSettings();
            QVERIFY2(G::PromptToSaveConfigurationChanges == value, stored);
            QVERIFY2(G::CreateFormatFileDuringSave == value, stored);
        }
    }

    // A hand-edited value with commas is one text, read and written back.
    void handEditedValueWithCommas() {
        for (const QByteArray written : {"/h/a, b ,c", "/h/a,"}) {
            G::LastPathOpened = "/placeholder";
            G::SaveSettings();
            QByteArray text = IniText();
            QVERIFY(text.contains("LastPathOpened=/placeholder"));
            WriteIni(text.replace("LastPathOpened=/placeholder", "LastPathOpened=" + written));
            Reload();
            QCOMPARE(G::LastPathOpened, QString(written));
            G::SaveSettings();
            Reload();
            QCOMPARE(G::LastPathOpened, QString(written));
        }
    }

    void shellOpenCommandIsQuoted() {
        QCOMPARE(G::ExecutableNameOf("/opt/v/velmor_dravik-1.2"), QString("velmor_dravik-1.2"));
        QCOMPARE(G::ExecutableNameOf(QString()), QString("Velmor_Dravik"));
        G::RegisterShellOpenCommand();
        const QString base = "HKEY_CLASSES_ROOT\\" + G::ExecutableName();
        QCOMPARE(G::ExecutableName(), QString("tst_global_registry"));
        QVERIFY(RegistryAccess(ini_).KeyExists(base + "\\Shell\\Open"));
        QCOMPARE(Read(base + "\\Shell\\Open\\Command\\", ""),
                 "\"" + dir_->filePath("my programs") + "/tst_global_registry\" \"%1\"");
    }

    void qtNameFilters() {
        const std::pair<QString, QStringList> rows[] = {
            {"All Files (*.*)|*.*|CSV (*.csv)|*.csv|Index Files (*.*index)|*.*index",
             {"All Files (*)", "CSV (*.csv)", "Index Files (*.*index)"}},
            {"Text|*.txt;*.asc", {"Text (*.txt *.asc)"}},
            {"A|*.a|B", {"A (*.a)"}},  // the odd part is dropped
            {"", {}}};
        for (const auto& [filter, qt] : rows) QCOMPARE(velmor::QtNameFilters(filter), qt);
    }
};

QTEST_GUILESS_MAIN(TestGlobalRegistry)
#include "tst_global_registry.moc"
