// The user's connection profiles (UserConnections.txt): reading odd files,
// saving, where the file lives, refusals, and what the dialogs and the
// engine's file types make of the profiles.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "app/global.h"
#include "data/filetypes.h"
#include "support/unprivileged.h"

using velmor::ConnectionProfile;
using velmor::ProfileList;
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
        const QString values[] = {p.Extensions,
                                  QString::number(p.IsFixed),
                                  QString::number(p.IsDelimited),
                                  QString::number(p.RecordLength),
                                  QString::number(p.ByteOffset),
                                  QString::number(p.FirstRecordContainsFieldNames),
                                  p.RecordDelimiterRepresentation,
                                  p.FieldDelimiterRepresentation,
                                  p.TextQualifierRepresentation};
        const char* keys[] = {"ext", "fixed", "delim", "rl", "bo", "names", "rd", "fd", "tq"};
        for (int i = 0; i < 9; ++i)
            if (!values[i].isEmpty() && values[i] != "0")
                line += ' ' + QLatin1String(keys[i]) + '=' + values[i];
        lines << line;
    }
    return lines.join('\n');
}

QStringList Names(const ProfileList& list) {
    QStringList names;
    for (const ConnectionProfile& p : list) names << p.Name;
    return names;
}

void Reload() {
    G::ResetState();
    G::LoadConnectionProfiles();
}

}  // namespace

