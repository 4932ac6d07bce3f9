#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "support/unprivileged.h"

#include "app/global.h"
#include "data/filetypes.h"

using velmor::ConnectionProfile;
using velmor::ProfileList;
using velmor::UserPrompt;
namespace G = velmor::Global;

namespace {

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// One line per profile naming every field that is not blank, so that a
// table row states the whole result.
QString Describe(const ProfileList& list) {
    QStringList lines;
    for (const ConnectionProfile& p : list) {
        QString line = '[' + p.Name + ']';
        const auto add = [&line](const char* key, const QString& value) {
            if (!value.isEmpty() && value != QLatin1String("0"))
                line += ' ' + QLatin1String(key) + '=' + value;
        };
        add("ext", p.Extensions);
        add("fixed", QString::number(p.IsFixed));
        add("delim", QString::number(p.IsDelimited));
        add("rl", QString::number(p.RecordLength));
        add("bo", QString::number(p.ByteOffset));
        add("names", QString::number(p.FirstRecordContainsFieldNames));
        add("rd", p.RecordDelimiterRepresentation);
        add("fd", p.FieldDelimiterRepresentation);
        add("tq", p.TextQualifierRepresentation);
        lines << line;
    }
    return lines.join('\n');
}

QStringList Names(const ProfileList& list) {
    QStringList names;
    for (const ConnectionProfile& p : list) names << p.Name;
    return names;
}

}  // namespace

class TestGlobalProfiles : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void noFileGivesBuiltIns();
    void loadOddFiles_data();
    void loadOddFiles();
    void fileWithoutProfilesIsKept_data();
    void fileWithoutProfilesIsKept();
    void veryLongLineIsIgnored();
    void delimitedProfileDropsRecordLength();
    void saveSortsByCharacterCode();
    void valueWithLineBreakStaysOneLine();
    void profileFileLocation_data();
    void profileFileLocation();
    void packageFoldersAreNeverWritten_data();
    void packageFoldersAreNeverWritten();
    void saveOverAFolderFailsCleanly();
    void unreadableFileIsNeverOverwritten();
    void readOnlyFileIsKept();
    void dialogFilterPreselectsLastConnection_data();
    void dialogFilterPreselectsLastConnection();
    void recogniseFileType_data();
    void recogniseFileType();
    void registerFileTypes();

private:
    QString ProfilePath() const { return dir_->filePath("UserConnections.txt"); }
    std::unique_ptr<QTemporaryDir> dir_;
};

void TestGlobalProfiles::init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    G::ResetState();
    G::SetProgramFolder(dir_->path());
    G::SetUserConfigFolder(dir_->filePath("config"));
}

void TestGlobalProfiles::cleanup() {
    G::SetProgramFolder(QString());
    G::SetUserConfigFolder(QString());
    dir_.reset();
}

void TestGlobalProfiles::noFileGivesBuiltIns() {
    QCOMPARE(G::ProfileFilePath(), ProfilePath());
    G::LoadConnectionProfiles();
    QCOMPARE(Names(G::Connections),
             QStringList({"Flat Files", "CSV", "Tab Delimited", "Index Files", "Query Files"}));
    QCOMPARE(Describe(G::ExtraFileTypes), QString("[DBase III] ext=*.dbf\n[All Files] ext=*.*"));
    QCOMPARE(Names(G::AllFileTypes), QStringList({"All Files", "CSV", "DBase III", "Flat Files",
                                                  "Index Files", "Query Files", "Tab Delimited"}));
    QVERIFY(!QFile::exists(ProfilePath()));  // loading never writes
    QVERIFY(G::SaveConnectionProfiles());
    QCOMPARE(ReadFile(ProfilePath()),
             ReadFile(QStringLiteral(VELMOR_TEST_DATA "/app/UserConnections.builtins.txt")));
    QCOMPARE(QDir(dir_->path()).entryList(QDir::Files), QStringList({"UserConnections.txt"}));

    const QString before = Describe(G::Connections);
    G::ResetState();
    G::LoadConnectionProfiles();
    QCOMPARE(Describe(G::Connections), before);
}

void TestGlobalProfiles::loadOddFiles_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("profiles");
    const auto row = [](const char* tag, const QByteArray& file, const QString& profiles) {
        QTest::newRow(tag) << file << profiles;
    };
    row("lower-case begin", "begin CSV\r\nEnd\r\n", "[CSV]");
    row("two spaces after begin", "Begin  X\r\n", "[ X]");
    row("begin without name starts nothing", "Begin\r\nBEGIN \r\n", "[]");
    row("keys with spaces and tabs",
        "Begin F\r\nRecord Length = 40\r\n\tbyte\toffset\t=\t \"8\"\r\n", "[F] rl=40 bo=8");
    row("short key RL", "Begin F\r\n  rl=12\r\n", "[F] rl=12");
    row("extensions keep case", "Begin E\r\nextensions = \"*.CsV;*.Txt\" \r\n",
        "[E] ext=*.CsV;*.Txt");
    row("representations kept verbatim",
        "Begin D\r\nIsDelimited=yes\r\nFieldDelimiterRepresentation=  CHR$(59)  "
        "\r\nTextQualifierRepresentation=\"x\"\r\nRecordDelimiterRepresentation=a=b",
        "[D] delim=1 rd=a=b fd=CHR$(59) tq=\"x\"");
    row("key lines before any begin", "RecordLength=5\r\nBegin A\r\nEnd\r\n", "[A]");
    row("no End", "Begin A\r\n  IsFixed=True\r\nBegin B\r\n  RL=3", "[A] fixed=1\n[B] rl=3");
    row("not a number reads as 0 and the load goes on",
        "Begin A\r\nByteOffset=abc\r\nRecordLength=\r\nEnd\r\nBegin B\r\nRL=7\r\n",
        "[A]\n[B] rl=7");
    row("numbers out of range are clamped",
        "Begin A\r\nRL=99999999999\r\nByteOffset=-99999999999\r\n",
        "[A] rl=2147483647 bo=-2147483648");
    row("rounding of a number box", "Begin A\r\nRL=2.5\r\nByteOffset=3.5 bytes\r\n",
        "[A] rl=2 bo=4");
    row("garbage and binary lines",
        QByteArray("Begin A\r\n\x01\x02\xff\xfe=\x00zz\r\n=\r\n====\r\n  RL=9\r\n", 36),
        "[A] rl=9");
    row("LF and CR line ends", "Begin A\nRL=1\rBegin B\n\nIsFixed=True\n", "[A] rl=1\n[B] fixed=1");
    row("Latin-1 name", "Begin Caf\xe9\r\n", QString::fromUtf8("[Caf\xc3\xa9]"));
    row("UTF-8 name", "Begin Caf\xc3\xa9\r\n", QString::fromUtf8("[Caf\xc3\xa9]"));
    row("each line in its own encoding", "Begin Caf\xc3\xa9\r\nEnd\r\nBegin Gar\xe7on \x80\r\n",
        QString::fromUtf8("[Caf\xc3\xa9]\n[Gar\xc3\xa7on \xe2\x82\xac]"));
    row("UTF-16 with a byte-order mark",
        QByteArray("\xff\xfe"
                   "B\0e\0g\0i\0n\0 \0\xe9\0\r\0\n\0R\0L\0=\0"
                   "2\0",
                   28),
        QString::fromUtf8("[\xc3\xa9] rl=2"));
    row("UTF-8 byte-order mark",
        "\xef\xbb\xbf"
        "Begin A\r\n",
        "[A]");
    row("empty file", QByteArray(), QString());
}

void TestGlobalProfiles::loadOddFiles() {
    QFETCH(QByteArray, file);
    QVERIFY(WriteFile(ProfilePath(), file));
    G::LoadConnectionProfiles();
    QTEST(Describe(G::Connections), "profiles");
    QCOMPARE(G::ExtraFileTypes.size(), std::size_t(2));
    QCOMPARE(G::AllFileTypes.size(), G::Connections.size() + 2);
    // Saved and read again, every profile keeps its characters.
    QVERIFY(G::SaveConnectionProfiles());
    G::ResetState();
    G::LoadConnectionProfiles();
    QTEST(Describe(G::Connections), "profiles");
}

void TestGlobalProfiles::fileWithoutProfilesIsKept_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("changed");
    QByteArray noise;
    quint32 seed = 12345;
    for (int i = 0; i < 3000; ++i) {
        seed = seed * 1103515245u + 12345u;
        noise += static_cast<char>(seed >> 24);
    }
    const QByteArray keysOnly("  ByteOffset=0\r\n  IsFixed=True\r\nEnd\r\n");
    const QByteArray utf16NoMark("B\0e\0g\0i\0n\0 \0X\0\r\0\n\0", 18);
    QTest::newRow("random bytes") << noise << false;
    QTest::newRow("key lines without Begin") << keysOnly << false;
    QTest::newRow("UTF-16 without a mark") << utf16NoMark << false;
    QTest::newRow("changed profiles keep it aside") << keysOnly << true;
}