class TestGlobalProfiles : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> dir_;
    QString ProfilePath() const { return dir_->filePath("UserConnections.txt"); }
    QStringList Entries() const {
        return QDir(dir_->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    }

private slots:
    void init() {
        dir_ = std::make_unique<QTemporaryDir>();
        G::ResetState();
        G::SetProgramFolder(dir_->path());
        G::SetUserConfigFolder(dir_->filePath("config"));
    }
    void cleanup() {
        G::SetProgramFolder(QString());
        G::SetUserConfigFolder(QString());
        dir_.reset();
    }

    void noFileGivesBuiltIns() {
        QCOMPARE(G::ProfileFilePath(), ProfilePath());
        G::LoadConnectionProfiles();
        QCOMPARE(Describe(G::ExtraFileTypes),
                 QString("[DBase III] ext=*.dbf\n[All Files] ext=*.*"));
        QCOMPARE(Names(G::AllFileTypes),
                 QStringList({"All Files", "CSV", "DBase III", "Flat Files", "Index Files",
                              "Query Files", "Tab Delimited"}));
        QVERIFY(!QFile::exists(ProfilePath()));  // loading never writes
        velmor::data::FileTypes types;           // the engine gets the same types
        G::RegisterFileTypes(types);
        QCOMPARE(types.Count(), 7);
        QCOMPARE(types.Item(1)->Name(), std::string("All Files"));
        const velmor::data::Connection* csv = types.Item(2);
        QCOMPARE(csv->Name() + csv->Extensions() + csv->RecordDelimiterRepresentation() +
                     csv->FieldDelimiterRepresentation() + csv->TextQualifierRepresentation(),
                 std::string("CSV*.csvCHR$(13) & CHR$(10)CHR$(44)CHR$(34)"));
        QVERIFY(csv->IsDelimited() && !csv->IsFixed() && csv->FirstRecordContainsFieldNames());
        QVERIFY(types.Item(4)->IsFixed());
        QVERIFY(G::SaveConnectionProfiles());
        QCOMPARE(ReadFile(ProfilePath()),
                 ReadFile(QStringLiteral(VELMOR_TEST_DATA "/app/UserConnections.builtins.txt")));
        QCOMPARE(Entries(), QStringList({"UserConnections.txt"}));
        const QString before = Describe(G::Connections);
        Reload();
        QCOMPARE(Describe(G::Connections), before);
    }

    void loadOddFiles_data() {
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
        row("LF and CR line ends", "Begin A\nRL=1\rBegin B\n\nIsFixed=True\n",
            "[A] rl=1\n[B] fixed=1");
        row("each line in its own encoding", "Begin Caf\xc3\xa9\r\nEnd\r\nBegin Gar\xe7on \x80\r\n",
            "[Caf\u00e9]\n[Gar\u00e7on \u20ac]");
        row("UTF-16 with a byte-order mark",
            QByteArray("\xff\xfe"
                       "B\0e\0g\0i\0n\0 \0\xe9\0\r\0\n\0R\0L\0=\0"
                       "2\0",
                       28),
            "[\u00e9] rl=2");
        row("UTF-8 byte-order mark",
            "\xef\xbb\xbf"
            "Begin A\r\n",
            "[A]");
        row("empty file", QByteArray(), QString());
        row("lines of megabytes",
            "Begin A\r\n  Extensions=" + QByteArray(4 << 20, 'x') + "\r\n" +
                QByteArray(4 << 20, '=') + "\r\nBegin B\r\n  RL=3\r\n",
            "[A] ext=" + QString(4 << 20, 'x') + "\n[B] rl=3");
    }
    void loadOddFiles() {
        QFETCH(QByteArray, file);
        QVERIFY(WriteFile(ProfilePath(), file));
        G::LoadConnectionProfiles();
        QTEST(Describe(G::Connections), "profiles");
        QCOMPARE(G::AllFileTypes.size(), G::Connections.size() + 2);
        // Saved and read again, every profile keeps its characters.
        QVERIFY(G::SaveConnectionProfiles());
        Reload();
        QTEST(Describe(G::Connections), "profiles");
    }

    // A file with no profile in it is left as it was, unless the user
    // changes the profiles: then it is kept aside.
    void fileWithoutProfilesIsKept() {
        QByteArray noise;
        quint32 seed = 12345;
        for (int i = 0; i < 3000; ++i)
            noise += static_cast<char>((seed = seed * 1103515245u + 12345u) >> 24);
        const QByteArray keysOnly("  ByteOffset=0\r\n  IsFixed=True\r\nEnd\r\n");
        const QByteArray utf16NoMark("B\0e\0g\0i\0n\0 \0X\0\r\0\n\0", 18);
        const std::pair<QByteArray, bool> rows[] = {
            {noise, false}, {keysOnly, false}, {utf16NoMark, false}, {keysOnly, true}};
        for (const auto& [file, changed] : rows) {
            G::ResetState();
            QVERIFY(WriteFile(ProfilePath(), file));
            QFile::remove(ProfilePath() + ".bak");
            G::LoadConnectionProfiles();
            QCOMPARE(Names(G::Connections), Names(G::BuiltInProfiles()));
            if (changed) G::Connections[0].Name = "Mine";
            QCOMPARE(G::SaveConnectionProfiles(), changed);
            QCOMPARE(ReadFile(changed ? ProfilePath() + ".bak" : ProfilePath()), file);
            QCOMPARE(QFile::exists(ProfilePath() + ".bak"), changed);
            Reload();
            QCOMPARE(Names(G::Connections).contains("Mine"), changed);
        }
    }

    // Saved sorted by character code; a delimited profile keeps no record
    // length, a fixed one no delimiters; a line break in a value cannot
    // start a profile or a key of its own.
    void saveRules() {
        ConnectionProfile pipe, fixed;
        pipe.Name = "Pipe";
        pipe.Extensions = "*.pip";
        pipe.IsDelimited = pipe.IsFixed = true;
        pipe.RecordLength = 40;
        pipe.ByteOffset = 3;
        pipe.RecordDelimiterRepresentation = "CHR$(10)";
        pipe.FieldDelimiterRepresentation = "CHR$(124)";
        fixed.Name = "Fixed";
        fixed.RecordLength = 12;
        fixed.FieldDelimiterRepresentation = "CHR$(44)";
        G::Connections = {pipe, fixed, {}, {}, {}};
        G::Connections[2].Name = "zeta";
        G::Connections[3].Name = "alpha";
        G::Connections[4].Name = "A\r\nBegin Evil";
        G::Connections[4].Extensions = "*.a\n  RL=99";
        QVERIFY(G::SaveConnectionProfiles());
        QCOMPARE(Names(G::Connections),
                 QStringList({"A\r\nBegin Evil", "Fixed", "Pipe", "alpha", "zeta"}));
        Reload();
        QCOMPARE(Describe(G::Connections),
                 QString("[A  Begin Evil] ext=*.a   RL=99\n[Fixed] rl=12\n"
                         "[Pipe] ext=*.pip delim=1 bo=3 rd=CHR$(10) fd=CHR$(124)\n"
                         "[alpha]\n[zeta]"));
    }

    void profileFileLocation_data() {
        QTest::addColumn<QString>("programFolder");
        QTest::addColumn<bool>("userFile");
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<QStringList>("loaded");
        QTest::addColumn<bool>("savedForUser");
        QTest::newRow("program folder")
            << "prog" << false << false << QStringList{"Program"} << false;
        QTest::newRow("the user's own file wins")
            << "prog" << true << false << QStringList{"User"} << true;
        QTest::newRow("installed program")
            << "prog" << false << true << QStringList{"Program"} << true;
        QTest::newRow("missing program folder")
            << "no/such/folder" << false << false << Names(G::BuiltInProfiles()) << true;
    }
    void profileFileLocation() {
        QFETCH(QString, programFolder);
        QFETCH(bool, userFile);
        QFETCH(bool, readOnly);
        QFETCH(bool, savedForUser);
        if (readOnly)
            VELMOR_UNPRIVILEGED(QByteArray("profileFileLocation:") + QTest::currentDataTag());
        const QString program = dir_->filePath(programFolder);
        const QString user = dir_->filePath("config/UserConnections.txt");
        QDir(dir_->path()).mkpath("prog");
        QVERIFY(WriteFile(dir_->filePath("prog/UserConnections.txt"), "Begin Program\r\nEnd\r\n"));
        if (userFile)
            QVERIFY(QDir(dir_->path()).mkpath("config") &&
                    WriteFile(user, "Begin User\r\nEnd\r\n"));
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
        QCOMPARE(ReadFile(program + "/UserConnections.txt").startsWith("Begin Saved"),
                 !savedForUser);
        QVERIFY(!QFile::exists(dir_->filePath("no")));
        Reload();
        QCOMPARE(Names(G::Connections), QStringList{"Saved"});
    }

    // The package manager owns the installed program's folder: even root
    // saves the profiles in the configuration folder there.
    void packageFoldersAreNeverWritten() {
        QVERIFY(QFile::link("/usr/bin", dir_->filePath("bin")));
        for (const QString& folder :
             {QString("/usr/bin"), QString("/opt"), dir_->filePath("bin")}) {
            if (!QFileInfo(folder).isDir()) continue;
            G::SetProgramFolder(folder);
            QCOMPARE(G::ProfileSavePath(), dir_->filePath("config/UserConnections.txt"));
        }
    }

    // A folder in the way, an unreadable file, a file with no write bit
    // (refused even for the superuser): nothing is changed or left beside.
    void refusedSaves() {
        QVERIFY(QDir(dir_->path()).mkpath("UserConnections.txt/inside"));
        G::LoadConnectionProfiles();
        QVERIFY(!G::SaveConnectionProfiles());
        QVERIFY(QFileInfo(dir_->filePath("UserConnections.txt/inside")).isDir());
        QCOMPARE(Entries(), QStringList({"UserConnections.txt"}));
        QVERIFY(QDir(ProfilePath()).removeRecursively());

        QVERIFY(G::SaveConnectionProfiles());
        const QByteArray before = ReadFile(ProfilePath());
        QVERIFY(QFile::setPermissions(ProfilePath(), QFile::ReadOwner | QFile::ReadGroup));
        G::Connections.pop_back();
        QVERIFY(!G::SaveConnectionProfiles());
        QCOMPARE(ReadFile(ProfilePath()), before);
        QCOMPARE(Entries(), QStringList({"UserConnections.txt"}));
    }

    void unreadableFileIsNeverOverwritten() {
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

    void dialogFilterPreselectsLastConnection() {
        // The last connection's filter is chosen; none yet: the first; case matters.
        const std::pair<const char*, int> rows[] = {
            {"", 1}, {"CSV", 2}, {"Tab Delimited", 7}, {"csv", 9}};
        G::LoadConnectionProfiles();
        for (const auto& [last, filterIndex] : rows) {
            G::LastDataConnectionName = last;
            velmor::UserPrompt::FileRequest dialog{"Open", "/data", "old|*.x", 9, "old.x"};
            G::SetDialogFilter(dialog);
            QCOMPARE(dialog.filter,
                     QString("All Files (*.*)|*.*|CSV (*.csv)|*.csv|DBase III (*.dbf)|*.dbf|"
                             "Flat Files (*.dat)|*.dat|Index Files (*.*index)|*.*index|"
                             "Query Files (*.query)|*.query|Tab Delimited (*.tab)|*.tab"));
            QCOMPARE(dialog.filterIndex, filterIndex);
            QCOMPARE(G::LastDataConnectionName, *last ? QString(last) : QString("All Files"));
            QCOMPARE(dialog.fileName + dialog.folder, QString("/data"));
        }
    }

    void recogniseFileType() {
        const char* const rows[][2] = {{"/d/in.csv", "CSV"},          {"/d/IN.DAT", "Flat Files"},
                                       {"/d/x.index", "Index Files"}, {"/d/x.c", "CSV"},
                                       {"/d.csv/noext", "All Files"}, {"/d/x.unknown", "before"}};
        G::LoadConnectionProfiles();
        for (const auto& r : rows) {
            G::LastDataConnectionName = "before";
            G::RecogniseFileType(r[0]);
            QCOMPARE(G::LastDataConnectionName, QString(r[1]));
        }
    }
};

QTEST_GUILESS_MAIN(TestGlobalProfiles)
#include "tst_global_profiles.moc"