void TestGlobalProfiles::fileWithoutProfilesIsKept() {
    QFETCH(QByteArray, file);
    QFETCH(bool, changed);
    QVERIFY(WriteFile(ProfilePath(), file));
    G::LoadConnectionProfiles();
    QCOMPARE(Names(G::Connections), Names(G::BuiltInProfiles()));
    if (changed) G::Connections[0].Name = "Mine";
    QCOMPARE(G::SaveConnectionProfiles(), changed);
    const QString backup = ProfilePath() + ".bak";
    if (!changed) {
        QCOMPARE(ReadFile(ProfilePath()), file);
        QVERIFY(!QFile::exists(backup));
        return;
    }
    QCOMPARE(ReadFile(backup), file);
    G::ResetState();
    G::LoadConnectionProfiles();
    QVERIFY(Names(G::Connections).contains("Mine"));
}

void TestGlobalProfiles::veryLongLineIsIgnored() {
    QByteArray text = "Begin A\r\n  Extensions=" + QByteArray(4 << 20, 'x') + "\r\n";
    text += QByteArray(4 << 20, '=') + "\r\nBegin B\r\n  RL=3\r\n";
    QVERIFY(WriteFile(ProfilePath(), text));
    G::LoadConnectionProfiles();
    QCOMPARE(Names(G::Connections), QStringList({"A", "B"}));
    QCOMPARE(G::Connections[0].Extensions.size(), qsizetype(4 << 20));
    QCOMPARE(G::Connections[1].RecordLength, 3);
}

void TestGlobalProfiles::delimitedProfileDropsRecordLength() {
    ConnectionProfile p;
    p.Name = "Pipe";
    p.Extensions = "*.pip";
    p.IsDelimited = true;
    p.IsFixed = true;
    p.RecordLength = 40;
    p.ByteOffset = 3;
    p.RecordDelimiterRepresentation = "CHR$(10)";
    p.FieldDelimiterRepresentation = "CHR$(124)";
    ConnectionProfile f;
    f.Name = "Fixed";
    f.RecordLength = 12;
    f.FieldDelimiterRepresentation = "CHR$(44)";  // not stored for a fixed profile
    G::Connections = {p, f};
    QVERIFY(G::SaveConnectionProfiles());
    G::ResetState();
    G::LoadConnectionProfiles();
    QCOMPARE(Describe(G::Connections),
             QString("[Fixed] rl=12\n[Pipe] ext=*.pip delim=1 bo=3 rd=CHR$(10) fd=CHR$(124)"));
}

void TestGlobalProfiles::saveSortsByCharacterCode() {
    G::Connections.resize(4);
    G::Connections[0].Name = "zeta";
    G::Connections[1].Name = "Zeta";
    G::Connections[2].Name = "alpha";
    G::Connections[3].Name = "Beta";
    QVERIFY(G::SaveConnectionProfiles());
    QCOMPARE(Names(G::Connections), QStringList({"Beta", "Zeta", "alpha", "zeta"}));
    const QByteArray text = ReadFile(ProfilePath());
    QVERIFY(text.indexOf("Begin Beta") < text.indexOf("Begin Zeta"));
    QVERIFY(text.indexOf("Begin Zeta") < text.indexOf("Begin alpha"));
}

void TestGlobalProfiles::valueWithLineBreakStaysOneLine() {
    G::Connections.resize(1);
    G::Connections[0].Name = "A\r\nBegin Evil";
    G::Connections[0].Extensions = "*.a\n  RL=99";
    QVERIFY(G::SaveConnectionProfiles());
    G::ResetState();
    G::LoadConnectionProfiles();
    QCOMPARE(Names(G::Connections), QStringList({"A  Begin Evil"}));
    QCOMPARE(G::Connections[0].RecordLength, 0);
}

void TestGlobalProfiles::profileFileLocation_data() {
    QTest::addColumn<QString>("programFolder");
    QTest::addColumn<bool>("userFile");
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<QStringList>("loaded");
    QTest::addColumn<bool>("savedForUser");
    QTest::newRow("program folder") << "prog" << false << false << QStringList{"Program"} << false;
    QTest::newRow("the user's own file wins")
        << "prog" << true << false << QStringList{"User"} << true;
    QTest::newRow("installed program") << "prog" << false << true << QStringList{"Program"} << true;
    QTest::newRow("missing program folder")
        << "no/such/folder" << false << false << Names(G::BuiltInProfiles()) << true;
}

void TestGlobalProfiles::profileFileLocation() {
    QFETCH(QString, programFolder);
    QFETCH(bool, userFile);
    QFETCH(bool, readOnly);
    QFETCH(bool, savedForUser);
    if (readOnly) VELMOR_UNPRIVILEGED(QByteArray("profileFileLocation:") + QTest::currentDataTag());
    const QString program = dir_->filePath(programFolder);
    const QString user = dir_->filePath("config/UserConnections.txt");
    QDir(dir_->path()).mkpath("prog");
    QVERIFY(WriteFile(dir_->filePath("prog/UserConnections.txt"), "Begin Program\r\nEnd\r\n"));
    if (userFile) {
        QDir(dir_->path()).mkpath("config");
        QVERIFY(WriteFile(user, "Begin User\r\nEnd\r\n"));
    }
    G::SetProgramFolder(program);
    if (readOnly) QVERIFY(QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner));
    G::LoadConnectionProfiles();
    QTEST(Names(G::Connections), "loaded");
    G::Connections.resize(1);
    G::Connections[0].Name = "Saved";
    const bool saved = G::SaveConnectionProfiles();
    QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QVERIFY(saved);
    QCOMPARE(ReadFile(user).startsWith("Begin Saved"), savedForUser);
    QCOMPARE(ReadFile(program + "/UserConnections.txt").startsWith("Begin Saved"), !savedForUser);
    QVERIFY(!QFile::exists(dir_->filePath("no")));
    G::ResetState();
    G::LoadConnectionProfiles();
    QCOMPARE(Names(G::Connections), QStringList{"Saved"});
}

// The package manager owns the installed program's folder: even root saves
// the profiles in the configuration folder there.
void TestGlobalProfiles::packageFoldersAreNeverWritten_data() {
    QTest::addColumn<QString>("programFolder");
    QTest::newRow("/usr/bin") << "/usr/bin";
    QTest::newRow("/opt") << "/opt";
    QTest::newRow("a link to /usr/bin") << "LINK";
}

void TestGlobalProfiles::packageFoldersAreNeverWritten() {
    QFETCH(QString, programFolder);
    if (programFolder == "LINK") {
        programFolder = dir_->filePath("bin");
        QVERIFY(QFile::link("/usr/bin", programFolder));
    }
    if (!QFileInfo(programFolder).isDir()) QSKIP("no such folder here");
    G::SetProgramFolder(programFolder);
    QCOMPARE(G::ProfileSavePath(), dir_->filePath("config/UserConnections.txt"));
}

void TestGlobalProfiles::saveOverAFolderFailsCleanly() {
    QVERIFY(QDir(dir_->path()).mkpath("UserConnections.txt/inside"));
    G::LoadConnectionProfiles();
    QVERIFY(!G::SaveConnectionProfiles());
    QVERIFY(QFileInfo(dir_->filePath("UserConnections.txt/inside")).isDir());
    QCOMPARE(QDir(dir_->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList({"UserConnections.txt"}));
}

void TestGlobalProfiles::unreadableFileIsNeverOverwritten() {
    VELMOR_UNPRIVILEGED("unreadableFileIsNeverOverwritten");
    QVERIFY(WriteFile(ProfilePath(), "Begin Mine\r\nEnd\r\n"));
    QVERIFY(QFile::setPermissions(ProfilePath(), QFile::WriteOwner));
    G::LoadConnectionProfiles();
    QCOMPARE(G::Connections.size(), std::size_t(5));
    QVERIFY(!G::SaveConnectionProfiles());
    QVERIFY(QFile::setPermissions(ProfilePath(), QFile::ReadOwner | QFile::WriteOwner));
    QCOMPARE(ReadFile(ProfilePath()), QByteArray("Begin Mine\r\nEnd\r\n"));
    G::ResetState();
    G::Connections = G::BuiltInProfiles();
    QVERIFY(G::SaveConnectionProfiles());  // a deliberate new start may write again
}

// No write bit: refused even for the superuser, and nothing left beside it.
void TestGlobalProfiles::readOnlyFileIsKept() {
    G::LoadConnectionProfiles();
    QVERIFY(G::SaveConnectionProfiles());
    const QByteArray before = ReadFile(ProfilePath());
    QVERIFY(QFile::setPermissions(ProfilePath(), QFile::ReadOwner | QFile::ReadGroup));
    G::Connections.pop_back();
    QVERIFY(!G::SaveConnectionProfiles());
    QCOMPARE(ReadFile(ProfilePath()), before);
    QCOMPARE(QDir(dir_->path()).entryList(QDir::Files), QStringList({"UserConnections.txt"}));
}

void TestGlobalProfiles::dialogFilterPreselectsLastConnection_data() {
    QTest::addColumn<QString>("last");
    QTest::addColumn<int>("filterIndex");
    QTest::addColumn<QString>("lastAfter");
    QTest::newRow("none yet: the first") << "" << 1 << "All Files";
    QTest::newRow("CSV") << "CSV" << 2 << "CSV";
    QTest::newRow("Tab Delimited") << "Tab Delimited" << 7 << "Tab Delimited";
    QTest::newRow("case matters") << "csv" << 9 << "csv";
    QTest::newRow("unknown keeps index") << "Gone" << 9 << "Gone";
}

void TestGlobalProfiles::dialogFilterPreselectsLastConnection() {
    QFETCH(QString, last);
    G::LoadConnectionProfiles();
    G::LastDataConnectionName = last;
    UserPrompt::FileRequest dialog{"Open", "/data", "old|*.x", 9, "old.x"};
    G::SetDialogFilter(dialog);
    QCOMPARE(dialog.filter, QString("All Files (*.*)|*.*|CSV (*.csv)|*.csv|DBase III (*.dbf)|*.dbf|"
                                    "Flat Files (*.dat)|*.dat|Index Files (*.*index)|*.*index|"
                                    "Query Files (*.query)|*.query|Tab Delimited (*.tab)|*.tab"));
    QTEST(dialog.filterIndex, "filterIndex");
    QTEST(G::LastDataConnectionName, "lastAfter");
    QCOMPARE(dialog.fileName, QString());
    QCOMPARE(dialog.folder, QString("/data"));
}

void TestGlobalProfiles::recogniseFileType_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("profile");
    const char* const rows[][3] = {{"csv", "/d/in.csv", "CSV"},
                                   {"upper case", "/d/IN.DAT", "Flat Files"},
                                   {"containment", "/d/x.index", "Index Files"},
                                   {"part of a pattern", "/d/x.c", "CSV"},
                                   {"no extension matches the first", "/d.csv/noext", "All Files"},
                                   {"unknown keeps the last", "/d/x.unknown", "before"}};
    for (const auto& r : rows) QTest::newRow(r[0]) << QString(r[1]) << QString(r[2]);
}

void TestGlobalProfiles::recogniseFileType() {
    QFETCH(QString, path);
    G::LoadConnectionProfiles();
    G::LastDataConnectionName = "before";
    G::RecogniseFileType(path);
    QTEST(G::LastDataConnectionName, "profile");
}

void TestGlobalProfiles::registerFileTypes() {
    G::LoadConnectionProfiles();
    velmor::data::FileTypes types;
    G::RegisterFileTypes(types);
    QCOMPARE(types.Count(), 7);
    QCOMPARE(types.Item(1)->Name(), std::string("All Files"));
    const velmor::data::Connection* csv = types.Item(2);
    QCOMPARE(csv->Name(), std::string("CSV"));
    QCOMPARE(csv->Extensions(), std::string("*.csv"));
    QVERIFY(csv->IsDelimited());
    QVERIFY(!csv->IsFixed());
    QVERIFY(csv->FirstRecordContainsFieldNames());
    QCOMPARE(csv->RecordDelimiterRepresentation(), std::string("CHR$(13) & CHR$(10)"));
    QCOMPARE(csv->FieldDelimiterRepresentation(), std::string("CHR$(44)"));
    QCOMPARE(csv->TextQualifierRepresentation(), std::string("CHR$(34)"));
    QVERIFY(types.Item(4)->IsFixed());
}

QTEST_GUILESS_MAIN(TestGlobalProfiles)
#include "tst_global_profiles.moc"
